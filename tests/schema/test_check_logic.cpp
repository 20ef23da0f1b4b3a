// The check's decisions, on an in-memory engine.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <QtEndian>

#include "CheckEvents.h"
#include "FakeEngine.h"
#include "platform/ui/Cursor.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "support/TestSupport.h"

namespace {

const QStringList kClient = {
    "object Table: CLIENT.DB",
    "  field(Id;Id;1;0;4;0)",
    "  field(Ord;Ord;6;0;1;0)",
    "  field(Nom;Nom;1;0;40;0)",
    "  index(;;1;1;1;1;0;1;0;0;0;;;0;;)",
    "  index(iNom;;1;3;0;0;0;1;1;0;0;;;0;;)",
    "end",
};

struct CheckFixture : ::testing::Test {
  TempDir dir;
  FakeEngine engine;
  TDbCheck check;
  CheckEvents rec;
  void SetUp() override {
    check.SetEngine(&engine);
    check.SetCorrectPath(dir.Path());
    rec.Attach(check);
  }
  // CLIENT.DB as the descriptor has it, with `nomWidth` for Nom, and two rows.
  FakeEngine::Table& PutClient(int nomWidth = 40) {
    auto& t = engine.Put(dir.Path(), "CLIENT.DB",
                         {Fld("Id", fldZSTRING, 4), Fld("Ord", fldINT32), Fld("Nom", fldZSTRING, nomWidth)},
                         {Idx("", {1}, true), Idx("iNom", {3}, false)});
    t.rows = {{"0001", "1", "Dupont"}, {"0002", "2", "Martin"}};
    return t;
  }
};

}  // namespace

TEST_F(CheckFixture, MissingTablesAreCreatedThenASecondRunFindsNothing) {
  ConfigureApplicationCheck(check);
  rec.Attach(check);
  check.OnFoundDiff = [&](QObject*, TChkMessage m, const QString& t, bool& correct) {
    EXPECT_TRUE(correct);  // comes in as true
    rec.log << QString("diff %1 %2").arg(m).arg(t);
  };
  EXPECT_TRUE(check.Check());
  const QStringList tables = AppTables();
  ASSERT_EQ(engine.created.size(), size_t(tables.size()));
  EXPECT_EQ(rec.after, ForEveryTable(CHK_TABLECREATE));
  EXPECT_EQ(rec.log.mid(0, 3), QStringList({"diff 1 " + tables[0], "created " + tables[0], "after 1 " + tables[0]}));
  EXPECT_EQ(rec.log.last(), "complete");
  const auto clientAt = std::find_if(engine.created.begin(), engine.created.end(),
                                     [](const CRTblDesc& d) { return d.szTblName == "CLIENT.DB"; });
  ASSERT_NE(clientAt, engine.created.end());
  const CRTblDesc& client = *clientAt;
  EXPECT_EQ(client.eType, TableType::Paradox);
  for (const FLDDesc& f : client.fields) {
    EXPECT_EQ(f.iFldNum, 0);
    EXPECT_EQ(f.op, CrtOp::Add);
  }
  for (const IDXDesc& x : client.indexes) {
    EXPECT_EQ(x.iIndexId, 0);
    EXPECT_EQ(x.op, CrtOp::Add);
  }

  rec.log.clear();
  rec.after.clear();
  EXPECT_TRUE(check.Check());
  EXPECT_EQ(rec.after, ForEveryTable(CHK_NONE));
  EXPECT_TRUE(engine.restructured.empty());
  EXPECT_EQ(engine.created.size(), size_t(tables.size()));
  EXPECT_EQ(rec.log.filter("diff").size(), 0);
  EXPECT_EQ(rec.log.filter("before 0").size(), tables.size());
}

