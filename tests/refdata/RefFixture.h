// A program folder with the application's tables (see support/AppDataTest.h) for the reference
// windows, and a folder that cannot be written.
#pragma once
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "support/ReadOnlyFolder.h"
#include "support/AppDataTest.h"

class RefDataTest : public AppDataTest {
 protected:
  RefDataTest();
  ~RefDataTest() override;

  static QWidget* Focused(QWidget* window);
  // Ctrl-clicks the rows (0-based record positions) of a data grid in view.
  static void CtrlClickRows(class TDBGrid* grid, const std::vector<int>& recs);
  // Starts a new client in the clients window and types its name, the first region and the first site.
  static void TypeNewClient(class TfrmClient& w, const QString& name);
};
