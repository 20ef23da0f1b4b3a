// The restore: the archive chooser, changed data coming back, and archives that must change
// nothing in the data folder.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUuid>

#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/URestorFiles.h"
#include "maintenance/USaveRestore.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/sys/Files.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "schema/SchemaTables.h"
#include "../schema/CheckEvents.h"
#include "platform/db/DbiStructure.h"
#include "shell/global.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <tuple>

namespace {

QStringList Names(QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  return out;
}

}  // namespace

class RestoreTest : public MaintTest {
 protected:
  // A backup of the data folder as it is now.
  QString Backup(const QString& name = "ZELM.zip") {
    const QString out = dir.Path() + "sauve/";
    QDir().mkpath(out);
    TZipArchiver zip;
    zip.Unattended = true;
    EXPECT_TRUE(WriteTablesArchive(zip, DataPath, out + name, false));
    return out + name;
  }
  // Runs the restore window on an archive, answering yes to every question and typing the
  // passwords into the password dialogs.
  void Restore(const QString& archive, const QStringList& passwords = {}) {
    TfrmSaveRestore f;
    SetRestoreMode(&f);
    f.show();
    dlg->QueueAnswer(ModalResult::Yes);
    dlg->QueueModal([archive](QWidget* w) {
      auto* c = static_cast<TfrmRestorFiles*>(w);
      c->SetDirectory(ExtractFilePath(archive));
      for (int i = 0; i < c->myListView->topLevelItemCount(); ++i)
        if (c->myListView->topLevelItem(i)->text(0) == ExtractFileName(archive))
          c->myListView->setCurrentItem(c->myListView->topLevelItem(i));
      if (c->myListView->selectedItems().isEmpty()) c->FileName = archive;  // a name the list does not offer
      else QTest::mouseClick(c->btnOk, Qt::LeftButton);
      return ModalResult::OK;
    });
    for (const QString& pw : passwords)
      dlg->QueueModal([pw](QWidget* w) {
        static_cast<TPasswordDlg*>(w)->Edit1->setText(pw);
        return ModalResult::OK;
      });
    dlg->QueueAnswer(ModalResult::Yes);
    QTest::mouseClick(f.btnRestore, Qt::LeftButton);
    EXPECT_TRUE(f.btnRestore->isEnabled());
    EXPECT_TRUE(f.btnClose->isEnabled());
  }
  QString LastMessage() { return dlg->Messages().value(dlg->Messages().size() - 1); }
  void ExpectEachRefused(const std::vector<std::pair<QString, QString>>& cases, const QString& folder);
};


TEST_F(RestoreTest, TheListShowsTheBackupsNewestFirst) {
  const QString folder = dir.Path() + "sauve/";
  const QDateTime t0(QDate(2026, 12, 1), QTime(18, 0));
  int i = 0;
  for (const char* n : {"ZELM.zip", "ZELM_0.zip", "ZELM_1.zip", "ZELM_10.zip", "autre.zip", "ZELM_2.txt"}) {
    WriteFile(folder + n, "x");
    SetMTime(folder + n, t0.addSecs(60 * i++));
  }
  SetMTime(folder + "ZELM.zip", t0.addDays(-1));
  TfrmRestorFiles f;
  f.show();
  EXPECT_EQ(f.windowTitle(), "Restaurer");
  EXPECT_EQ(f.Directory(), DataPath);
  f.SetDirectory(folder);
  // A run of "?" before the extension may match fewer characters: "ZELM.zip" is offered too.
  EXPECT_EQ(Names(f.myListView), (QStringList{"ZELM_1.zip", "ZELM_0.zip", "ZELM.zip"}));
  EXPECT_EQ(f.myListView->topLevelItem(0)->text(1), "01/12/2026 18:02:00");

  EXPECT_FALSE(f.btnOk->isEnabled());
  f.btnOkClick();
  EXPECT_EQ(dlg->Messages(), QStringList{"Veuillez sélectionner un fichier SVP !"});
  EXPECT_TRUE(f.isVisible());
  f.myListView->setCurrentItem(f.myListView->topLevelItem(1));
  EXPECT_TRUE(f.btnOk->isEnabled());
  EXPECT_TRUE(f.mnSelectionner->isEnabled());
  QTest::mouseClick(f.btnOk, Qt::LeftButton);
  EXPECT_EQ(f.FileName, folder + "ZELM_0.zip");
  EXPECT_EQ(f.FileDate, "01/12/2026 18:01:00");
  EXPECT_EQ(GetModalResult(&f), ModalResult::OK);
}

