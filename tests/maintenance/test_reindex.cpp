// Reindexing: every index rebuilt, rows unchanged, refused while a table is open.
#include <QDir>
#include <QFileInfo>
#include <array>
#include <sqlite3.h>
#include <sys/stat.h>

#include "support/ReadOnlyFolder.h"
#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/UReindex.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/Table.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "shell/global.h"

namespace {
using testdata::Sqlite;

unsigned Mode(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

QMap<QString, int> RowCounts(MaintTest& t, std::function<int(const QString&)> count) {
  QMap<QString, int> out;
  for (const QString& table : SchemaTableFiles()) out[table] = count("SELECT COUNT(*) FROM " + table);
  return out;
}
}  // namespace

TEST_F(MaintTest, ReindexingRebuildsEveryIndexWithTheSameRows) {
  FillSample();
  WriteFile(DataPath + "Liste.MB", "memo");
  WriteFile(DataPath + "notes.txt", "x");
  auto count = [this](const QString& sql) { return Count(sql); };
  const auto rows = RowCounts(*this, count);
  const QStringList before = QDir(DataPath).entryList(QDir::Files);
  std::map<QString, std::vector<IDXDesc>> indexes;
  for (const QString& t : SchemaTableFiles()) indexes[t] = Dbi::GetIndexDescs(DataPath, t);
  // Private tables: every index file the reindexing makes is as private as its table.
  for (const QString& n : before)
    if (n != "notes.txt") ::chmod(QFile::encodeName(DataPath + n).constData(), 0600);

  // The check would also repair what it finds; count what it corrects on the second run.
  int corrected = 0;
  TDbCheck& check = ApplicationCheck();
  auto keep = check.OnFoundDiff;
  Reindex(check, DataPath);
  EXPECT_EQ(dlg->Messages(), QStringList());
  check.OnFoundDiff = [&](QObject*, TChkMessage, const QString&, bool& c) {
    ++corrected;
    c = true;
  };
  check.SetCorrectPath(DataPath);
  check.Check();
  check.OnFoundDiff = keep;
  EXPECT_EQ(corrected, 0);
  EXPECT_EQ(RowCounts(*this, count), rows);
  EXPECT_EQ(QDir(DataPath).entryList(QDir::Files), before);  // every companion file is back
  EXPECT_EQ(ReadFile(DataPath + "Liste.MB"), "memo");
  for (const QString& n : QDir(DataPath).entryList(QDir::Files)) {
    if (n != "notes.txt") {
      EXPECT_EQ(Mode(DataPath + n), 0600u) << n.toStdString();
    }
  }
  for (const QString& t : SchemaTableFiles()) {
    const auto now = Dbi::GetIndexDescs(DataPath, t);
    ASSERT_EQ(now.size(), indexes[t].size()) << t.toStdString();
    for (size_t i = 0; i < now.size(); ++i) EXPECT_EQ(now[i].szName, indexes[t][i].szName);
  }
  // The indexes work: a key found through the primary index.
  TTable client;
  client.SetDatabaseName(DataPath);
  client.SetTableName("CLIENT.DB");
  client.Open();
  EXPECT_TRUE(client.Locate("Id", QString("0002")));
  EXPECT_EQ(client.FieldByName("Nom")->AsString(), "MARTIN");
}

TEST_F(MaintTest, AFileThatCannotBeDeletedStopsBeforeTheCheck) {
  FillSample();
  QDir().mkpath(DataPath + "CLIENT.X09");  // a folder: it cannot be deleted as a file
  WriteFile(DataPath + "CLIENT.DB-journal", QByteArray(600, '\x01'));
  Reindex(ApplicationCheck(), DataPath);
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_EQ(dlg->Messages()[0], "Impossible de supprimer : \r- " + DataPath + "CLIENT.X09\r");
  // What could be deleted is gone; the engine's journal stays; the check did not run.
  EXPECT_FALSE(QFileInfo::exists(DataPath + "CLIENT.PX"));
  EXPECT_FALSE(QFileInfo::exists(DataPath + "Titre.X02"));
  EXPECT_TRUE(QFileInfo::exists(DataPath + "CLIENT.DB-journal"));
  EXPECT_TRUE(QFileInfo::exists(DataPath + "CLIENT.DB"));
  QFile::remove(DataPath + "CLIENT.DB-journal");
  QDir(DataPath + "CLIENT.X09").removeRecursively();
  Reindex(ApplicationCheck(), DataPath);
  EXPECT_TRUE(QFileInfo::exists(DataPath + "CLIENT.PX"));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
}

TEST_F(MaintTest, ReindexingIsRefusedWhileATableIsOpen) {
  FillSample();
  TTable open;
  open.SetDatabaseName(DataPath);
  open.SetTableName("Titre.DB");
  open.Open();
  const auto before = Snapshot();
  Reindex(ApplicationCheck(), DataPath);
  EXPECT_EQ(Snapshot(), before);
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("Réindexation impossible : ces tables sont ouvertes : TITRE.DB"));
}

