// A program folder with the application's twelve tables in its data folder, the trash and the
// registry store inside the test's folder, and helpers to fill and read the tables.
#pragma once
#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

#include "support/TestSupport.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class MaintTest : public ::testing::Test {
 protected:
  MaintTest();
  ~MaintTest() override;

  void AddRow(const QString& table, const QList<QVariant>& values);
  QStringList Rows(const QString& sql);
  int Count(const QString& sql);
  // Every file of a folder with its bytes (the data folder by default).
  QMap<QString, QByteArray> Snapshot(const QString& folder = QString());
  QString TrashFolder() const { return dir.Path() + "xdg/Trash/files/"; }
  // Some clients, titles, takings, returns, payments and purchases.
  void FillSample();

  TempDir dir;
  ScopedDialogs dlg;
};

// Files and tools.
void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);
struct ToolRun {
  int code = -1;
  QString out;
};
ToolRun RunTool(const QString& program, const QStringList& args);
// Names listed by "unzip -l", sorted.
QStringList UnzipNames(const QString& archive);
// An archive written with libzip: (name, data); a name starting with "@" is a link to data.
void MakeArchive(const QString& path, const std::vector<std::pair<QString, QByteArray>>& entries);
void SetMTime(const QString& path, const QDateTime& t);
