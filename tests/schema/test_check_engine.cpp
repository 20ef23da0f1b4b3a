// The structure check on the program's table engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <QFile>

#include "support/AppData.h"
#include "support/ReadOnlyFolder.h"
#include "CheckEvents.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include <sqlite3.h>
#include <sys/stat.h>
#include "platform/ui/Cursor.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "schema/DbEngine.h"
#include "schema/Descriptor.h"
#include "schema/SchemaTables.h"
#include "support/TestSupport.h"

namespace {

// The application's text with CLIENT.DB's block changed by `edit`.
QStringList ClientVariant(const std::function<void(QStringList&)>& edit) {
  QStringList block = ApplicationBlockLines("CLIENT.DB");
  edit(block);
  return block;
}

void AddClients(const QString& folder, const QList<QStringList>& rows) {
  TTable t;
  t.SetDatabaseName(folder);
  t.SetTableName("CLIENT.DB");
  t.Open();
  int ord = 1;
  for (const QStringList& r : rows) {
    t.Append();
    t.FieldByName("Id")->AsString = r[0];
    t.FieldByName("Ord")->AsInteger = ord++;
    t.FieldByName("Nom")->AsString = r[1];
    t.FieldByName("Region")->AsString = r.value(2);
    t.Post();
  }
  t.Close();
}

QList<QStringList> ReadClients(const QString& folder) {
  TTable t;
  t.SetDatabaseName(folder);
  t.SetTableName("CLIENT.DB");
  t.Open();
  QList<QStringList> rows;
  for (t.First(); !t.Eof(); t.Next())
    rows << QStringList{t.FieldByName("Id")->AsString(), t.FieldByName("Nom")->AsString(),
                        t.FieldByName("Region")->AsString()};
  t.Close();
  return rows;
}

QStringList IndexNames(const QString& folder, const QString& table) {
  QStringList names;
  for (const IDXDesc& x : Dbi::GetIndexDescs(folder, table)) names << x.szName;
  return names;
}

struct EngineCheck : ::testing::Test {
  TempDir dir;
  CheckEvents ev;
  std::unique_ptr<TDbCheck> check = MakeApplicationCheck();
  void SetUp() override {
    check->SetCorrectPath(dir.Path());
    ev.Attach(*check);
  }
  // Creates CLIENT.DB from a variant of its block, then hands the application's text back.
  void CreateClientAs(const std::function<void(QStringList&)>& edit) {
    TDbCheck first;
    first.SetCorrectPath(dir.Path());
    first.SetDescriptor(ClientVariant(edit));
    ASSERT_TRUE(first.Check());
    ASSERT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT.DB", false), DBIERR_NONE);
  }
};

}  // namespace

TEST_F(EngineCheck, EmptyFolderGetsEveryTableAsDescribedAndASecondRunFindsNothing) {
  EXPECT_TRUE(check->Check());
  EXPECT_EQ(ev.after, ForEveryTable(CHK_TABLECREATE));
  EXPECT_TRUE(ev.errors.isEmpty());

  const QStringList lines = ApplicationDescriptor();
  for (int i = 0; i < lines.size(); ++i) {
    if (DescKeyword(lines[i]) != "OBJECT") continue;
    const TDescBlock b = ParseBlock(lines, i);
    SCOPED_TRACE(b.fileName.toStdString());
    ASSERT_FALSE(FindTableFile(dir.Path(), b.fileName).isEmpty());
    const auto fields = Dbi::GetFieldDescs(dir.Path(), b.fileName);
    ASSERT_EQ(fields.size(), b.fields.size());
    for (size_t f = 0; f < fields.size(); ++f) {
      EXPECT_EQ(fields[f].szName, b.fields[f].szName);
      EXPECT_EQ(fields[f].iFldNum, f + 1);
      EXPECT_EQ(fields[f].iFldType, b.fields[f].iFldType);
      EXPECT_EQ(fields[f].iSubType, b.fields[f].iSubType);
      EXPECT_EQ(fields[f].iUnits1, b.fields[f].iUnits1);
      EXPECT_EQ(fields[f].iUnits2, b.fields[f].iUnits2);
    }
    const auto indexes = Dbi::GetIndexDescs(dir.Path(), b.fileName);
    ASSERT_EQ(indexes.size(), b.indexes.size());
    for (const IDXDesc& want : b.indexes) {
      const auto got = std::find_if(indexes.begin(), indexes.end(),
                                    [&](const IDXDesc& x) { return x.szName == want.szName; });
      ASSERT_NE(got, indexes.end()) << want.szName.toStdString();
      EXPECT_EQ(got->aiKeyFld, want.aiKeyFld);
      EXPECT_EQ(got->iFldsInKey, want.iFldsInKey);
      EXPECT_EQ(got->bPrimary, want.bPrimary);
      EXPECT_EQ(got->bUnique, want.bUnique);
      EXPECT_EQ(got->bCaseInsensitive, want.bCaseInsensitive);
      EXPECT_EQ(got->bDescending, want.bDescending);
      EXPECT_FALSE(got->bOutOfDate);
    }
  }

  ev.after.clear();
  ev.log.clear();
  EXPECT_TRUE(check->Check());
  EXPECT_EQ(ev.after, ForEveryTable(CHK_NONE));
  EXPECT_TRUE(ev.log.filter("diff").isEmpty());
}

