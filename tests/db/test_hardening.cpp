// The engine under the faults a program meets: a counter left behind by a kill, rows copied by
// statement that break the field rules, a join inside a transaction over many files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

int CodeOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

CRTblDesc AutoDesc(bool uniqueKey) {
  CRTblDesc d;
  d.szTblName = "AUTO.DB";
  d.fields = {Fld("N", fldINT32, 1, fldstAUTOINC), Fld("S", fldZSTRING, 8)};
  if (uniqueKey) d.indexes = {Idx("", {1}, true)};
  return d;
}

void OpenIn(TTable& t, const QString& dir, const QString& name) {
  t.SetDatabaseName(dir);
  t.SetTableName(name);
  t.Open();
}

int AddAuto(TTable& t, const QString& s) {
  t.Append();
  t.FieldByName("S")->AsString = s;
  t.Post();
  return t.FieldByName("N")->AsInteger();
}

// ---- the auto-increment counter ----

class StaleCounter : public ::testing::TestWithParam<bool> {};

// A kill between the rows' commit and the header's counter leaves the counter behind the keys:
// the next insert must still get a key never used.
TEST_P(StaleCounter, TheNextKeyGoesPastTheKeysStored) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(GetParam())), DBIERR_NONE);
  {
    TTable t;
    OpenIn(t, dir.Path(), "AUTO");
    EXPECT_EQ(AddAuto(t, "a"), 1);
    EXPECT_EQ(AddAuto(t, "b"), 2);
    EXPECT_EQ(AddAuto(t, "c"), 3);
  }
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 1);  // as the kill leaves it
  {
    TTable t;
    OpenIn(t, dir.Path(), "AUTO");
    EXPECT_EQ(AddAuto(t, "d"), 4);
    // Another program stores a key of its own while the table is open, counter untouched.
    RawSql(dir.File("AUTO.DB"), "INSERT INTO AUTO VALUES(10, 'x')");
    EXPECT_EQ(AddAuto(t, "e"), 11);
    // A key given by a statement of the program itself.
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add("INSERT INTO AUTO (N, S) VALUES (20, 'f')");
    q.ExecSQL();
    EXPECT_EQ(AddAuto(t, "g"), 21);
    // Inside a transaction that is rolled back, then after it.
    {
      TDbTransaction tx(dir.Path());
      EXPECT_EQ(AddAuto(t, "h"), 22);
      tx.Rollback();
    }
    EXPECT_EQ(AddAuto(t, "i"), 22);
  }
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT count(*), count(DISTINCT N) FROM AUTO"), QStringList{"9|9"});
  int32_t v = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "AUTO", v));
  EXPECT_EQ(v, 22);
}

INSTANTIATE_TEST_SUITE_P(Key, StaleCounter, ::testing::Values(false, true));

TEST(Counter, AtItsLimitTheInsertIsRefusedNotWrapped) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(true)), DBIERR_NONE);
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 2147483646);
  TTable t;
  OpenIn(t, dir.Path(), "AUTO");
  EXPECT_EQ(AddAuto(t, "a"), 2147483647);
  t.Append();
  t.FieldByName("S")->AsString = "b";
  EXPECT_EQ(CodeOf([&] { t.Post(); }), DBIERR_OUTOFRANGE);
  t.Cancel();
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT N FROM AUTO"), QStringList{"2147483647"});
}

}  // namespace