TEST_F(CheckFixture, ShorterNomIsWidenedKeepingTheRows) {
  PutClient(30);
  check.SetDescriptor(kClient);
  EXPECT_TRUE(check.Check());
  EXPECT_EQ(rec.log, QStringList({"before 0 CLIENT.DB", "modify CLIENT.DB Nom", "diff 2 CLIENT.DB 1",
                                  "restructured CLIENT.DB", "after 2 CLIENT.DB", "complete"}));
  ASSERT_EQ(engine.restructured.size(), 1u);
  const CRTblDesc& r = engine.restructured[0];
  EXPECT_TRUE(r.bPack);
  EXPECT_EQ(r.fields[0].op, CrtOp::None);
  EXPECT_EQ(r.fields[2].op, CrtOp::Modify);
  EXPECT_EQ(r.fields[2].iFldNum, 3);
  EXPECT_EQ(r.fields[2].iUnits1, 40);
  EXPECT_EQ(r.indexes.size(), 2u);
  EXPECT_EQ(r.indexes[1].op, CrtOp::None);
  EXPECT_EQ(r.indexes[1].iIndexId, 2);
  const auto* t = engine.Find("CLIENT.DB");
  ASSERT_EQ(t->rows.size(), 2u);
  EXPECT_EQ(t->rows[1], QStringList({"0002", "2", "Martin"}));
}

TEST_F(CheckFixture, MovedAndNewFieldsCarryTheirOldNumbers) {
  auto& t = engine.Put(dir.Path(), "CLIENT.DB", {Fld("ID", fldZSTRING, 4), Fld("Nom", fldZSTRING, 40)},
                       {Idx("", {1}, true), Idx("iNom", {3}, false)});
  t.rows = {{"0001", "Dupont"}};
  check.SetDescriptor(kClient);
  EXPECT_TRUE(check.Check());
  EXPECT_TRUE(rec.log.contains("add CLIENT.DB Ord"));
  EXPECT_TRUE(rec.log.contains("modify CLIENT.DB Nom"));
  EXPECT_FALSE(rec.log.contains("modify CLIENT.DB Id"));  // same place, name differs by case only
  const CRTblDesc& r = engine.restructured.at(0);
  EXPECT_EQ(r.fields[1].iFldNum, 0);
  EXPECT_EQ(r.fields[1].op, CrtOp::Add);
  EXPECT_EQ(r.fields[2].iFldNum, 2);
  EXPECT_EQ(engine.Find("CLIENT.DB")->rows[0], QStringList({"0001", "", "Dupont"}));
}

TEST_F(CheckFixture, ExtraIndexIsDroppedAndChangedOneRebuilt) {
  auto& t = PutClient();
  t.indexes.push_back(Idx("iOld", {2}, false));
  t.indexes.back().iIndexId = 3;
  t.indexes[1].bCaseInsensitive = false;  // iNom differs in one flag
  check.SetDescriptor(kClient);
  EXPECT_TRUE(check.Check());
  const CRTblDesc& r = engine.restructured.at(0);
  ASSERT_EQ(r.indexes.size(), 3u);
  EXPECT_EQ(r.indexes[0].op, CrtOp::None);
  EXPECT_EQ(r.indexes[1].op, CrtOp::Modify);
  EXPECT_EQ(r.indexes[2].szName, "iOld");
  EXPECT_EQ(r.indexes[2].op, CrtOp::Drop);
  EXPECT_EQ(r.indexes[2].iIndexId, 3);
  EXPECT_EQ(rec.after, QList<TChkMessage>({CHK_TABLEMODIFY}));
  ASSERT_EQ(engine.Find("CLIENT.DB")->indexes.size(), 2u);
  // Maintained flag and expression type do not count as differences.
  engine.Find("CLIENT.DB")->indexes[1].bMaintained = false;
  engine.Find("CLIENT.DB")->indexes[1].iKeyExpType = 3;
  rec.after.clear();
  check.Check();
  EXPECT_EQ(rec.after, QList<TChkMessage>({CHK_NONE}));
}