TEST_F(EngineCheck, NomOfThirtyIsWidenedToFortyKeepingEveryRow) {
  CreateClientAs([](QStringList& b) { b.replaceInStrings("field(Nom;Nom;1;0;40;0)", "field(Nom;Nom;1;0;30;0)"); });
  ASSERT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT.DB")[2].iUnits1, 30);
  QList<QStringList> rows;
  for (int i = 1; i <= 50; ++i)
    rows << QStringList{QString("%1").arg(i, 4, 10, QChar('0')), QString("Client n°%1 l'épicier").arg(i), "R1"};
  AddClients(dir.Path(), rows);

  check->Check();
  EXPECT_TRUE(ev.log.contains("modify CLIENT.DB Nom"));
  EXPECT_TRUE(ev.log.contains("diff 2 CLIENT.DB 1"));
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_TABLEMODIFY);
  EXPECT_TRUE(ev.errors.isEmpty());
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT.DB")[2].iUnits1, 40);
  EXPECT_EQ(ReadClients(dir.Path()), rows);
  // The wider field takes forty characters now.
  AddClients(dir.Path(), {{"0099", QString(40, 'N')}});
  EXPECT_EQ(ReadClients(dir.Path()).last()[1], QString(40, 'N'));
}

// Wider than the schema's: back to forty when every name fits, the table left as it is when one
// does not. Exactly as wide, nothing to do.
TEST_F(EngineCheck, NomOfSixtyIsNarrowedToFortyOnlyWhenEveryNameFits) {
  CreateClientAs([](QStringList& b) { b.replaceInStrings("field(Nom;Nom;1;0;40;0)", "field(Nom;Nom;1;0;60;0)"); });
  const QList<QStringList> rows = {{"0001", QString(40, 'N'), "R1"}, {"0002", QString(41, 'L'), "R2"}};
  AddClients(dir.Path(), rows);
  check->Check();
  ASSERT_EQ(check->Errors().size(), 1);
  EXPECT_TRUE(check->Errors()[0].contains("champ Nom, fiche 2 : le texte « " + QString(41, 'L') + " »"))
      << check->Errors()[0].toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT.DB")[2].iUnits1, 60);
  EXPECT_EQ(ReadClients(dir.Path()), rows);

  TQuery q;
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("DELETE FROM CLIENT.DB WHERE Id = '0002'");
  q.ExecSQL();
  ev.after.clear();
  check->Check();
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_TABLEMODIFY);
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT.DB")[2].iUnits1, 40);
  EXPECT_EQ(ReadClients(dir.Path()), rows.mid(0, 1));
  ev.after.clear();
  check->Check();
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_NONE);
}

TEST_F(EngineCheck, ExtraIndexIsDroppedAndExtraTrailingFieldLeftAlone) {
  CreateClientAs([](QStringList& b) {
    b.insert(b.size() - 1, "  index(iAdr;;1;4;0;0;0;1;1;0;0;;;0;;)");
  });
  AddClients(dir.Path(), {{"0001", "Dupont", "R1"}});
  check->Check();
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_TABLEMODIFY);
  EXPECT_FALSE(IndexNames(dir.Path(), "CLIENT.DB").contains("iAdr"));
  EXPECT_TRUE(IndexNames(dir.Path(), "CLIENT.DB").contains("iRegOrd"));
  EXPECT_EQ(ReadClients(dir.Path()).size(), 1);

  // A field after all of the descriptor's: no difference, the field stays.
  TempDir other;
  check->SetCorrectPath(other.Path());
  TDbCheck first;
  first.SetCorrectPath(other.Path());
  first.SetDescriptor(ClientVariant([](QStringList& b) {
    int lastField = -1;
    for (int i = 0; i < b.size(); ++i)
      if (DescKeyword(b[i]) == "FIELD") lastField = i;
    ASSERT_GT(lastField, 0);
    b.insert(lastField + 1, "  field(Extra;Extra;1;0;10;0)");
  }));
  first.Check();
  ev.after.clear();
  ev.log.clear();
  check->Check();
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_NONE);
  EXPECT_TRUE(ev.log.filter("CLIENT").filter("diff").isEmpty());
  EXPECT_EQ(Dbi::GetFieldDescs(other.Path(), "CLIENT.DB").back().szName, "Extra");
}

TEST_F(EngineCheck, DeletedCompanionFilesAreRebuilt) {
  check->Check();
  QStringList companions = QDir(dir.Path()).entryList({"Region.*"}, QDir::Files);
  companions.removeAll("Region.db");
  ASSERT_FALSE(companions.isEmpty());
  // Only the primary index's file goes: the engine finds an index out of date.
  for (const QString& n : companions)
    if (n.endsWith(".PX", Qt::CaseInsensitive)) QFile::remove(dir.File(n));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Region.db", false), DBIERR_INDEXOUTOFDATE);

  ev.after.clear();
  check->Check();
  EXPECT_TRUE(ev.errors.isEmpty());
  EXPECT_EQ(ev.AfterOf("Region.db"), CHK_TABLEMODIFY);
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Region.db", false), DBIERR_NONE);
  EXPECT_EQ(IndexNames(dir.Path(), "Region.db"), QStringList({"", "iLibelle"}));
  QStringList after = QDir(dir.Path()).entryList({"Region.*"}, QDir::Files);
  after.removeAll("Region.db");
  EXPECT_EQ(after, companions);
}

