#include <gtest/gtest.h>

#include "platform/db/Table.h"
#include "platform/ui/Cursor.h"
#include "schema/SchemaTables.h"
#include "shell/global.h"
#include "support/TestSupport.h"

namespace {

class NewKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), ApplicationTableDesc("CLIENT.DB")), DBIERR_NONE);
    table.SetDatabaseName(dir.Path());
    table.SetTableName("CLIENT.DB");
  }
  void Add(const QStringList& codes) {
    table.Open();
    for (const QString& c : codes) {
      table.Append();
      table.FieldByName("Id")->AsString = c;
      table.Post();
    }
    table.Close();
  }
  TempDir dir;
  TTable table{"Client"};
};

}  // namespace

TEST_F(NewKeyTest, FirstCodeOfAnEmptyTableAndTheNextAfterNine) {
  EXPECT_EQ(NewKey(&table, "ID", 4), "0001");
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  Add({"0001", "0009"});
  EXPECT_EQ(NewKey(&table, "ID", 4), "0010");
}

TEST_F(NewKeyTest, NeverGivesBackACodeThatExists) {
  // Codes typed or imported by hand: a short one, one with letters.
  Add({"0010", "9", "A12", "0003"});
  EXPECT_EQ(NewKey(&table, "ID", 4), "0011");
  Add({"12"});
  EXPECT_EQ(NewKey(&table, "ID", 4), "0013");
}

TEST_F(NewKeyTest, ACodeThatWouldNotFitIsRefused) {
  Add({"9999"});
  try {
    NewKey(&table, "ID", 4);
    FAIL() << "a fifth digit was accepted";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.Message().contains("10000")) << e.Message().toStdString();
  }
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}

TEST_F(NewKeyTest, AMissingTableOrFieldPassesTheErrorOnWithTheCursorBack) {
  TTable missing("Titre");
  missing.SetDatabaseName(dir.Path());
  missing.SetTableName("Titre.DB");
  EXPECT_THROW(NewKey(&missing, "ID", 4), Exception);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  EXPECT_THROW(NewKey(&table, "CODE", 4), Exception);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}
