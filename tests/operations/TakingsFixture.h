// A data folder with the tables the takings windows use, filled with two regions, three titles
// and three clients, the clock fixed on Monday 7 March 2005, and helpers to drive the windows.
#pragma once
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>
#include <functional>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "support/TestSupport.h"

class TStringGrid;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class TakingsTest : public ::testing::Test {
 protected:
  TakingsTest();
  ~TakingsTest() override;

  void AddRow(const QString& table, const QList<QVariant>& values);
  // A taking of a day ("DD/MM/YYYY").
  void AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu = 1.0);
  // Rows of a SELECT as "v1|v2|...".
  QStringList Rows(const QString& sql);
  int Count(const QString& sql) { return Rows(sql).size(); }
  // "client|title|qte|pu" of a day's takings in key order.
  QStringList Day(const QString& day);
  void Exec(const QString& sql);

  static void Activate(QWidget* w);
  static void Type(const QString& text);
  static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
  static void Click(QWidget* w);
  static void ClickCell(TStringGrid* g, int c, int r);
  static void DoubleClickCell(TStringGrid* g, int c, int r);
  // The grid's texts from row `from` on, one line per row: cells joined with "|".
  static QStringList GridRows(TStringGrid* g, int from = 0, int firstCol = 0);

  TempDir dir;
  ScopedDialogs dlg;
};