TEST_F(RestoreTest, ChangedDataComeBack) {
  FillSample();
  const QString archive = Backup();
  Exec("UPDATE CLIENT.DB SET Nom = 'DURAND' WHERE Id = '0001'");
  Exec("DELETE FROM Disto.DB");
  ASSERT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 0);
  WriteFile(DataPath + "CLIENT.DB-journal", QByteArray(512, '\x01'));
  dlg->Clear();
  Restore(archive);
  EXPECT_EQ(dlg->Messages(),
            (QStringList{"Etes-vous sûr de vouloir procéder à la restauration ?",
                         "Toutes les données actuelles seront remplacées par celles contenues dans les fichiers "
                         "sélectionnés !\r\rProcéder à la restauration ?"}));
  EXPECT_EQ(Rows("SELECT Nom FROM CLIENT.DB ORDER BY Id"), (QStringList{"DUPONT", "MARTIN"}));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  EXPECT_FALSE(QFileInfo::exists(DataPath + "CLIENT.DB-journal"));
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
  // The restored tables take new rows as before.
  AddRow("CLIENT.DB", {"0003", 3, "BERNARD"});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 3);
}

TEST_F(RestoreTest, DamagedAndHostileArchivesChangeNothing) {
  FillSample();
  const QString good = Backup();
  const QByteArray client = ReadFile(DataPath + "CLIENT.DB");
  const QString folder = dir.Path() + "hostile/";
  QDir().mkpath(folder);
  const QString abs = "/tmp/zelm-restore-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".DB";

  // A backup with bytes changed inside the takings' data, and one cut in half.
  QByteArray damaged = ReadFile(good);
  const int name = damaged.indexOf("Disto.DB");  // in the entry's local header, 30 bytes in
  const int extra = uchar(damaged[name - 2]) | uchar(damaged[name - 1]) << 8;
  const int at = name + 8 + extra + 10;
  for (int i = 0; i < 16; ++i) damaged[at + i] = char(damaged[at + i] ^ 0x5A);
  WriteFile(folder + "abime.zip", damaged);
  WriteFile(folder + "coupe.zip", ReadFile(good).left(ReadFile(good).size() / 2));
  MakeArchive(folder + "remonte.zip", {{"CLIENT.DB", client}, {"../x.DB", "climb"}});
  MakeArchive(folder + "absolu.zip", {{"CLIENT.DB", client}, {abs, "absolute"}});
  MakeArchive(folder + "lecteur.zip", {{"CLIENT.DB", client}, {"C:/Titre.DB", "drive"}});
  MakeArchive(folder + "lien.zip", {{"CLIENT.DB", client}, {"@Titre.DB", "/etc/passwd"}});
  MakeArchive(folder + "sanstable.zip", {{"notes.txt", "rien"}});
  MakeArchive(folder + "double.zip", {{"CLIENT.DB", client}, {"client.db", "autre"}});
  MakeArchive(folder + "deuxdossiers.zip", {{"Data/CLIENT.DB", client}, {"Vieux/Data/CLIENT.DB", client}});
  // Two sound tables, one name in two cases: which one is meant cannot be told.
  MakeArchive(folder + "casse.zip", {{"Data/CLIENT.DB", client}, {"Vieux/Data/client.db", client}});
  // A sound table file holding another table: the payments under the takings' name.
  MakeArchive(folder + "autretable.zip", {{"CLIENT.DB", client}, {"Disto.DB", ReadFile(DataPath + "VCR.DB")}});

  AddRow("CLIENT.DB", {"0003", 3, "BERNARD"});  // a restored client table shows
  const auto before = Snapshot();
  for (const char* name : {"abime.zip", "coupe.zip", "remonte.zip", "absolu.zip", "lecteur.zip", "lien.zip",
                           "sanstable.zip", "double.zip", "deuxdossiers.zip", "casse.zip", "autretable.zip"}) {
    SCOPED_TRACE(name);
    dlg->Clear();
    Restore(folder + name);
    EXPECT_EQ(Snapshot(), before);
    // One box after the two questions, saying what is wrong and that nothing changed.
    EXPECT_EQ(dlg->Messages().size(), 3) << dlg->Messages().join(" | ").toStdString();
    EXPECT_TRUE(LastMessage().endsWith("Aucune donnée n'a été modifiée.")) << LastMessage().toStdString();
    // The component's own words about an archive it cannot read are in that box.
    if (QString(name) == "coupe.zip") {
      EXPECT_TRUE(LastMessage().contains("n'a pas un format ZIP correct")) << LastMessage().toStdString();
    }
    if (QString(name) == "casse.zip") {
      EXPECT_TRUE(LastMessage().contains("deux fois le fichier")) << LastMessage().toStdString();
    }
    if (QString(name) == "autretable.zip") {
      EXPECT_EQ(LastMessage(), "Le fichier Disto.DB de l'archive ne contient pas la table Disto.DB mais la table "
                               "VCR.DB. Aucune donnée n'a été modifiée.");
    }
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  EXPECT_FALSE(QFileInfo::exists(abs));
  EXPECT_FALSE(QFileInfo::exists(AppPath + "Temp/x.DB"));
  EXPECT_FALSE(QFileInfo::exists(AppPath + "x.DB"));
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

// The restore's own test of an entry's name, whatever the zip library already refuses.
TEST(RestorePaths, ANameLeavesTheFolderByAnyOfItsPartsNotByDotsInAName) {
  for (const char* name : {"../x", "Data/../../CLIENT.DB", "a/b/../../../c", "C:x", "/abs", "\\abs",
                           "Data\\..\\..\\x"})
    EXPECT_TRUE(LeavesFolder(name)) << name;
  for (const char* name : {"Data/CLIENT.DB", "..x/CLIENT.DB", "Data/..CLIENT.DB"}) EXPECT_FALSE(LeavesFolder(name)) << name;
}

namespace {

// The bytes of a table file after SQL run on a copy of it by another tool, outside the engine.
QByteArray Altered(const QString& file, const QString& folder, const QString& sql) {
  const QString copy = folder + "altered-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".DB";
  QFile::copy(file, copy);
  testdata::Sqlite(copy, sql);
  const QByteArray out = ReadFile(copy);
  QFile::remove(copy);
  return out;
}

}  // namespace

// Each Disto.DB altered by its SQL, restored alone: refused for its reason, nothing changed.
void RestoreTest::ExpectEachRefused(const std::vector<std::pair<QString, QString>>& cases, const QString& folder) {
  const QByteArray px = ReadFile(DataPath + "Disto.PX");
  const auto before = Snapshot();
  for (const auto& [sql, why] : cases) {
    SCOPED_TRACE(sql.toStdString());
    MakeArchive(folder + "ZELM.zip", {{"Disto.DB", Altered(DataPath + "Disto.DB", folder, sql)}, {"Disto.PX", px}});
    dlg->Clear();
    Restore(folder + "ZELM.zip");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(LastMessage().toStdString(), ("Le fichier Disto.DB de l'archive " + why + ". Aucune donnée n'a été modifiée.").toStdString());
  }
}

TEST_F(RestoreTest, TableFilesHoldingOtherThanTheSchemaSaysAreRefused) {
  FillSample();
  const QString folder = dir.Path() + "alteree/";
  QDir().mkpath(folder);
  const QString disto = DataPath + "Disto.DB";
  const QByteArray px = ReadFile(DataPath + "Disto.PX");
  const QString key = "CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)";
  const std::vector<std::pair<QString, QString>> cases = {
      {"CREATE TRIGGER zz AFTER INSERT ON Disto BEGIN DELETE FROM Disto WHERE DateJ <> NEW.DateJ; END",
       "contient aussi le déclencheur « zz », que le schéma ne décrit pas"},
      {"CREATE VIEW zv AS SELECT * FROM Disto", "contient aussi la vue « zv », que le schéma ne décrit pas"},
      {"CREATE TABLE zt(x)", "contient aussi la table « zt », que le schéma ne décrit pas"},
      {"CREATE INDEX zi ON Disto(PU)", "contient aussi l'index « zi », que le schéma ne décrit pas"},
      {"DROP INDEX zx_1", "n'a pas l'index primaire que le schéma donne à la table Disto.DB"},
      {"DROP INDEX zx_1; CREATE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)",
       "n'est pas tel que le programme l'écrit (table Disto) : l'index primaire du fichier n'est pas celui que donne "
       "sa description"},
      // A key stored twice under an index made unique behind SQLite's back.
      {"DROP INDEX zx_1; INSERT INTO Disto SELECT * FROM Disto WHERE rowid <= 2;"
       "CREATE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre); PRAGMA writable_schema = ON;"
       "UPDATE sqlite_master SET sql = '" + key + "' WHERE name = 'zx_1'",
       "contient 2 valeurs de l'index primaire figurant sur plusieurs fiches"},
  };
  ExpectEachRefused(cases, folder);
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
  // The same file as the program wrote it is restored.
  MakeArchive(folder + "ZELM.zip", {{"Disto.DB", ReadFile(disto)}, {"Disto.PX", px}});
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_TRUE(LastMessage().startsWith("Ces tables n'étaient pas dans l'archive")) << LastMessage().toStdString();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
}

// Another tool changed the table itself, or SQLite's own tables, while the description the file
// carries beside it still reads as the program wrote it.
TEST_F(RestoreTest, ATableFileIsJudgedByTheTableItReallyHolds) {
  FillSample();
  const QString folder = dir.Path() + "alteree/";
  QDir().mkpath(folder);
  const QString key = "CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)";
  const QString stored = "(SELECT sql FROM sqlite_master WHERE name = 'Disto')";
  const QString prefix = "n'est pas tel que le programme l'écrit (table Disto) : ";
  const std::vector<std::pair<QString, QString>> cases = {
      {"CREATE TABLE n(\"DateJ\" TEXT, \"Id_Client\" TEXT, \"Id_Titre\" TEXT, \"Qte_Prise\" INTEGER, \"PU\" REAL,"
       " PRIMARY KEY(DateJ, Id_Client, Id_Titre)) STRICT, WITHOUT ROWID; INSERT INTO n SELECT * FROM Disto;"
       "DROP TABLE Disto; ALTER TABLE n RENAME TO Disto; " + key,
       prefix + "la table a sa propre clé primaire (PRIMARY KEY : DateJ, Id_Client, Id_Titre), "
                "la table est sans numéro de fiche (WITHOUT ROWID)"},
      {"ALTER TABLE Disto RENAME COLUMN PU TO PUx", prefix + "la colonne « PU » que donne sa description manque, la colonne « PUx » n'est pas dans sa description"},
      {"ALTER TABLE Disto ADD COLUMN extra INTEGER CHECK (DateJ < '2026-01-01')",
       prefix + "la colonne « extra » n'est pas dans sa description, la table pose une condition à ses valeurs (CHECK)"},
      {"ALTER TABLE Disto ADD COLUMN g INTEGER GENERATED ALWAYS AS (Qte_Prise) VIRTUAL NOT NULL",
       prefix + "la colonne calculée « g » n'est pas dans sa description"},
      // Through SQLite's own table of definitions: a CHECK calling a function the program lacks, a
      // default of random bytes, a type changed.
      {"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(" + stored +
           ", ') STRICT', ', CHECK (zz_inconnue(PU))) STRICT') WHERE name = 'Disto'",
       prefix + "la table pose une condition à ses valeurs (CHECK)"},
      {"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(" + stored +
           ", '\"PU\" REAL', '\"PU\" REAL DEFAULT (randomblob(2000))') WHERE name = 'Disto'",
       prefix + "la colonne « PU » a une valeur par défaut (randomblob(2000))"},
      {"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(" + stored +
           ", '\"Qte_Prise\" INTEGER', '\"Qte_Prise\" ANY') WHERE name = 'Disto'",
       prefix + "la colonne « Qte_Prise » est de type ANY au lieu du type INTEGER que donne sa description"},
      {"ALTER TABLE zelm_fields ADD COLUMN x INTEGER CHECK (x IS NULL)",
       prefix + "la table de description « zelm_fields » n'est pas celle que le programme crée"},
      // SQLite's own tables, which the engine never makes.
      {"PRAGMA writable_schema = ON; CREATE TABLE sqlite_stat9(a, b); INSERT INTO sqlite_stat9 VALUES(1, 2)",
       "contient aussi la table « sqlite_stat9 », que le schéma ne décrit pas"},
      {"CREATE TABLE a(x INTEGER PRIMARY KEY AUTOINCREMENT); INSERT INTO a VALUES(NULL); DROP TABLE a",
       "contient aussi la table « sqlite_sequence », que le schéma ne décrit pas"},
      // A key index that covers all but one row, declared whole behind SQLite's back.
      {"DROP INDEX zx_1; CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre) WHERE rowid > 1;"
       "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = '" + key + "' WHERE name = 'zx_1'",
       "a un index primaire qui ne couvre pas chacune de ses fiches une fois"},
  };
  ExpectEachRefused(cases, folder);
}

// An index the program made, in a table file of the program, that the schema does not give.
TEST_F(RestoreTest, AnIndexTheSchemaDoesNotGiveIsRefused) {
  FillSample();
  const QString folder = dir.Path() + "index/";
  QDir().mkpath(folder);
  QFile::copy(DataPath + "Disto.DB", folder + "Disto.DB");
  QFile::copy(DataPath + "Disto.PX", folder + "Disto.PX");
  TDbCheck check;
  check.SetCorrectPath(folder);
  QStringList block = ApplicationBlockLines("Disto.DB");
  block.insert(block.size() - 1, "  index(iPU;;1;5;0;0;0;1;1;0;0;;;0;;)");
  check.SetDescriptor(block);
  ASSERT_TRUE(check.Check());
  std::vector<std::pair<QString, QByteArray>> entries;
  for (const QString& n : QDir(folder).entryList({"Disto.*"}, QDir::Files)) entries.push_back({n, ReadFile(folder + n)});
  MakeArchive(folder + "ZELM.zip", entries);
  const auto before = Snapshot();
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(LastMessage(), "Le fichier Disto.DB de l'archive contient l'index iPU, que le schéma ne décrit pas. Aucune "
                           "donnée n'a été modifiée.");
}

// A file holding more objects than a box can show names ten and counts the others.
TEST_F(RestoreTest, ARefusalListsTenObjectsAndCountsTheRest) {
  FillSample();
  const QString folder = dir.Path() + "objets/";
  QDir().mkpath(folder);
  QString sql = "BEGIN;";
  for (int i = 1; i <= 1011; ++i) sql += QString("CREATE TABLE t%1(x);").arg(i, 4, 10, QChar('0'));
  MakeArchive(folder + "ZELM.zip", {{"Disto.DB", Altered(DataPath + "Disto.DB", folder, sql + "COMMIT")},
                                    {"Disto.PX", ReadFile(DataPath + "Disto.PX")}});
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_EQ(LastMessage(), "Le fichier Disto.DB de l'archive contient aussi la table « t0001 », la table « t0002 », "
                           "la table « t0003 », la table « t0004 », la table « t0005 », la table « t0006 », "
                           "la table « t0007 », la table « t0008 », la table « t0009 », la table « t0010 » "
                           "et 1 001 autres, que le schéma ne décrit pas. Aucune donnée n'a été modifiée.");
}

TEST_F(RestoreTest, OnlyTheProgramsFilesAreRestored) {
  FillSample();
  const QString archive = dir.Path() + "notes.zip";
  MakeArchive(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")},
                        {"CLIENT.PX", ReadFile(DataPath + "CLIENT.PX")},
                        {"Titre.DB", ReadFile(DataPath + "Titre.DB")},
                        {"Region.db", ReadFile(DataPath + "Region.db")},
                        {"notes.txt", "à ne pas copier"},
                        {"CLIENTS.DB", "un autre fichier"}});
  Exec("DELETE FROM CLIENT.DB");
  Exec("DELETE FROM Disto.DB WHERE Id_Client = '0001'");
  dlg->Clear();
  Restore(archive);
  // The two questions, no failure, and the tables the archive lacks, which stay as they were.
  EXPECT_EQ(dlg->Messages().size(), 3);
  QStringList untouched = AppTables();
  for (const char* t : {"CLIENT.DB", "Titre.DB", "Region.db"}) ASSERT_TRUE(untouched.removeOne(t)) << t;
  EXPECT_EQ(LastMessage(), "Ces tables n'étaient pas dans l'archive et restent inchangées : " + untouched.join(", ") + ".");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 4);
  EXPECT_FALSE(QFileInfo::exists(DataPath + "notes.txt"));
  EXPECT_FALSE(QFileInfo::exists(DataPath + "CLIENTS.DB"));
}

