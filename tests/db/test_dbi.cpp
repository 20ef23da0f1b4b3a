// Structure calls: create, read back, probe, restructure, pack, companion files, counter.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DbTestUtil.h"
#include "support/TestSupport.h"
#include "platform/db/DbiStructure.h"

namespace {

QStringList Files(const TempDir& dir) {
  QStringList l = QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  return l;
}

// A table's file and the companions of its first `indexes` indexes: the primary one, then a pair
// for each secondary one.
QStringList TableFiles(const QString& fileName, size_t indexes) {
  const QString base = fileName.section('.', 0, 0);
  QStringList l{fileName, base + ".PX"};
  for (size_t i = 2; i <= indexes; ++i)
    l << base + QString(".X%1").arg(i, 2, 10, QChar('0')) << base + QString(".Y%1").arg(i, 2, 10, QChar('0'));
  l.sort();
  return l;
}

TEST(DbiCreate, DescriptorsReadBackExactly) {
  TempDir dir;
  CRTblDesc d = ClientDesc();
  d.indexes[1].szTagName = "tag";
  d.indexes[1].szFormat = "fmt";
  d.indexes[1].iKeyExpType = 3;
  d.fields[1].iUnits2 = 2;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(Files(dir), TableFiles("CLIENT.DB", d.indexes.size()));
  auto fields = Dbi::GetFieldDescs(dir.Path(), "client");
  ASSERT_EQ(fields.size(), d.fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].iFldNum, i + 1);
    EXPECT_EQ(fields[i].szName, d.fields[i].szName);
    EXPECT_EQ(fields[i].iFldType, d.fields[i].iFldType);
    EXPECT_EQ(fields[i].iSubType, d.fields[i].iSubType);
    EXPECT_EQ(fields[i].iUnits1, d.fields[i].iUnits1);
    EXPECT_EQ(fields[i].iUnits2, d.fields[i].iUnits2);
  }
  auto idx = Dbi::GetIndexDescs(dir.Path(), "CLIENT.DB");
  ASSERT_EQ(idx.size(), d.indexes.size());
  for (size_t i = 0; i < idx.size(); ++i) {
    EXPECT_EQ(idx[i].iIndexId, i + 1);
    EXPECT_EQ(idx[i].szName, d.indexes[i].szName);
    EXPECT_EQ(idx[i].aiKeyFld, d.indexes[i].aiKeyFld);
    EXPECT_EQ(idx[i].iFldsInKey, d.indexes[i].iFldsInKey);
    EXPECT_EQ(idx[i].bPrimary, d.indexes[i].bPrimary);
    EXPECT_EQ(idx[i].bUnique, d.indexes[i].bUnique);
    EXPECT_EQ(idx[i].bCaseInsensitive, d.indexes[i].bCaseInsensitive);
    EXPECT_EQ(idx[i].bMaintained, true);
  }
  EXPECT_EQ(idx[1].szTagName, "tag");
  EXPECT_EQ(idx[1].szFormat, "fmt");
  EXPECT_EQ(idx[1].iKeyExpType, 3);
  CURProps p = Dbi::GetCursorProps(dir.Path(), "CLIENT");
  EXPECT_EQ(p.iFields, d.fields.size());
  EXPECT_EQ(p.iIndexes, d.indexes.size());
  EXPECT_EQ(p.iRecords, 0);
  EXPECT_EQ(p.eType, TableType::Paradox);
}

TEST(DbiCreate, RefusesBadDescriptions) {
  TempDir dir;
  CRTblDesc d = ClientDesc();
  d.fields[2].szName = "id";  // duplicate ignoring case
  EXPECT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_INVALIDPARAM);
  EXPECT_TRUE(Dbi::LastErrorText().contains("duplicate field name"));
  d = ClientDesc();
  d.indexes[1].aiKeyFld = {40};
  EXPECT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_INVALIDPARAM);
  d = ClientDesc();
  d.fields[0].iFldType = 3;
  EXPECT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_INVALIDPARAM);
  EXPECT_TRUE(Files(dir).isEmpty());
}

TEST(DbiProbe, CodesForMissingCompanionAndNotATable) {
  TempDir dir;
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Region.db", false), DBIERR_NOSUCHTABLE);
  const CRTblDesc d = ApplicationTableDesc("Region.db");
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  EXPECT_EQ(Files(dir), TableFiles("Region.db", d.indexes.size()));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "REGION.DB", false), DBIERR_NONE);
  QFile::remove(dir.File("Region.Y02"));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Region.db", false), DBIERR_INDEXOUTOFDATE);
  // Reading the table drops the index whose companion is gone; the probe is then clean.
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "Region.db").size(), d.indexes.size() - 1);
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Region.db", false), DBIERR_NONE);
  EXPECT_FALSE(QFile::exists(dir.File("Region.X02")));

  QFile junk(dir.File("JUNK.DB"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(2048, 'x'));
  junk.close();
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "JUNK", false), DBIERR_NOTABLE);
  EXPECT_THROW(Dbi::GetFieldDescs(dir.Path(), "JUNK"), EDBEngineError);
  try {
    Dbi::GetFieldDescs(dir.Path(), "NONE.DB");
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_NOSUCHTABLE);
  }
}

