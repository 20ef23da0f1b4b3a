// JPEG pictures decoded through libjpeg.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// A null image when the data is not a readable JPEG picture.
QImage DecodeJpeg(const QByteArray& data);
QImage LoadJpegFile(const QString& fileName);
