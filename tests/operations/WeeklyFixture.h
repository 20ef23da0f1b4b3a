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
#include "support/AppDataTest.h"

// Rows and Value write dates as "DD/MM/YYYY".
class WeeklyTest : public AppDataTest {
 protected:
  WeeklyTest();
  ~WeeklyTest() override;

  // Regions 01 "NORD" and 02 "SUD"; clients 0001 (ord 1), 0002 (ord 2) in 01 and 0003 in 02;
  // titles 0001 "EL WATAN" (nord 2, price 10, daily) and 0002 "LIBERTE" (nord 1, price 20,
  // weekly); client rebates AB0 = 1, AB1 = 2.
  void AddReference();
  void AddTaking(const QDate& day, const QString& client, const QString& title, int qte, double pu);

  // A week of the tests: Saturday 06/03/2004 to Friday 12/03/2004.
  const QDate Sat{2004, 3, 6};
};