TEST_F(EngineCheck, ReindexingEveryTableKeepsTheRowsAndRebuildsTheIndexes) {
  check->Check();
  AddClients(dir.Path(), {{"0002", "Martin", "R2"}, {"0001", "Dupont", "R1"}});
  QFile(dir.File("CLIENT.MB")).open(QIODevice::WriteOnly);
  const QStringList before = QDir(dir.Path()).entryList(QDir::Files, QDir::Name);
  // What the reindexing leaves: the data and memo files only.
  for (const QString& n : before) {
    const QString ext = n.mid(n.lastIndexOf('.') + 1).toUpper();
    if (ext != "DB" && ext != "MB") QFile::remove(dir.File(n));
  }
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT.DB", false), DBIERR_INDEXOUTOFDATE);
  ev.after.clear();
  check->Check();
  EXPECT_TRUE(ev.errors.isEmpty());
  QList<TChkMessage> expected;
  for (const QString& t : AppTables())
    expected << (Dbi::GetIndexDescs(dir.Path(), t).empty() ? CHK_NONE : CHK_TABLEMODIFY);
  EXPECT_EQ(ev.after, expected);
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files, QDir::Name), before);
  EXPECT_EQ(ReadClients(dir.Path()), QList<QStringList>({{"0001", "Dupont", "R1"}, {"0002", "Martin", "R2"}}));
  ev.after.clear();
  check->Check();
  EXPECT_EQ(ev.after, ForEveryTable(CHK_NONE));
}

TEST_F(EngineCheck, RestructureThatCannotCarryItsRowsLeavesTheTableAndIsCollected) {
  // Without its primary index the table takes two clients of one code; the key cannot be added.
  CreateClientAs([](QStringList& b) { b.removeAll("  index(;;1;1;1;1;0;1;0;0;0;;;0;;)"); });
  AddClients(dir.Path(), {{"0001", "Dupont", "R1"}, {"0001", "Martin", "R2"}});
  ScopedDialogs dlg;
  RunDatabaseCheck(*check, dir.Path());
  ASSERT_EQ(ev.errors.size(), 1);
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_NONE);
  EXPECT_EQ(ReadClients(dir.Path()).size(), 2);
  EXPECT_FALSE(IndexNames(dir.Path(), "CLIENT.DB").contains(""));
  ASSERT_EQ(check->Errors().size(), 1);
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("Contrôle terminé !"));
  EXPECT_TRUE(dlg->Messages()[0].contains(check->Errors()[0]));
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  // The other tables were created all the same.
  for (const QString& t : AppTables()) {
    if (t != "CLIENT.DB") {
      EXPECT_EQ(ev.AfterOf(t), CHK_TABLECREATE) << t.toStdString();
    }
  }
}

TEST_F(EngineCheck, AutoIncCounterTakesTheHighestValue) {
  TDbCheck bon;
  bon.SetCorrectPath(dir.Path());
  bon.SetDescriptor({"object Table: BON.DB", "  field(NoBon;NoBon;6;29;1;0)", "  field(T;T;1;0;10;0)",
                     "  index(;;1;1;1;1;0;1;0;0;0;;;0;;)", "end"});
  ASSERT_TRUE(bon.Check());
  {
    TTable t;
    t.SetDatabaseName(dir.Path());
    t.SetTableName("BON.DB");
    t.Open();
    for (const char* s : {"a", "b", "c"}) {
      t.Append();
      t.FieldByName("T")->AsString = s;
      t.Post();
    }
    t.Close();
  }
  int32_t counter = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "BON.DB", counter));
  ASSERT_GE(counter, 3);
  Dbi::WriteAutoIncCounter(dir.Path(), "BON.DB", 1);
  std::vector<TChkMessage> before;
  bon.OnBeforeCheck = [&](QObject*, TChkMessage m, const QString&) { before.push_back(m); };
  EXPECT_TRUE(bon.Check());
  EXPECT_EQ(before, std::vector<TChkMessage>({CHK_NONE, CHK_AUTOINCREPAIR}));
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "BON.DB", counter));
  EXPECT_EQ(counter, 3);
}

