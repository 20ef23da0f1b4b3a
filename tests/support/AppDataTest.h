// The base of the tests that work on a program folder of their own (see AppData.h): a fresh
// folder per test with the application's tables, scripted dialogs, and the helpers as members.
#pragma once
#include <QString>
#include <gtest/gtest.h>

#include "support/AppData.h"
#include "support/TestSupport.h"

class AppDataTest : public ::testing::Test {
 protected:
  AppDataTest() { testdata::MakeAppFolder(dir.Path()); }

  static void AddRow(const QString& table, const QList<QVariant>& values) { testdata::AddRow(table, values); }
  QStringList Rows(const QString& sql) const { return testdata::Rows(sql, cells); }
  int Count(const QString& sql) const { return Rows(sql).size(); }
  QString Value(const QString& sql) const { return testdata::Value(sql, cells); }
  static void Exec(const QString& sql) { testdata::Exec(sql); }

  static void Activate(QWidget* w) { testdata::Activate(w); }
  static void Type(const QString& text) { testdata::Type(text); }
  static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { testdata::Press(key, mods); }
  static void Click(QWidget* w) { testdata::Click(w); }
  static void ClickCell(TStringGrid* g, int col, int row) { testdata::ClickCell(g, col, row); }
  static void DoubleClickCell(TStringGrid* g, int col, int row) { testdata::DoubleClickCell(g, col, row); }
  static QStringList GridRows(TStringGrid* g, int from = 0, int firstCol = 0) {
    return testdata::GridRows(g, from, firstCol);
  }

  testdata::Cells cells = testdata::Cells::Values;  // how Rows and Value write a cell
  TempDir dir;
  ScopedDialogs dlg;
};
