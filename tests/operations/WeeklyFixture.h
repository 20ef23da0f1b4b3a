// A data folder with the tables of the weekly windows (regions, clients, titles, takings,
// returns, payments, purchases), a fixed clock, and helpers to fill and read them.
#pragma once
#include <QApplication>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "support/TestSupport.h"

class TStringGrid;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class WeeklyTest : public ::testing::Test {
 protected:
  WeeklyTest();
  ~WeeklyTest() override;

  void AddRow(const QString& table, const QList<QVariant>& values);
  // Regions 01 "NORD" and 02 "SUD"; clients 0001 (ord 1), 0002 (ord 2) in 01 and 0003 in 02;
  // titles 0001 "EL WATAN" (nord 2, price 10, daily) and 0002 "LIBERTE" (nord 1, price 20,
  // weekly); client rebates AB0 = 1, AB1 = 2.
  void AddReference();
  void AddTaking(const QDate& day, const QString& client, const QString& title, int qte, double pu);
  QStringList Rows(const QString& sql);
  QString Value(const QString& sql);  // first column of the first row, "" when none

  static void Activate(QWidget* w);
  static void Type(const QString& text);
  static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
  // Clicks a cell of a string grid, as the mouse does.
  static void ClickCell(TStringGrid* g, int col, int row);

  // A week of the tests: Saturday 06/03/2004 to Friday 12/03/2004.
  const QDate Sat{2004, 3, 6};

  TempDir dir;
  ScopedDialogs dlg;
};
