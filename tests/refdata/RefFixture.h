// A data folder with the reference tables, the shared folders pointed at it, and small helpers
// to fill and read the tables the way the windows leave them.
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
#include "support/TestSupport.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

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

class RefDataTest : public ::testing::Test {
 protected:
  RefDataTest();
  ~RefDataTest() override;

  // Appends one row; values in field order, empty entries left null.
  void AddRow(const QString& table, const QList<QVariant>& values);
  // Every row of a table as "v1|v2|..." in the order of a SELECT ... ORDER BY.
  QStringList Rows(const QString& sql);
  int Count(const QString& sql);
  // Makes the window active, so that the focus and the keys go where a person puts them.
  static void Activate(QWidget* w);
  static QWidget* Focused(QWidget* window);
  // Keys as a person types them: to whatever holds the focus.
  static void Type(const QString& text);
  static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
  static void Click(QWidget* w);
  // Ctrl-clicks the rows (0-based record positions) of a data grid in view.
  static void CtrlClickRows(class TDBGrid* grid, const std::vector<int>& recs);

  TempDir dir;
  ScopedDialogs dlg;
};