TEST_F(CheckFixture, RefusedCorrectionChangesNothing) {
  PutClient(30);
  check.SetDescriptor(kClient + QStringList({"object Table: Site.DB", "  field(Id;Id;1;0;1;0)", "end"}));
  check.OnFoundDiff = [](QObject*, TChkMessage, const QString&, bool& correct) { correct = false; };
  EXPECT_TRUE(check.Check());
  EXPECT_TRUE(engine.restructured.empty());
  EXPECT_TRUE(engine.created.empty());
  EXPECT_EQ(rec.after, QList<TChkMessage>({CHK_NONE, CHK_NONE}));
}

TEST_F(CheckFixture, FailedRestructureIsReportedCollectedAndTheCheckGoesOn) {
  PutClient(30);
  engine.restructureResult["CLIENT"] = DBIERR_RESTRUCTFAIL;
  check.SetDescriptor(kClient + QStringList({"object Table: Site.DB", "  field(Id;Id;1;0;1;0)", "end"}));
  EXPECT_FALSE(check.Check());
  EXPECT_TRUE(rec.log.contains(QString("error %1").arg(DBIERR_RESTRUCTFAIL)));
  EXPECT_EQ(rec.after, QList<TChkMessage>({CHK_NONE, CHK_TABLECREATE}));
  ASSERT_EQ(check.Errors().size(), 1);
  EXPECT_TRUE(check.Errors()[0].startsWith("CLIENT.DB : "));
  EXPECT_EQ(engine.Find("CLIENT.DB")->fields[2].iUnits1, 30);

  // Collected without an error handler as well, and cleared by the next run.
  check.OnError = nullptr;
  EXPECT_FALSE(check.Check());
  EXPECT_EQ(check.Errors().size(), 1);
  engine.restructureResult.clear();
  EXPECT_TRUE(check.Check());
  EXPECT_TRUE(check.Errors().isEmpty());
}

TEST_F(CheckFixture, ReadErrorsEndTheCheck) {
  PutClient();
  check.SetDescriptor(kClient);
  engine.tables.clear();
  engine.probeResult["CLIENT"] = DBIERR_NONE;  // probe succeeds, reading fails
  EXPECT_THROW(check.Check(), EDBEngineError);
  EXPECT_FALSE(rec.log.contains("complete"));
}

TEST_F(CheckFixture, OtherProbeResultsLeaveTheTableAlone) {
  PutClient(30);
  engine.probeResult["CLIENT"] = DBIERR_NOTABLE;
  check.SetDescriptor(kClient);
  EXPECT_TRUE(check.Check());
  EXPECT_EQ(rec.log, QStringList({"after 0 CLIENT.DB", "complete"}));
  ASSERT_EQ(check.Unchecked().size(), 1);  // left alone, but not called sound
  EXPECT_TRUE(check.Unchecked()[0].contains("Ce n'est pas un fichier de table"));
  EXPECT_TRUE(check.Errors().isEmpty());
}

namespace {
qint32 StoredCounter(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  f.seek(73);
  return qFromLittleEndian<qint32>(f.read(4).constData());
}
void SetCounter(const QString& path, qint32 v) {
  QFile f(path);
  f.open(QIODevice::ReadWrite);
  f.seek(73);
  char b[4];
  qToLittleEndian<qint32>(v, b);
  f.write(b, 4);
}
const QStringList kBon = {"object Table: BON.DB", "  field(No;No;6;29;1;0)", "  field(T;T;1;0;10;0)",
                          "  index(;;1;1;1;1;0;1;0;0;0;;;0;;)", "end"};
}  // namespace

