#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "support/TestSupport.h"
#include "zip/ZipArch.h"

// Files and tools for the archive tests.
void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);
QByteArray RandomBytes(int n, unsigned seed);
QByteArray TextBytes(int n, unsigned seed);  // compressible text
struct RunResult {
  int code = -1;
  QString out;
};
RunResult RunTool(const QString& program, const QStringList& args, const QString& workdir = QString(),
                  const QByteArray& input = QByteArray());
bool HaveTool(const QString& program);

// What a component reported while it worked.
struct Recorder {
  QStringList progress;  // "T:n", "S:n", "N:name:size", "U", "E"
  qint64 bytes = 0;
  std::vector<std::pair<int, QString>> messages;
  QStringList skipped;
  void Attach(TZipArchiver& z);
  int Count(const QString& prefix) const;
  bool HasMessage(const QString& part) const;
};

// A component set for tests: unattended unless told otherwise.
std::unique_ptr<TZipArchiver> NewZip(bool unattended = true);
void SetMTime(const QString& path, const QDateTime& t);
