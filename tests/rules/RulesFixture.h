// A data folder with the tables the rules read and write, the clients and the takings of the
// takings windows' tests: three clients in two regions, two days of March 2005, no returns yet.
#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "platform/db/Table.h"
#include "support/TestSupport.h"

class RulesTest : public ::testing::Test {
 protected:
  RulesTest();

  // A row of a table, its fields in order.
  void AddRow(const QString& table, const QList<QVariant>& values) const;
  // A taking of a day ("DD/MM/YYYY").
  void AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu = 1.0);
  // "client|title|qte|pu" of a day's takings in key order.
  QStringList Day(const QString& day) const;
  // "client|title|qte" of a week's returns ("DD/MM/YYYY", its Saturday) in key order.
  QStringList Returns(const QString& week) const;

  TempDir dir;
  const QString DataPath = dir.Path();
};
