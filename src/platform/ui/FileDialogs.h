// The file and folder choosers the desktop dialog service shows.
#pragma once
#include <QString>

class QFileDialog;
class QWidget;

enum class FileChoice { Open, Save, Folder };
// Qt's own dialog whatever the desktop (a native one speaks the machine's language), its sizes
// and dates in French. The caller owns it.
QFileDialog* NewFileDialog(FileChoice kind, QWidget* parent, const QString& title, const QString& dir,
                           const QString& filter = QString());