// Archives of the data folder made by other tools: "zip -r", and 7-Zip's AES (whose entries
// store no CRC), each table stored as "Data/NAME".
TEST_F(RestoreTest, TheDataFolderZippedByOtherToolsRestores) {
  FillSample();
  const QString work = dir.Path() + "outils/", archive = work + "ZELM.zip";
  QDir().mkpath(work + "Data");
  for (const QString& n : QDir(DataPath).entryList(QDir::Files)) QFile::copy(DataPath + n, work + "Data/" + n);
  for (const QStringList& how : {QStringList{"zip", "-r", "-q"}, {"7z", "a", "-tzip", "-mem=AES256", "-pSECRET"},
                                 {"7z", "a", "-tzip", "-mem=AES128", "-pSECRET"},
                                 {"7z", "a", "-tzip", "-mem=AES256", "-mx0", "-pSECRET"}}) {
    SCOPED_TRACE(how.join(' ').toStdString());
    QFile::remove(archive);
    ASSERT_EQ(RunTool(how[0], how.mid(1) + QStringList{archive, "Data"}, work).code, 0);
    Exec("DELETE FROM Disto.DB");
    const bool aes = how[0] == "7z";
    if (aes) {  // a wrong password is asked for once (two questions, the chooser, the password, the box)
      const auto before = Snapshot();
      dlg->Clear();
      Restore(archive, {"faux"});
      EXPECT_EQ(dlg->Asked().size(), 5u);
      EXPECT_TRUE(LastMessage().contains("Mot de passe incorrect")) << LastMessage().toStdString();
      EXPECT_EQ(Snapshot(), before);
    }
    dlg->Clear();
    Restore(archive, aes ? QStringList{"SECRET"} : QStringList());
    EXPECT_EQ(dlg->Messages().size(), 2) << dlg->Messages().join(" | ").toStdString();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  }
}

