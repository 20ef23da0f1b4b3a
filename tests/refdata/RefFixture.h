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
#include "support/AppDataTest.h"

// A folder that cannot be written, as an operator's read-only share is, for as long as the object
// lives: its files and itself lose their write permissions, and the calling thread loses the
// capabilities with which root passes permission checks.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  QString folder_;
  bool capsDropped_ = false;
  unsigned savedCaps_[6] = {};
};

class RefDataTest : public AppDataTest {
 protected:
  RefDataTest();
  ~RefDataTest() override;

  static QWidget* Focused(QWidget* window);
  // Ctrl-clicks the rows (0-based record positions) of a data grid in view.
  static void CtrlClickRows(class TDBGrid* grid, const std::vector<int>& recs);
};