// A read-only data folder: one line for the folder, in the structure check's words, and what the
// reindexing could not do; no file is touched and nothing claims success.
TEST_F(MaintTest, AReadOnlyDataFolderIsNamedOnceAndNothingChanges) {
  FillSample();
  const auto before = Snapshot();
  {
    ReadOnlyFolder readOnly(DataPath);
    Reindex(ApplicationCheck(), DataPath);
  }
  EXPECT_EQ(Snapshot(), before);
  ASSERT_EQ(dlg->Messages().size(), 1) << dlg->Messages().join("|").toStdString();
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
  const QString text = dlg->Messages()[0];
  const QString folder = QDir::toNativeSeparators(QDir(DataPath).absolutePath());
  EXPECT_EQ(text, "Le dossier des données " + folder +
                      " ne peut pas être écrit (lecture seule ou droits insuffisants).\r"
                      "Les index n'ont pas été supprimés ni reconstruits : rien n'a été modifié.");
  EXPECT_FALSE(text.contains(".PX")) << text.toStdString();
  EXPECT_FALSE(text.contains("Impossible de supprimer")) << text.toStdString();
}

// Values the fields cannot hold, written by another tool, with a column of its own: the rebuild is
// refused, but the table gets its indexes back as it stands, and the box says both.
TEST_F(MaintTest, ATableWhoseRebuildIsRefusedIsStillReindexed) {
  FillSample();
  const std::vector<std::array<QString, 3>> cases = {
      {"Disto.DB", "UPDATE Disto SET Qte_Prise = 3000000000 WHERE rowid = 1; ALTER TABLE Disto ADD COLUMN Zz INTEGER",
       "champ Qte_Prise, fiche 1 : la valeur 3000000000"},
      // A table made before the tables checked their types.
      {"Disto.DB", "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, ') STRICT', ')') WHERE name = 'Disto';"
                   "PRAGMA writable_schema = RESET; UPDATE Disto SET Qte_Prise = 'douze' WHERE rowid = 1",
       "champ Qte_Prise, fiche 1 : le texte « douze »"},
      {"VCR.DB", "UPDATE VCR SET Montant = 1e300 WHERE rowid = 1; ALTER TABLE VCR ADD COLUMN Zz INTEGER",
       "champ Montant, fiche 1 : la valeur 1e+300"},
  };
  for (const auto& [table, sql, named] : cases) {
    SCOPED_TRACE(sql.toStdString());
    const QString file = DataPath + table, base = DataPath + table.section('.', 0, 0);
    Sqlite(file, sql);
    const int rows = Count("SELECT COUNT(*) FROM " + table);
    for (int run = 0; run < 2; ++run) {  // the reindexing, then a check of the table as left
      dlg->Clear();
      if (run == 0) {
        Reindex(ApplicationCheck(), DataPath);
      } else {
        RunDatabaseCheck(DataPath);
      }
      ASSERT_EQ(dlg->Messages().size(), 1);
      const QString box = dlg->Messages()[0];
      EXPECT_TRUE(box.contains(table + " : une valeur que son champ ne peut pas contenir")) << box.toStdString();
      EXPECT_TRUE(box.contains(named)) << box.toStdString();
      // A later check finds the indexes whole: the table is unchanged then.
      EXPECT_EQ(box.contains("Ses fiches et ses champs restent tels quels ; ses index ont été reconstruits."), run == 0)
          << box.toStdString();
      EXPECT_EQ(box.contains("la table est laissée telle quelle"), run == 1) << box.toStdString();
      EXPECT_TRUE(QFileInfo::exists(base + ".PX"));
      EXPECT_EQ(Dbi::ProbeTable(DataPath, table, false), DBIERR_NONE);
      ASSERT_EQ(Dbi::GetIndexDescs(DataPath, table).size(), 1u);
      EXPECT_TRUE(Dbi::GetIndexDescs(DataPath, table)[0].bPrimary);
      EXPECT_FALSE(Dbi::GetIndexDescs(DataPath, table)[0].bOutOfDate);
      EXPECT_EQ(Count("SELECT COUNT(*) FROM " + table), rows);
    }
    // Put right, the table is rebuilt as the schema gives it.
    Sqlite(file, table == "VCR.DB" ? "UPDATE VCR SET Montant = 10.5 WHERE rowid = 1"
                                   : "UPDATE Disto SET Qte_Prise = 5 WHERE rowid = 1");
    ApplicationCheck().SetCorrectPath(DataPath);
    ApplicationCheck().Check();
    EXPECT_TRUE(ApplicationCheck().Errors().isEmpty()) << ApplicationCheck().Errors().join('\n').toStdString();
  }
}

// The description of the takings' fields emptied, a table file another program overwrote: the
// first is described again from its rows table and reindexed, the second named in the box.
TEST_F(MaintTest, ReindexingNamesEveryTableItCouldNotReindex) {
  FillSample();
  const QStringList takings = Rows("SELECT * FROM Disto.DB ORDER BY DateJ, Id_Client");
  Sqlite(DataPath + "Disto.DB", "DELETE FROM zelm_fields");
  ASSERT_TRUE(testdata::WriteNoise(DataPath + "Ha.DB", 0, 4096));
  Reindex(ApplicationCheck(), DataPath);
  ASSERT_EQ(dlg->Messages().size(), 1);
  const QString box = dlg->Messages()[0];
  EXPECT_TRUE(box.contains("Ces tables n'ont pas pu être lues ; leurs index n'ont pas été reconstruits :\rHa.DB : "))
      << box.toStdString();
  EXPECT_TRUE(box.contains("Disto.DB : la description de la table dans son fichier manquait")) << box.toStdString();
  EXPECT_FALSE(box.contains("Disto.DB : Ce n'est pas")) << box.toStdString();
  EXPECT_TRUE(QFileInfo::exists(DataPath + "Disto.PX"));
  EXPECT_EQ(Dbi::ProbeTable(DataPath, "Disto.DB", false), DBIERR_NONE);
  EXPECT_EQ(Rows("SELECT * FROM Disto.DB ORDER BY DateJ, Id_Client"), takings);
}