TEST_F(RestoreTest, ATableOpenInTheProgramIsNotReplaced) {
  FillSample();
  const QString archive = Backup();
  TTable open;
  open.SetDatabaseName(DataPath);
  open.SetTableName("CLIENT.DB");
  open.Open();
  const auto before = Snapshot();
  dlg->Clear();
  Restore(archive);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(LastMessage().contains("CLIENT.DB")) << LastMessage().toStdString();
  EXPECT_TRUE(LastMessage().endsWith("Aucune donnée n'a été modifiée."));
  open.Close();
}

TEST_F(RestoreTest, AMissingArchiveOrCancelStopsBeforeAnyChange) {
  FillSample();
  const auto before = Snapshot();
  TfrmSaveRestore f;
  SetRestoreMode(&f);
  f.show();
  dlg->QueueAnswer(ModalResult::No);
  QTest::mouseClick(f.btnRestore, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages().size(), 1);

  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->QueueModal([&](QWidget* w) {
    static_cast<TfrmRestorFiles*>(w)->FileName = dir.Path() + "absent.zip";
    return ModalResult::OK;
  });
  QTest::mouseClick(f.btnRestore, Qt::LeftButton);
  EXPECT_EQ(LastMessage(), "Le fichier de sauvegarde est introuvable à l'endroit indiqué ! " + dir.Path() +
                               "absent.zip\r");
  EXPECT_EQ(Snapshot(), before);
}