TEST(DbiAux, DeleteKeepsDataMemoAndJournal) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  for (const char* n : {"CLIENT.MB", "CLIENT.DB-journal", "CLIENT.VAL", "CLIENTS.PX"}) {
    QFile f(dir.File(n));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  // The companions (all the table's files but itself) and CLIENT.VAL.
  const qsizetype deleted = TableFiles("CLIENT.DB", ClientDesc().indexes.size()).size();
  EXPECT_EQ(Dbi::DeleteTableAuxFiles(dir.Path(), "CLIENT.DB"), deleted);
  EXPECT_EQ(Files(dir), QStringList({"CLIENT.DB", "CLIENT.DB-journal", "CLIENT.MB", "CLIENTS.PX"}));
}

TEST(DbiRestructure, WidensAFieldKeepingRowsAndDropsAnIndex) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc(30)), DBIERR_NONE);
  const QString path = dir.File("CLIENT.DB");
  RawSql(path, "INSERT INTO CLIENT(Id, Ord, Nom, Ab1) VALUES('0001', 1, 'DUPONT', 1.25),"
               "('0002', 2, 'L''ARBRE', NULL), ('0003', 3, NULL, 0.5)");
  CRTblDesc d = ClientDesc(40);
  for (size_t i = 0; i < d.fields.size(); ++i) {
    d.fields[i].iFldNum = uint16_t(i + 1);
    d.fields[i].op = i == 2 ? CrtOp::Modify : CrtOp::None;
  }
  for (auto& x : d.indexes) x.op = CrtOp::None;
  IDXDesc drop = Idx("iOrd", {2}, false, true);
  drop.op = CrtOp::Drop;
  drop.iIndexId = 3;
  d.indexes.erase(d.indexes.begin() + 2);
  d.indexes.push_back(drop);
  d.bPack = true;
  ASSERT_EQ(Dbi::DoRestructure(dir.Path(), d), DBIERR_NONE) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT")[2].iUnits1, 40);
  auto idx = Dbi::GetIndexDescs(dir.Path(), "CLIENT");
  ASSERT_EQ(idx.size(), d.indexes.size() - 1);
  EXPECT_EQ(idx[2].szName, "iRegion");
  EXPECT_EQ(RawSql(path, "SELECT Id, Nom, Ab1 FROM CLIENT ORDER BY Id"),
            QStringList({"0001|DUPONT|1.25", "0002|L'ARBRE|NULL", "0003|NULL|0.5"}));
  EXPECT_EQ(Files(dir), TableFiles("CLIENT.DB", d.indexes.size() - 1));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT", false), DBIERR_NONE);
}

TEST(DbiRestructure, RowsThatCannotBeCarriedLeaveTheTableUntouched) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc(40)), DBIERR_NONE);
  const QString path = dir.File("CLIENT.DB");
  RawSql(path, "INSERT INTO CLIENT(Id, Ord, Nom) VALUES('0001', 1, 'A NAME LONGER THAN TEN'), ('0002', 2, 'B')");
  const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
  CRTblDesc d = ClientDesc(10);
  for (size_t i = 0; i < d.fields.size(); ++i) {
    d.fields[i].iFldNum = uint16_t(i + 1);
    d.fields[i].op = i == 2 ? CrtOp::Modify : CrtOp::None;
  }
  EXPECT_EQ(Dbi::DoRestructure(dir.Path(), d), DBIERR_RESTRUCTFAIL);
  EXPECT_TRUE(Dbi::LastErrorText().contains("Nom")) << Dbi::LastErrorText().toStdString();
  const QByteArray after = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
  EXPECT_EQ(before, after);
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT")[2].iUnits1, 40);

  // A new primary key that the rows repeat cannot be built either.
  d = ClientDesc(40);
  for (size_t i = 0; i < d.fields.size(); ++i) d.fields[i].iFldNum = uint16_t(i + 1), d.fields[i].op = CrtOp::None;
  RawSql(path, "UPDATE CLIENT SET Region='01'");
  d.indexes = {Idx("", {8}, true)};
  d.indexes[0].op = CrtOp::Modify;
  EXPECT_EQ(Dbi::DoRestructure(dir.Path(), d), DBIERR_RESTRUCTFAIL);
  EXPECT_EQ(RawSql(path, "SELECT count(*) FROM CLIENT"), QStringList({"2"}));
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "CLIENT")[0].aiKeyFld, std::vector<uint16_t>({1}));
  QStringList names = Files(dir);
  for (const QString& n : names) EXPECT_FALSE(n.endsWith(".tmp")) << n.toStdString();
}

TEST(DbiPack, KeepsTheCounterAndRows) {
  TempDir dir;
  CRTblDesc d = AutoDesc("T.DB", 10);
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  int32_t v = -1;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "T", v));
  EXPECT_EQ(v, 0);
  RawSql(dir.File("T.DB"), "INSERT INTO T VALUES(1,'a'),(2,'b'),(3,'c'); DELETE FROM T WHERE N=2");
  Dbi::WriteAutoIncCounter(dir.Path(), "T.DB", 3);
  EXPECT_EQ(Dbi::PackTable(dir.Path(), "T.DB"), DBIERR_NONE);
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "T", v));
  EXPECT_EQ(v, 3);
  EXPECT_EQ(RawSql(dir.File("T.DB"), "SELECT N, S FROM T"), QStringList({"1|a", "3|c"}));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "T", true), DBIERR_NONE);
}

}  // namespace
