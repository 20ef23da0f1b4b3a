#include "support/AppData.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Grids.h"
#include "schema/AppSchema.h"
#include "shell/global.h"

namespace testdata {

void UseProgramFolder(const QString& root) {
  AppPath = root;
  DataPath = root + "Data/";
  QDir().mkpath(DataPath);
}

void MakeAppFolder(const QString& root) {
  UseProgramFolder(root);
  CreateApplicationTables(ApplicationCheck(), DataPath);
}

void AddRows(const QString& table, const std::vector<QList<QVariant>>& rows) {
  TTable t;
  t.SetDatabaseName(DataPath);
  t.SetTableName(table);
  t.Open();
  for (const QList<QVariant>& values : rows) {
    t.Append();
    for (int i = 0; i < values.size(); ++i)
      if (values[i].isValid()) t.Fields(i)->Value = values[i];
    t.Post();
  }
  t.Close();
}

void AddRow(const QString& table, const QList<QVariant>& values) { AddRows(table, {values}); }

void AddClients(int n) {
  TTable t;
  t.SetDatabaseName(DataPath);
  t.SetTableName("CLIENT.DB");
  t.Open();
  TDbTransaction tx(t);
  for (int i = 1; i <= n; ++i) {
    t.Append();
    t.FieldByName("Id")->AsString = QString("%1").arg(i, 4, 10, QChar('0'));
    t.FieldByName("Ord")->AsInteger = i;
    t.FieldByName("Nom")->AsString = QString("CLIENT NUMERO %1 DE LA ROUTE DU NORD").arg(i);
    t.FieldByName("Adr")->AsString = QString("%1 RUE DE LA GARE").arg(i);
    t.FieldByName("Site")->AsString = "A";
    t.FieldByName("Region")->AsString = "01";
    t.Post();
  }
  tx.Commit();
  t.Close();
}

bool WriteNoise(const QString& file, qint64 offset, int size) {
  QFile f(file);
  if (!f.open(QIODevice::ReadWrite) || !f.seek(offset)) return false;
  QByteArray noise(size, '\0');
  uint32_t seed = uint32_t(offset);
  for (char& c : noise) {
    seed = seed * 1664525u + 1013904223u;
    c = char(seed >> 24);
  }
  return f.write(noise) == size;
}

void Sqlite(const QString& file, const QString& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
  EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in " << sql.toStdString();
  sqlite3_free(err);
  sqlite3_close(db);
}

QStringList Rows(const QString& sql, Cells cells) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.Open();
  QStringList out;
  if (cells == Cells::Display) {
    for (q.First(); !q.Eof(); q.Next()) {
      QStringList row;
      for (int i = 0; i < q.FieldCount(); ++i) row << q.Fields(i)->DisplayText();
      out << row.join('|');
    }
  } else {
    for (const auto& values : q.ReadRows(0, q.RecordCount())) {
      QStringList row;
      for (const QVariant& v : values) {
        if (cells == Cells::Dates && v.typeId() == QMetaType::QDate) row << v.toDate().toString("dd/MM/yyyy");
        else row << (v.isNull() ? QString() : v.toString());
      }
      out << row.join('|');
    }
  }
  q.Close();
  return out;
}

QString Value(const QString& sql, Cells cells) {
  const QStringList r = Rows(sql, cells);
  return r.isEmpty() ? QString() : r.first().section('|', 0, 0);
}

void Exec(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.ExecSQL();
}

void Activate(QWidget* w) {
  w->show();
  QApplication::setActiveWindow(w);
  w->activateWindow();
  QApplication::processEvents();
}

void Type(const QString& text) {
  for (QChar c : text) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, c.toLatin1());
  }
}

void Press(Qt::Key key, Qt::KeyboardModifiers mods) {
  QWidget* w = QApplication::focusWidget();
  ASSERT_NE(w, nullptr);
  QTest::keyClick(w, key, mods);
}

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

void ClickCell(TStringGrid* g, int col, int row) {
  const QRect r = g->CellRect(col, row);
  ASSERT_FALSE(r.isEmpty()) << col << "," << row;
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

void DoubleClickCell(TStringGrid* g, int col, int row) {
  const QRect r = g->CellRect(col, row);
  ASSERT_FALSE(r.isEmpty()) << col << "," << row;
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

QStringList GridRows(TStringGrid* g, int from, int firstCol) {
  QStringList out;
  for (int r = from; r < g->RowCount(); ++r) {
    QStringList cells;
    for (int c = firstCol; c < g->ColCount(); ++c) cells << g->Cells(c, r);
    out << cells.join('|');
  }
  return out;
}

}  // namespace testdata