namespace {

// A folder holding the clients' table as an earlier program wrote it: no Ab5, a Nom of 30
// characters (or `nom`), a table that does not check its types (not STRICT), with two clients.
std::vector<std::pair<QString, QByteArray>> EarlierClients(const QString& folder, int nom = 30) {
  QDir().mkpath(folder);
  QStringList block = ApplicationBlockLines("CLIENT.DB");
  block.removeAt(block.indexOf("  field(Ab5;Ab5;7;21;1;0)"));
  block.replaceInStrings("field(Nom;Nom;1;0;40;0)", QString("field(Nom;Nom;1;0;%1;0)").arg(nom));
  TDbCheck check;
  check.SetCorrectPath(folder);
  check.SetDescriptor(block);
  EXPECT_TRUE(check.Check());
  {
    TTable t;
    t.SetDatabaseName(folder);
    t.SetTableName("CLIENT.DB");
    t.Open();
    for (const auto& [id, nom, ab] : {std::tuple{"0001", "ÉPICERIE DU PORT", 0.05}, std::tuple{"0002", "Kiosque Gare", 1.1234}}) {
      t.Append();
      t.FieldByName("Id")->AsString = id;
      t.FieldByName("Nom")->AsString = nom;
      t.FieldByName("Ab0")->AsFloat = ab;
      t.Post();
    }
  }
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(QFile::encodeName(folder + "CLIENT.DB").constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, ') STRICT', ')')"
                             " WHERE name = 'CLIENT'", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::vector<std::pair<QString, QByteArray>> entries;
  for (const QString& n : QDir(folder).entryList({"CLIENT.*"}, QDir::Files)) entries.push_back({n, ReadFile(folder + n)});
  return entries;
}

}  // namespace