TEST_F(CheckFixture, AutoIncCounterIsRaisedToTheHighestValue) {
  auto& t = engine.Put(dir.Path(), "BON.DB", {Fld("No", fldINT32, 1, fldstAUTOINC), Fld("T", fldZSTRING, 10)},
                       {Idx("", {1}, true)});
  t.rows = {{"7", "a"}, {"12", "b"}, {"3", "c"}};  // the last row is not the highest
  SetCounter(dir.File("BON.DB"), 5);
  check.SetDescriptor(kBon);
  EXPECT_TRUE(check.Check());
  EXPECT_EQ(StoredCounter(dir.File("BON.DB")), 12);
  EXPECT_EQ(rec.log, QStringList({"before 0 BON.DB", "before 3 BON.DB", "after 0 BON.DB", "complete"}));
  // A counter already ahead is left alone.
  SetCounter(dir.File("BON.DB"), 40);
  rec.log.clear();
  check.Check();
  EXPECT_EQ(StoredCounter(dir.File("BON.DB")), 40);
  EXPECT_FALSE(rec.log.contains("before 3 BON.DB"));
}

TEST_F(CheckFixture, AutoIncRepairOfABusyTableIsAnError) {
  auto& t = engine.Put(dir.Path(), "BON.DB", {Fld("No", fldINT32, 1, fldstAUTOINC), Fld("T", fldZSTRING, 10)},
                       {Idx("", {1}, true)});
  t.rows = {{"9", "a"}};
  engine.busy << "BON";
  check.SetDescriptor(kBon);
  EXPECT_FALSE(check.Check());
  EXPECT_TRUE(rec.log.contains(QString("error %1").arg(DBIERR_FILEBUSY)));
  EXPECT_EQ(StoredCounter(dir.File("BON.DB")), 0);
  EXPECT_EQ(check.Errors().size(), 1);
}

TEST_F(CheckFixture, ModifiedAutoIncFieldIsReadOnly) {
  engine.Put(dir.Path(), "BON.DB", {Fld("No", fldINT32, 1), Fld("T", fldZSTRING, 10)}, {Idx("", {1}, true)});
  check.SetDescriptor(kBon);
  check.Check();
  const CRTblDesc& r = engine.restructured.at(0);
  EXPECT_EQ(r.fields[0].op, CrtOp::Modify);
  EXPECT_TRUE(r.fields[0].bReadOnly);
}

TEST_F(CheckFixture, LabelsComeFromReadFilesAndStrayLinesAreSkipped) {
  PutClient();
  check.SetReadFiles({"client=Les clients", "SITE.DB|Les sites"});
  check.SetDescriptor(QStringList({"", "stray", "object Table:", "end", "object"}) + kClient +
                      QStringList({"junk", "object Table: Site.DB", "  field(Id;Id;1;0;1;0)"}));
  EXPECT_TRUE(check.Check());
  EXPECT_EQ(rec.log.filter("after"), QStringList({"after 0 Les clients", "after 1 Les sites"}));
  EXPECT_TRUE(rec.log.contains("created Site.DB"));  // the table name, not the label
}

TEST_F(CheckFixture, MenuCheckSaysDoneAndListsWhatFailed) {
  ScopedDialogs dlg;
  PutClient(30);
  check.SetDescriptor(kClient);
  RunDatabaseCheck(check, dir.Path());
  EXPECT_EQ(dlg->Messages(),
            QStringList({"Contrôle terminé !\n\nCLIENT.DB : table reconstruite selon le schéma (champ mis au schéma : Nom)."}));
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  EXPECT_EQ(engine.Find("CLIENT.DB")->fields[2].iUnits1, 40);

  dlg->Clear();
  PutClient(30);
  engine.restructureResult["CLIENT"] = DBIERR_RESTRUCTFAIL;
  RunDatabaseCheck(check, dir.Path());
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("Contrôle terminé !\n"));
  EXPECT_TRUE(dlg->Messages()[0].contains("CLIENT.DB : "));

  // An engine error ends the check: no "done" box, the cursor is reset, the error goes on.
  dlg->Clear();
  engine.tables.clear();
  engine.probeResult["CLIENT"] = DBIERR_NONE;
  EXPECT_THROW(RunDatabaseCheck(check, dir.Path()), EDBEngineError);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}
