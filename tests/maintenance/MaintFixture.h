// A program folder with every table of the application in its data folder, the trash and the
// registry store inside the test's folder, and helpers to fill and read the tables.
#pragma once
#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

#include "support/AppDataTest.h"

// Rows give the cells as the fields display them; Count reads a "SELECT COUNT(*) ...".
class MaintTest : public AppDataTest {
 protected:
  MaintTest();
  ~MaintTest() override;

  int Count(const QString& sql) const { return Value(sql).toInt(); }
  // Every file of a folder with its bytes (the data folder by default).
  QMap<QString, QByteArray> Snapshot(const QString& folder = QString());
  QString TrashFolder() const { return dir.Path() + "xdg/Trash/files/"; }
  // Some clients, titles, takings, returns, payments and purchases.
  void FillSample();
};

// The tables of the application's schema, in its order.
QStringList AppTables();

// Files and tools.
void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);
struct ToolRun {
  int code = -1;
  QString out;
};
ToolRun RunTool(const QString& program, const QStringList& args, const QString& workdir = QString());
// Names listed by "unzip -l", sorted.
QStringList UnzipNames(const QString& archive);
// An archive written with libzip: (name, data); a name starting with "@" is a link to data.
void MakeArchive(const QString& path, const std::vector<std::pair<QString, QByteArray>>& entries);
void SetMTime(const QString& path, const QDateTime& t);