// An archive of an earlier version of the program comes back at today's layout, every value
// kept; what a rebuild cannot carry exactly, or a description that is not its table's, is refused
// for that very reason.
TEST_F(RestoreTest, AnEarlierLayoutComesBackAtTodaysWithEveryValue) {
  FillSample();
  const QString folder = dir.Path() + "ancienne/";
  MakeArchive(folder + "ZELM.zip", EarlierClients(folder + "tables/"));
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_TRUE(LastMessage().startsWith("Ces tables n'étaient pas dans l'archive")) << LastMessage().toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(DataPath, "CLIENT.DB").size(), 14u);
  EXPECT_EQ(Dbi::GetFieldDescs(DataPath, "CLIENT.DB")[2].iUnits1, 40);
  EXPECT_TRUE(Dbi::ReadTableFileContents(DataPath, "CLIENT.DB").strict);
  EXPECT_EQ(Value("SELECT Nom FROM CLIENT.DB WHERE Id = '0001'"), "ÉPICERIE DU PORT");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB WHERE Id = '0002' AND Ab0 = 1.1234"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB WHERE Ab5 IS NULL"), 2);
  const auto check = MakeApplicationCheck();
  check->SetCorrectPath(DataPath);
  CheckEvents ev;
  ev.Attach(*check);
  check->Check();
  EXPECT_EQ(ev.AfterOf("CLIENT.DB"), CHK_NONE);

  // Takings of an earlier, not STRICT table holding a text among the quantities; a description
  // that is not its table's.
  const QString loose = folder + "loose.DB";
  WriteFile(loose, Altered(DataPath + "Disto.DB", folder,
                           "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, ') STRICT', ')')"
                           " WHERE name = 'Disto'"));
  const auto before = Snapshot();
  const std::vector<std::pair<QString, QString>> cases = {
      {"UPDATE Disto SET Qte_Prise = 'douze' WHERE rowid = 2",
       "Le fichier Disto.DB de l'archive contient une valeur que son champ ne peut pas contenir : "
       "champ Qte_Prise, fiche 2 : le texte « douze » n'est pas un nombre entier. Aucune donnée n'a été modifiée."},
      {"UPDATE zelm_fields SET name = 'PUx' WHERE name = 'PU'",
       "Le fichier Disto.DB de l'archive n'est pas tel que le programme l'écrit (table Disto) : la colonne « PUx » que "
       "donne sa description manque, la colonne « PU » n'est pas dans sa description. Aucune donnée n'a été modifiée."},
      {"UPDATE zelm_indexes SET keyflds = '1,3,2' WHERE num = 1",
       "Le fichier Disto.DB de l'archive n'est pas tel que le programme l'écrit (table Disto) : l'index primaire du "
       "fichier n'est pas celui que donne sa description. Aucune donnée n'a été modifiée."},
      // Of today's layout, the key there and unique, its description not the schema's.
      {"UPDATE zelm_indexes SET isprimary = 0, tag = 'x' WHERE num = 1",
       "Le fichier Disto.DB de l'archive décrit l'index primaire autrement que le schéma, bien que le fichier ait cet "
       "index tel que le schéma le donne. Aucune donnée n'a été modifiée."},
  };
  for (const auto& [sql, why] : cases) {
    SCOPED_TRACE(sql.toStdString());
    const QString from = sql.contains("tag") ? DataPath + "Disto.DB" : loose;
    MakeArchive(folder + "ZELM.zip", {{"Disto.DB", Altered(from, folder, sql)}, {"Disto.PX", ReadFile(DataPath + "Disto.PX")}});
    dlg->Clear();
    Restore(folder + "ZELM.zip");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(LastMessage().toStdString(), why.toStdString());
  }
  // A Nom wider than today's is no earlier layout, though every name would fit.
  MakeArchive(folder + "ZELM.zip", EarlierClients(folder + "large/", 60));
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(LastMessage().contains("« Nom » a 60 caractères")) << LastMessage().toStdString();
}