// A data folder that cannot be written (a read-only share): what can be read is checked, and what
// would have to be written is named in French with its reason, never reported as done.
TEST_F(EngineCheck, ReadOnlyFolderIsCheckedAsFarAsItCanBeReadAndSaysWhatItCannotDo) {
  check->Check();
  // CLIENT.DB with Nom of 30: a restructure to come; Region's primary index file gone; Ha missing.
  QFile::remove(dir.File("CLIENT.DB"));
  for (const QString& n : QDir(dir.Path()).entryList({"CLIENT.*"}, QDir::Files)) QFile::remove(dir.File(n));
  CreateClientAs([](QStringList& b) { b.replaceInStrings("field(Nom;Nom;1;0;40;0)", "field(Nom;Nom;1;0;30;0)"); });
  QFile::remove(dir.File("Region.PX"));
  QFile::remove(dir.File("Ha.DB"));
  for (const QString& n : QDir(dir.Path()).entryList({"Ha.*"}, QDir::Files)) QFile::remove(dir.File(n));
  const QStringList before = QDir(dir.Path()).entryList(QDir::Files, QDir::Name);

  ScopedDialogs dlg;
  {
    ReadOnlyFolder readOnly(dir.Path());
    ev.after.clear();
    RunDatabaseCheck(*check, dir.Path());
  }
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files, QDir::Name), before);
  EXPECT_FALSE(ev.after.contains(CHK_TABLECREATE));
  EXPECT_FALSE(ev.after.contains(CHK_TABLEMODIFY));
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Warning);
  const QString text = dlg->Messages()[0];
  EXPECT_FALSE(text.contains("Erreur du système")) << text.toStdString();
  const QStringList problems = check->Errors() + check->Unchecked();
  // One line for each table that needed a write, and each says what could not be done.
  ASSERT_EQ(problems.size(), 3) << text.toStdString();
  auto line = [&](const QString& table) {
    const QStringList l = problems.filter(table + " :");
    return l.isEmpty() ? QString() : l[0];
  };
  EXPECT_TRUE(line("Ha.DB").contains("ne peut pas être créée")) << text.toStdString();
  EXPECT_TRUE(line("CLIENT.DB").contains("ne peut pas être mise à jour")) << text.toStdString();
  EXPECT_TRUE(line("Region.db").contains("index")) << text.toStdString();
  for (const QString& p : problems) EXPECT_TRUE(p.contains("lecture seule")) << p.toStdString();
  // The folder is named once, above the tables.
  EXPECT_EQ(text.count(QDir::toNativeSeparators(QDir(dir.Path()).absolutePath())), 1) << text.toStdString();
  EXPECT_LT(text.indexOf("ne peut pas être écrit"), text.indexOf("Ha.DB")) << text.toStdString();
  // Once the folder can be written, the same check does all of it.
  ev.after.clear();
  dlg->Clear();
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_TRUE(check->Errors().isEmpty() && check->Unchecked().isEmpty()) << dlg->Messages().join("|").toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT.DB")[2].iUnits1, 40);
}