// With a umask that keeps new files private, tables kept private come back private.
TEST_F(RestoreTest, RestoredTablesStayAsPrivateAsTheyWere) {
  FillSample();
  for (const QString& n : QDir(DataPath).entryList(QDir::Files)) QFile(DataPath + n).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const QString archive = Backup();
  for (const mode_t mask : {mode_t(077), mode_t(022)}) {
    const mode_t was = ::umask(mask);
    dlg->Clear();
    Restore(archive);
    ::umask(was);
    for (const QString& n : QDir(DataPath).entryList({"*.DB", "*.PX", "*.X??", "*.Y??"}, QDir::Files)) {
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(DataPath + n).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << n.toStdString();
    }
  }
}

// What another tool changed in table files, each file named for what it really holds: values no
// field holds, a description whose fields or indexes differ from its table's, several files at once.
TEST_F(RestoreTest, EveryFileRefusedIsNamedForWhatItReallyHolds) {
  FillSample();
  const QString folder = dir.Path() + "verdicts/";
  QDir().mkpath(folder);
  const std::vector<std::pair<QString, QString>> cases = {
      {"UPDATE Disto SET Qte_Prise = 3000000000 WHERE rowid = 2",
       "contient une valeur que son champ ne peut pas contenir : champ Qte_Prise, fiche 2 : la valeur "
       "3000000000 est hors des limites du champ (-2147483648 à 2147483647)"},
      {"UPDATE zelm_fields SET num = -4 WHERE num = 4; UPDATE zelm_fields SET num = 4 WHERE num = 5;"
       "UPDATE zelm_fields SET num = 5 WHERE num = -4",
       "n'est pas tel que le programme l'écrit (table Disto) : les champs de sa description ne sont pas dans l'ordre "
       "que le programme leur donne (« PU » avant « Qte_Prise »), alors que les colonnes de la table le sont"},
      {"DELETE FROM zelm_indexes",
       "a l'index primaire que le schéma donne à la table Disto.DB, mais sa description des index ne le donne pas"},
  };
  ExpectEachRefused(cases, folder);

  const auto before = Snapshot();
  const QByteArray px = ReadFile(DataPath + "Disto.PX");
  MakeArchive(folder + "ZELM.zip", {{"Disto.DB", Altered(DataPath + "Disto.DB", folder, "DELETE FROM zelm_fields")}, {"Disto.PX", px}});
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_EQ(LastMessage(), "La table Disto.DB de l'archive est inutilisable (la description de ses champs manque). "
                           "Aucune donnée n'a été modifiée.");

  // Three files altered: one box names each, nothing is written.
  MakeArchive(folder + "ZELM.zip",
              {{"Disto.DB", Altered(DataPath + "Disto.DB", folder, "UPDATE zelm_fields SET name = 'PUx' WHERE name = 'PU'")},
               {"Disto.PX", px},
               {"VCR.DB", Altered(DataPath + "VCR.DB", folder, "UPDATE zelm_fields SET type = 6, subtype = 0 WHERE name = 'Montant'")},
               {"Ha.DB", Altered(DataPath + "Ha.DB", folder, "ALTER TABLE Ha ADD COLUMN x INTEGER")},
               {"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")}});
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(LastMessage().toStdString(),
            "Le fichier Disto.DB de l'archive n'est pas tel que le programme l'écrit (table Disto) : la colonne « PUx » "
            "que donne sa description manque, la colonne « PU » n'est pas dans sa description.\n"
            "Le fichier VCR.DB de l'archive n'est pas tel que le programme l'écrit (table VCR) : la colonne « Montant » "
            "est de type REAL au lieu du type INTEGER que donne sa description.\n"
            "Le fichier Ha.DB de l'archive n'est pas tel que le programme l'écrit (table Ha) : la colonne « x » n'est "
            "pas dans sa description. Aucune donnée n'a été modifiée.");

  // Takings made before STRICT holding a text SQLite's own check calls of another kind: no page
  // is damaged, and the quantity comes back as the number it is.
  const QString declared = "(SELECT sql FROM sqlite_master WHERE name = 'Disto')";
  const QString loose = folder + "loose.DB";
  WriteFile(loose, Altered(DataPath + "Disto.DB", folder,
                           "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(replace(" + declared +
                               ", ') STRICT', ')'), '\"Qte_Prise\" INTEGER', '\"Qte_Prise\" BLOB') WHERE name = 'Disto'"));
  WriteFile(loose, Altered(loose, folder, "UPDATE Disto SET Qte_Prise = '12' WHERE rowid = 2"));
  MakeArchive(folder + "ZELM.zip", {{"Disto.DB", Altered(loose, folder, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET "
                                                                        "sql = replace(" + declared + ", '\"Qte_Prise\" BLOB', "
                                                                        "'\"Qte_Prise\" INTEGER') WHERE name = 'Disto'")},
                                    {"Disto.PX", px}});
  dlg->Clear();
  Restore(folder + "ZELM.zip");
  EXPECT_TRUE(LastMessage().startsWith("Ces tables n'étaient pas dans l'archive")) << LastMessage().toStdString();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB WHERE Qte_Prise = 12"), 1);
}