namespace {

// Runs SQL on a table file the way another tool would, outside the engine.
using testdata::Sqlite;

QStringList SqliteObjects(const QString& file) {
  sqlite3* db = nullptr;
  QStringList out;
  if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT type || ' ' || name FROM sqlite_master ORDER BY 1", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

int Takings(const QString& folder) {
  TQuery q;
  q.SetDatabaseName(folder);
  q.SQL.Add("SELECT COUNT(*) AS n FROM Disto.DB");
  q.Open();
  const int n = q.FieldByName("N")->AsInteger();
  q.Close();
  return n;
}

void AddTakings(const QString& folder, int month, int year = 2026) {
  TQuery q;
  q.SetDatabaseName(folder);
  q.SQL.Add(QString("INSERT INTO Disto (DateJ, Id_Client, Id_Titre, Qte_Prise, PU) VALUES('%1/1/%2', '0001', '0001', 5, 1.2),"
                    " ('%1/1/%2', '0002', '0001', 2, 1.2), ('%1/2/%2', '0001', '0001', 4, 1.2)").arg(month).arg(year));
  q.ExecSQL();
}

}  // namespace

TEST_F(EngineCheck, WhatTheSchemaDoesNotDescribeGoesAndAMissingKeyComesBackUnlessRowsShareIt) {
  check->Check();
  AddTakings(dir.Path(), 3);
  const QString disto = FindTableFile(dir.Path(), "Disto.DB");
  const QStringList own = SqliteObjects(disto);
  // A trigger that empties the other days at each insert, a view, a table and an index of its own.
  Sqlite(disto, "CREATE TRIGGER zz AFTER INSERT ON Disto BEGIN DELETE FROM Disto WHERE DateJ <> NEW.DateJ; END;"
                "CREATE VIEW v AS SELECT * FROM Disto; CREATE TABLE t(x); CREATE INDEX i ON Disto(PU);");
  ScopedDialogs dlg;
  ev.after.clear();
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(ev.after.at(1), CHK_TABLEMODIFY);
  EXPECT_EQ(SqliteObjects(disto), own);
  AddTakings(dir.Path(), 4);  // through the trigger, the earlier rows of other days would go
  EXPECT_EQ(Takings(dir.Path()), 6);
  // The index of the key dropped: the check builds it again.
  Sqlite(disto, "DELETE FROM Disto WHERE rowid > 3; DROP INDEX zx_1;");
  ev.after.clear();
  check->Check();
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(ev.after.at(1), CHK_TABLEMODIFY);
  EXPECT_EQ(SqliteObjects(disto), own);
  // ...unless two rows share a key: the check says which table and how many keys, and keeps them.
  Sqlite(disto, "DROP INDEX zx_1; INSERT INTO Disto SELECT * FROM Disto WHERE rowid <= 2;");
  dlg->Clear();
  ev.errors.clear();
  RunDatabaseCheck(*check, dir.Path());
  ASSERT_EQ(check->Errors().size(), 1);
  EXPECT_EQ(check->Errors()[0].toStdString(),
            "Disto.DB : 2 valeurs de la clé primaire figurent chacune sur plusieurs fiches ; aucune fiche n'a été "
            "supprimée et cet index n'a pas été reconstruit : les doublons sont à corriger avant un nouveau contrôle.");
  EXPECT_TRUE(dlg->Messages().value(0).contains(check->Errors()[0]));
  EXPECT_EQ(ev.errors.size(), 1);
  EXPECT_EQ(Takings(dir.Path()), 5);
}

namespace {

// Every stored definition of a file, and its rows as text, read by another tool.
QStringList Raw(const QString& file, const char* sql) {
  sqlite3* db = nullptr;
  QStringList out;
  if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
      QStringList row;
      for (int i = 0; i < sqlite3_column_count(s); ++i)
        row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
      out << row.join('|');
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

// Another tool changed the takings table itself (or SQLite's own tables) and left the
// description beside it as it was: the check makes the table the program's own again, each
// field kept by name with its data, every row kept, and the takings can be saved again.
TEST_F(EngineCheck, ATableAlteredBehindTheEnginesBackBecomesTheProgramsOwnKeepingItsRows) {
  check->Check();
  const QString disto = FindTableFile(dir.Path(), "Disto.DB");
  const QStringList made = Raw(disto, "SELECT type, name, sql FROM sqlite_master ORDER BY name");
  const char* rows = "SELECT DateJ, Id_Client, Id_Titre, Qte_Prise, PU FROM Disto ORDER BY 1, 2, 3";
  const QString stored = "(SELECT sql FROM sqlite_master WHERE name = 'Disto')";
  const QStringList alterations = {
      "CREATE TABLE n(\"DateJ\" TEXT, \"Id_Client\" TEXT, \"Id_Titre\" TEXT, \"Qte_Prise\" INTEGER, \"PU\" REAL,"
      " PRIMARY KEY(DateJ, Id_Client, Id_Titre)) WITHOUT ROWID; INSERT INTO n SELECT * FROM Disto; DROP TABLE Disto;"
      " ALTER TABLE n RENAME TO Disto; CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)",
      "ALTER TABLE Disto ADD COLUMN extra INTEGER CHECK (DateJ < '2026-01-01')",
      "ALTER TABLE Disto ADD COLUMN g INTEGER GENERATED ALWAYS AS (Qte_Prise) VIRTUAL NOT NULL",
      "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(" + stored +
          ", ') STRICT', ', \"junk\" BLOB DEFAULT (randomblob(2000))) STRICT') WHERE name = 'Disto'",
      "PRAGMA writable_schema = ON; CREATE TABLE sqlite_stat9(a, b); INSERT INTO sqlite_stat9 VALUES(1, 2)",
      "CREATE TABLE a(x INTEGER PRIMARY KEY AUTOINCREMENT); INSERT INTO a VALUES(NULL); DROP TABLE a",
      "ALTER TABLE zelm_fields ADD COLUMN x INTEGER CHECK (x IS NULL)",
  };
  int month = 0;
  for (const QString& sql : alterations) {
    SCOPED_TRACE(sql.toStdString());
    AddTakings(dir.Path(), ++month, 2025);
    const QStringList before = Raw(disto, rows);
    Sqlite(disto, sql);
    ev.after.clear();
    check->Check();
    EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
    EXPECT_EQ(ev.AfterOf("Disto.DB"), CHK_TABLEMODIFY);
    EXPECT_EQ(Raw(disto, "SELECT type, name, sql FROM sqlite_master ORDER BY name"), made);
    EXPECT_EQ(Raw(disto, rows), before);
    AddTakings(dir.Path(), month);  // 2026: what the CHECK refused
    EXPECT_EQ(Takings(dir.Path()), before.size() + 3);
    ev.after.clear();
    check->Check();
    EXPECT_EQ(ev.AfterOf("Disto.DB"), CHK_NONE);
    Sqlite(disto, "DELETE FROM Disto WHERE DateJ >= '2026-01-01'");
  }
  // A renamed field: the field of the schema comes back, empty; the other name goes.
  Sqlite(disto, "ALTER TABLE Disto RENAME COLUMN PU TO PUx");
  const int n = Takings(dir.Path());
  check->Check();
  EXPECT_EQ(Raw(disto, "SELECT type, name, sql FROM sqlite_master ORDER BY name"), made);
  EXPECT_EQ(Takings(dir.Path()), n);
  EXPECT_EQ(Raw(disto, "SELECT count(*), count(PU), sum(Qte_Prise) > 0 FROM Disto"),
            QStringList{QString("%1|0|1").arg(n)});
}

// A key held twice behind an index still called unique, or an index that misses a row, made so
// behind SQLite's back: the check reads the rows, not the index's word.
TEST_F(EngineCheck, AKeyIndexIsNotTakenAtItsWord) {
  check->Check();
  AddTakings(dir.Path(), 3);
  const QString disto = FindTableFile(dir.Path(), "Disto.DB");
  const QString key = "CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)";
  Sqlite(disto, "DROP INDEX zx_1; CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre) WHERE rowid > 1;"
                "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = '" + key + "' WHERE name = 'zx_1'");
  ev.after.clear();
  check->Check();
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(ev.AfterOf("Disto.DB"), CHK_TABLEMODIFY);
  EXPECT_EQ(Raw(disto, "SELECT count(*) FROM Disto INDEXED BY zx_1 WHERE DateJ > ''"), QStringList{"3"});

  Sqlite(disto, "DROP INDEX zx_1; INSERT INTO Disto SELECT * FROM Disto WHERE rowid <= 2;"
                "CREATE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre); PRAGMA writable_schema = ON;"
                "UPDATE sqlite_master SET sql = '" + key + "' WHERE name = 'zx_1'");
  ScopedDialogs dlg;
  RunDatabaseCheck(*check, dir.Path());
  ASSERT_EQ(check->Errors().size(), 1);
  EXPECT_EQ(check->Errors()[0].toStdString(),
            "Disto.DB : 2 valeurs de la clé primaire figurent chacune sur plusieurs fiches ; aucune fiche n'a été "
            "supprimée et cet index n'a pas été reconstruit : les doublons sont à corriger avant un nouveau contrôle.");
  EXPECT_EQ(Takings(dir.Path()), 5);
}

TEST_F(EngineCheck, AFolderUnderATablesNameIsNamedAndNothingIsLeftBeside) {
  check->Check();
  for (const QString& n : QDir(dir.Path()).entryList({"Disto.*"}, QDir::Files)) QFile::remove(dir.File(n));
  ASSERT_TRUE(QDir().mkpath(dir.File("Disto.DB/dedans")));
  const QStringList before = QDir(dir.Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  ScopedDialogs dlg;
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
  ASSERT_EQ(check->Errors().size(), 1);
  EXPECT_EQ(check->Errors()[0].toStdString(),
            "Disto.DB : " + QDir::toNativeSeparators(QDir(dir.File("Disto.DB")).absolutePath()).toStdString() +
                " est un dossier, à la place du fichier de la table ; la table ne peut pas être créée.");
  EXPECT_FALSE(dlg->Messages().value(0).contains("Erreur du système"));
}

TEST_F(EngineCheck, ATriggerOnTheEnginesOwnTablesGoesBeforeTheEngineWritesThere) {
  check->Check();
  AddTakings(dir.Path(), 3);
  const QString disto = FindTableFile(dir.Path(), "Disto.DB");
  // The key's companion gone: opening the table for use rewrites the index list, which the
  // trigger would answer by emptying the takings.
  Sqlite(disto, "CREATE TRIGGER zz AFTER DELETE ON zelm_indexes BEGIN DELETE FROM Disto; END;");
  QFile::remove(dir.File("Disto.PX"));
  check->Check();
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(Takings(dir.Path()), 3);
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Disto.DB", false), DBIERR_NONE);
}

// The description beside a table altered, values another tool wrote past what a field holds, a
// column of its own: the check carries every value as the file stores it, refuses a table whose
// values its fields cannot hold (and goes on with the next), says what it rebuilt and removed,
// keeps a table file's permissions, and makes a table whose file is empty.
TEST_F(EngineCheck, TheCheckNeverChangesAStoredValue) {
  check->Check();
  const QString disto = FindTableFile(dir.Path(), "Disto.DB"), vcr = FindTableFile(dir.Path(), "VCR.DB");
  Sqlite(disto, "INSERT INTO Disto VALUES('2026-03-02', '0001', '0001', 5, 1.2345), ('2026-03-02', '0002', '0001', 7, 0.35),"
                " ('2026-03-03', '0001', '0001', 2147483647, 3.1)");
  Sqlite(vcr, "INSERT INTO VCR VALUES('2026-02-28', '0001', 326.71), ('2026-02-28', '0002', 12.5), ('2026-02-28', '0003', 0.1234)");
  const char* takings = "SELECT DateJ, Id_Client, Id_Titre, Qte_Prise, PU FROM Disto ORDER BY rowid";
  const char* payments = "SELECT Week, Id_Client, Montant FROM VCR ORDER BY rowid";
  const QStringList t0 = Raw(disto, takings), p0 = Raw(vcr, payments);
  ::chmod(QFile::encodeName(disto).constData(), 0600);
  ScopedDialogs dlg;

  // Only the description altered: a field renamed, retyped, an index made a secondary one, the
  // fields or the indexes no longer described; the box names what was put right.
  const std::vector<std::pair<QString, QString>> descriptions = {
      {"UPDATE zelm_fields SET name = 'PUx' WHERE name = 'PU'", "Disto.DB : table re"},
      {"UPDATE zelm_fields SET type = 7, subtype = 0 WHERE name = 'Qte_Prise'", "Disto.DB : table re"},
      {"UPDATE zelm_fields SET type = 5, units1 = 3 WHERE name = 'PU'", "Disto.DB : table re"},
      {"UPDATE zelm_indexes SET isprimary = 0 WHERE num = 1", "Disto.DB : table re"},
      {"DELETE FROM zelm_indexes", "Disto.DB : table reconstruite selon le schéma (index absent de sa description, "
                                   "refait : primaire)."},
      {"DELETE FROM zelm_fields", "Disto.DB : la description de la table dans son fichier manquait"},
      {"DROP TABLE zelm_fields", "Disto.DB : la description de la table dans son fichier manquait"},
      {"DROP TABLE zelm_indexes", "Disto.DB : table reconstruite selon le schéma (index absent de sa description"},
  };
  for (const auto& [sql, named] : descriptions) {
    SCOPED_TRACE(sql.toStdString());
    Sqlite(disto, sql);
    Sqlite(vcr, "UPDATE zelm_fields SET type = 6, subtype = 0 WHERE name = 'Montant'");
    dlg->Clear();
    RunDatabaseCheck(*check, dir.Path());
    EXPECT_EQ(Raw(disto, takings), t0);
    EXPECT_EQ(Raw(vcr, payments), p0);
    const QString box = dlg->Messages().value(0);
    EXPECT_TRUE(check->Errors().isEmpty()) << box.toStdString();
    EXPECT_FALSE(box.contains("Paramètre incorrect")) << box.toStdString();
    EXPECT_TRUE(box.contains(named)) << box.toStdString();
    // The index file the check writes is as private as its table.
    for (const QString& file : {disto, dir.File("Disto.PX")}) {
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u) << file.toStdString();
    }
    ev.log.clear();
    check->Check();
    EXPECT_EQ(ev.AfterOf("Disto.DB"), CHK_NONE);
    EXPECT_EQ(ev.AfterOf("VCR.DB"), CHK_NONE);
  }

  // A column of another tool's, with values: it goes, and the box says so.
  Sqlite(disto, "ALTER TABLE Disto ADD COLUMN note TEXT; UPDATE Disto SET note = 'x' WHERE Qte_Prise < 10");
  dlg->Clear();
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_TRUE(dlg->Messages().value(0).contains("la colonne « note », que le schéma ne nomme pas, a été retirée avec "
                                                "ses 2 valeurs")) << dlg->Messages().value(0).toStdString();
  EXPECT_EQ(Raw(disto, takings), t0);

  // Values past what the fields hold, written by another tool: the table stays as it is, named
  // with the field, the row and the value; the next table is checked all the same.
  const std::vector<std::pair<QString, QString>> beyond = {
      {"UPDATE Disto SET Qte_Prise = 3000000000 WHERE rowid = 2", "champ Qte_Prise, fiche 2 : la valeur 3000000000"},
      {"UPDATE Disto SET Qte_Prise = 99999999999 WHERE rowid = 2", "champ Qte_Prise, fiche 2 : la valeur 99999999999"},
      {"UPDATE Disto SET PU = 1e300 WHERE rowid = 3", "champ PU, fiche 3 : la valeur 1e+300"},
      {"UPDATE Disto SET PU = 0.123456 WHERE rowid = 1", "champ PU, fiche 1 : la valeur 0.123456 a plus de 4 décimales"},
      {"UPDATE Disto SET PU = 0.12345 WHERE rowid = 1", "champ PU, fiche 1 : la valeur 0.12345 a plus de 4 décimales"},
  };
  for (const auto& [sql, named] : beyond) {
    SCOPED_TRACE(sql.toStdString());
    Sqlite(disto, sql + "; ALTER TABLE Disto ADD COLUMN extra INTEGER");
    Sqlite(vcr, "UPDATE zelm_fields SET type = 6, subtype = 0 WHERE name = 'Montant'");
    const QStringList stored = Raw(disto, takings);
    dlg->Clear();
    RunDatabaseCheck(*check, dir.Path());
    ASSERT_EQ(check->Errors().size(), 1);
    EXPECT_TRUE(check->Errors()[0].startsWith("Disto.DB : ")) << check->Errors()[0].toStdString();
    EXPECT_TRUE(check->Errors()[0].contains(" : " + named)) << check->Errors()[0].toStdString();
    EXPECT_EQ(Raw(disto, takings), stored);
    EXPECT_EQ(Raw(disto, "SELECT count(*) FROM pragma_table_info('Disto') WHERE name = 'extra'"), QStringList{"1"});
    EXPECT_EQ(Raw(vcr, payments), p0);
    EXPECT_EQ(ev.AfterOf("VCR.DB"), CHK_TABLEMODIFY);
    Sqlite(disto, "UPDATE Disto SET Qte_Prise = 7, PU = 0.35 WHERE rowid = 2; UPDATE Disto SET PU = 3.1 WHERE rowid = 3;"
                  "UPDATE Disto SET PU = 1.2345 WHERE rowid = 1; ALTER TABLE Disto DROP COLUMN extra");
  }
  EXPECT_EQ(Raw(disto, takings), t0);

  // A table file of no bytes (a copy that failed) holds nothing: the check makes its table.
  const QString site = FindTableFile(dir.Path(), "Site.DB");
  QFile(site).resize(0);
  dlg->Clear();
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_EQ(ev.AfterOf("Site.DB"), CHK_TABLECREATE);
  EXPECT_TRUE(dlg->Messages().value(0).contains("Site.DB : fichier vide, table refaite d'après le schéma."))
      << dlg->Messages().value(0).toStdString();
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Site.DB", false), DBIERR_NONE);
}

// A table otherwise the program's own: values no field holds are named and left; a text of the
// wrong kind in a table made before STRICT is no damaged page; a description whose fields are in
// another order than its table's says which of the two is out of the program's order.
TEST_F(EngineCheck, ValuesNoFieldHoldsAreNamedAndAWrongKindIsNoDamage) {
  check->Check();
  const QString disto = FindTableFile(dir.Path(), "Disto.DB"), vcr = FindTableFile(dir.Path(), "VCR.DB");
  AddTakings(dir.Path(), 3);
  Sqlite(disto, "UPDATE Disto SET Qte_Prise = 3000000000 WHERE rowid = 2");
  QString payments = "INSERT INTO VCR VALUES('2026-02-28', '0001', 0.123456)";
  for (int i = 2; i <= 12; ++i) payments += QString(", ('2026-02-28', '%1', 1e300)").arg(i, 4, 10, QChar('0'));
  Sqlite(vcr, payments);
  const char* rows = "SELECT * FROM Disto ORDER BY rowid";
  const QStringList takings = Raw(disto, rows), paid = Raw(vcr, "SELECT * FROM VCR ORDER BY rowid");
  ScopedDialogs dlg;
  RunDatabaseCheck(*check, dir.Path());
  ASSERT_EQ(check->Errors().size(), 2) << dlg->Messages().value(0).toStdString();
  EXPECT_EQ(check->Errors()[0].toStdString(),
            "Disto.DB : une valeur que son champ ne peut pas contenir : champ Qte_Prise, fiche 2 : la "
            "valeur 3000000000 est hors des limites du champ (-2147483648 à 2147483647) ; la table est laissée telle quelle.");
  const QString money = "est hors des limites d'un montant (-922 337 203 685 477 à 922 337 203 685 477)";
  QString many = "VCR.DB : 12 valeurs que leur champ ne peut pas contenir : champ Montant, fiche 1 : la "
                 "valeur 0.123456 a plus de 4 décimales";
  for (int i = 2; i <= 10; ++i) many += QString(" ; champ Montant, fiche %1 : la valeur 1e+300 ").arg(i) + money;
  EXPECT_EQ(check->Errors()[1].toStdString(), (many + " et 2 autres ; la table est laissée telle quelle.").toStdString());
  EXPECT_EQ(Raw(disto, rows), takings);
  EXPECT_EQ(Raw(vcr, "SELECT * FROM VCR ORDER BY rowid"), paid);
  Sqlite(disto, "UPDATE Disto SET Qte_Prise = 3 WHERE rowid = 2");
  Sqlite(vcr, "DELETE FROM VCR");

  // A table made before STRICT, with a text among its quantities that SQLite's own check calls
  // of another kind: the rebuild carries '12' as the number it is, and names 'douze'.
  const QString declared = "(SELECT sql FROM sqlite_master WHERE name = 'Disto')";
  Sqlite(disto, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(replace(" + declared +
                    ", ') STRICT', ')'), '\"Qte_Prise\" INTEGER', '\"Qte_Prise\" BLOB') WHERE name = 'Disto'");
  Sqlite(disto, "UPDATE Disto SET Qte_Prise = '12' WHERE rowid = 1; UPDATE Disto SET Qte_Prise = 'douze' WHERE rowid = 3");
  Sqlite(disto, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(" + declared +
                    ", '\"Qte_Prise\" BLOB', '\"Qte_Prise\" INTEGER') WHERE name = 'Disto'");
  ASSERT_TRUE(Raw(disto, "PRAGMA quick_check").join(' ').contains("TEXT value in Disto.Qte_Prise"));
  dlg->Clear();
  RunDatabaseCheck(*check, dir.Path());
  ASSERT_EQ(check->Errors().size(), 1);
  EXPECT_TRUE(check->Unchecked().isEmpty()) << check->Unchecked().join('\n').toStdString();
  EXPECT_EQ(check->Errors()[0].toStdString(),
            "Disto.DB : une valeur que son champ ne peut pas contenir : champ Qte_Prise, fiche 3 : le "
            "texte « douze » n'est pas un nombre entier ; la table est laissée telle quelle.");
  Sqlite(disto, "UPDATE Disto SET Qte_Prise = 5 WHERE rowid = 3");
  check->Check();
  EXPECT_TRUE(check->Errors().isEmpty()) << check->Errors().join('\n').toStdString();
  EXPECT_EQ(Raw(disto, "SELECT typeof(Qte_Prise), Qte_Prise FROM Disto WHERE rowid = 1"), QStringList{"integer|12"});

  // Fields 4 and 5 swapped in the description alone.
  Sqlite(disto, "UPDATE zelm_fields SET num = -4 WHERE num = 4; UPDATE zelm_fields SET num = 4 WHERE num = 5;"
                "UPDATE zelm_fields SET num = 5 WHERE num = -4");
  dlg->Clear();
  RunDatabaseCheck(*check, dir.Path());
  EXPECT_TRUE(dlg->Messages().value(0).contains(
      "Disto.DB : table refaite d'après ses colonnes et le schéma, car les champs de sa description ne sont pas dans "
      "l'ordre que le programme leur donne (« PU » avant « Qte_Prise »), alors que les colonnes de la table le sont"))
      << dlg->Messages().value(0).toStdString();
}
