// The windows meet the files an operator's machine leaves behind: garbage tables, lost index
// files, files that cannot be written, journals of a crashed write.
#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RefFixture.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/Transaction.h"
#include "platform/ui/DBGrids.h"
#include "refdata/Register.h"
#include "refdata/UClient.h"
#include "refdata/UTitres.h"
#include "schema/AppSchema.h"
#include "shell/UMain.h"
#include "shell/global.h"

namespace {
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void WriteAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

// A child process empties every table of the file, has its changes written to the file, and
// dies before its commit. Returns the child's exit code (0 when it got that far).
int CrashMidWrite(const QString& path) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) _exit(2);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'zelm%'", -1, &s,
                       nullptr);
    QStringList tables;
    while (sqlite3_step(s) == SQLITE_ROW) tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    for (const QString& t : tables)
      if (sqlite3_exec(db, ("DELETE FROM \"" + t + "\"").toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        _exit(3);
    if (sqlite3_db_cacheflush(db) != SQLITE_OK) _exit(4);
    _exit(tables.isEmpty() ? 5 : 0);  // no commit, no clean-up
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class BadFilesTest : public RefDataTest {
 protected:
  BadFilesTest() {
    RegisterRefDataWindows();
    AddRow("Region.db", {"01", "NORD"});
    AddRow("Site.DB", {"A", "CENTRE"});
    AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
    AddRow("CLIENT.DB", {"0002", 2, "MARTIN", QVariant(), QVariant(), QVariant(), "A", "01"});
  }
  // Starts over on the application's own empty tables, so that the check finds nothing else to change.
  void FreshApplicationTables() {
    QDir(DataPath).removeRecursively();
    QDir().mkpath(DataPath);
    CreateApplicationTables(ApplicationCheck(), DataPath);
  }
  // Opens a window from the main window's opener; reports whether it was shown, and closes it.
  bool OpenAndClose(const QString& key) {
    bool shown = false;
    dlg->QueueModal([&](QWidget* w) {
      shown = true;
      EXPECT_TRUE(w->isVisible());
      w->close();
      return ModalResult::Cancel;
    });
    EXPECT_TRUE(TfrmMain::OpenWindow(key));
    return shown;
  }
  // Posts the client typed after the two of the fixture: stored without a word, the window
  // counting three.
  void PostThirdClient(TfrmClient& w) {
    Click(w.btnPost);
    EXPECT_EQ(dlg->Messages(), QStringList());
    EXPECT_EQ(w.Client.State(), dsBrowse);
    EXPECT_EQ(w.stBar->Panels[1]->text(), "3  Clients");
    w.close();
    EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"),
              (QStringList{"0001|DUPONT", "0002|MARTIN", "0003|DURAND"}));
  }
  QString ErrorText() {
    for (const AskedDialog& a : dlg->Asked())
      if (a.kind != "modal" && a.type == MsgDlgType::Error) return a.text;
    return {};
  }
};
}  // namespace

TEST_F(BadFilesTest, AGarbageTableIsReportedAndTheWindowIsNotLeftHalfOpen) {
  for (const QString& file : {QString("CLIENT.DB"), QString("Titre.DB")}) {
    const QString key = file == "CLIENT.DB" ? WindowKey::Client : WindowKey::Titres;
    const QString path = DataPath + file;
    const QByteArray good = ReadAll(path);
    const QList<QByteArray> bad = {QByteArray("Ceci n'est pas une table.\r\nDUPONT;MARTIN\r\n"),
                                   good.left(good.size() / 3), QByteArray(),
                                   // another table copied over this one
                                   ReadAll(DataPath + "Region.db"), ReadAll(DataPath + "TLISTE.DB")};
    for (const QByteArray& garbage : bad) {
      SCOPED_TRACE(file.toStdString() + " of " + std::to_string(garbage.size()) + " bytes");
      WriteAll(path, garbage);
      dlg->Clear();
      const bool shown = OpenAndClose(key);
      const QString error = ErrorText();
      if (!shown) {
        EXPECT_FALSE(error.isEmpty());
      }
      if (!error.isEmpty()) {
        EXPECT_TRUE(error.contains(file.section('.', 0, 0), Qt::CaseInsensitive)) << error.toStdString();
      }
      // The window does not linger behind.
      for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
      // Nothing is left holding a table open behind the operator's back.
      for (const QString& t : QDir(DataPath).entryList({"*.db"}, QDir::Files)) EXPECT_FALSE(Dbi::IsTableInUse(DataPath, t)) << t.toStdString();
    }
    WriteAll(path, good);
  }
  // With the table back the windows work again.
  EXPECT_TRUE(OpenAndClose(WindowKey::Client));
}

TEST_F(BadFilesTest, ALostOrGarbageIndexFileLeavesTheWindowWorkingAndTheCheckRebuildsIt) {
  FreshApplicationTables();
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  AddRow("CLIENT.DB", {"0002", 2, "MARTIN", QVariant(), QVariant(), QVariant(), "A", "01"});
  AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
  const QStringList companions = QDir(DataPath).entryList({"CLIENT.*"}, QDir::Files);
  ASSERT_TRUE(companions.contains("CLIENT.PX"));
  ASSERT_TRUE(companions.contains("CLIENT.X02"));

  QFile::remove(DataPath + "CLIENT.X02");
  WriteAll(DataPath + "CLIENT.PX", "\x01\x02garbage\xff");
  dlg->Clear();
  {
    TfrmClient w;
    Activate(&w);
    EXPECT_EQ(w.Client.RecordCount(), 2);
    EXPECT_EQ(w.stBar->Panels[1]->text(), "2  Clients");
    Click(w.chkTri);  // the order by name asks for an index that is gone: said, not a crash
    w.close();
    EXPECT_FALSE(w.isVisible());
  }
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  ASSERT_FALSE(dlg->Messages().isEmpty());
  EXPECT_EQ(dlg->Messages().last(), "Contrôle terminé !");
  EXPECT_TRUE(QFile::exists(DataPath + "CLIENT.X02"));
  EXPECT_NE(ReadAll(DataPath + "CLIENT.PX").left(4), QByteArray("\x01\x02ga"));

  dlg->Clear();
  TfrmClient w;
  Activate(&w);
  EXPECT_EQ(w.Client.RecordCount(), 2);
  Click(w.chkTri);
  EXPECT_EQ(ErrorText(), "");
  w.Client.First();
  EXPECT_EQ(w.Client.FieldByName("Nom")->AsString(), "DUPONT");
  w.close();
}

TEST_F(BadFilesTest, AClientThatCannotBeWrittenStaysInEditAndTheErrorIsShown) {
  {
    TfrmClient w;
    Activate(&w);
    dlg->Clear();
    TypeNewClient(w, "DURAND");
    const QString code = w.edCode->text();
    ASSERT_EQ(code, "0003");
    if (geteuid() == 0) {
      // Permissions do not hold for root: the journal's place taken by a folder blocks the write.
      ASSERT_TRUE(QDir().mkdir(DataPath + "CLIENT.DB-journal"));
    } else {
      QFile::setPermissions(DataPath + "CLIENT.DB", QFile::ReadOwner);
      QFile::setPermissions(DataPath, QFile::ReadOwner | QFile::ExeOwner);
    }
    Click(w.btnPost);
    ASSERT_EQ(dlg->Messages().size(), 1);
    EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
    EXPECT_EQ(w.Client.State(), dsInsert);
    EXPECT_EQ(w.edRs->text(), "DURAND");
    EXPECT_EQ(w.edCode->text(), code);
    // Closing tries to store it too: the window stays open with the record.
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(dlg->Messages().size(), 2);
    EXPECT_EQ(w.Client.State(), dsInsert);
    dlg->Clear();
    // Once the file can be written again the same record goes in.
    QFile::setPermissions(DataPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(DataPath + "CLIENT.DB", QFile::ReadOwner | QFile::WriteOwner);
    QDir().rmdir(DataPath + "CLIENT.DB-journal");
    PostThirdClient(w);
  }
}

TEST_F(BadFilesTest, TheJournalOfAWriteCutShortIsRolledBackAtTheNextOpen) {
  // Another program dies in the middle of a write: the file is half-changed and its journal is
  // left beside it.
  const QString path = DataPath + "CLIENT.DB";
  const QByteArray before = ReadAll(path);
  ASSERT_EQ(CrashMidWrite(path), 0);
  ASSERT_TRUE(QFile::exists(path + "-journal"));
  ASSERT_NE(ReadAll(path), before);  // the file itself was changed
  const QByteArray journal = ReadAll(path + "-journal");
  const QByteArray changed = ReadAll(path);

  {
    TfrmClient w;
    Activate(&w);
    EXPECT_EQ(w.Client.RecordCount(), 2);
    EXPECT_EQ(w.stBar->Panels[1]->text(), "2  Clients");
    w.close();
  }
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT", "0002|MARTIN"}));
  EXPECT_FALSE(QFile::exists(path + "-journal"));
  // A journal of garbage, or one cut short, beside a sound file changes nothing.
  for (const QByteArray& bad : {QByteArray("garbage journal"), journal.left(journal.size() / 2), journal.left(700)}) {
    WriteAll(path + "-journal", bad);
    TfrmClient w;
    Activate(&w);
    EXPECT_EQ(w.Client.RecordCount(), 2);
    w.close();
  }
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT", "0002|MARTIN"}));
  (void)changed;
}

TEST_F(BadFilesTest, IndexFilesLostWhileTheWindowIsOpenLoseNoClient) {
  FreshApplicationTables();
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  AddRow("CLIENT.DB", {"0001", 1, "MARTIN", QVariant(), QVariant(), QVariant(), "A", "01"});
  {
    TfrmClient w;
    Activate(&w);
    for (const QString& n : QDir(DataPath).entryList({"CLIENT.X*", "CLIENT.Y*"}, QDir::Files))
      QFile::remove(DataPath + n);
    WriteAll(DataPath + "CLIENT.PX", "garbage");
    dlg->Clear();
    TypeNewClient(w, "DUPONT");
    Click(w.btnPost);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(w.Client.State(), dsBrowse);
    Click(w.chkTri);
    Click(w.chkTri);
    dlg->Clear();
    RunDatabaseCheck(DataPath);  // the window still has the table open
    ASSERT_FALSE(dlg->Messages().isEmpty());
    // Its index files cannot be rebuilt under it: the check must not call the table sound.
    EXPECT_TRUE(dlg->Messages().last().contains("CLIENT")) << dlg->Messages().last().toStdString();
    w.close();
  }
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|MARTIN", "0002|DUPONT"}));
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  EXPECT_EQ(dlg->Messages(), QStringList{"Contrôle terminé !"});
  EXPECT_TRUE(QFile::exists(DataPath + "CLIENT.X02"));
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|MARTIN", "0002|DUPONT"}));
}

TEST_F(BadFilesTest, EveryReferenceWindowSurvivesEveryGarbageTable) {
  const QStringList keys = {WindowKey::Region, WindowKey::Site,  WindowKey::Imprim, WindowKey::Client,
                            WindowKey::Titres, WindowKey::OrgaD, WindowKey::Liste};
  for (const QString& file : QDir(DataPath).entryList({"*.db"}, QDir::Files)) {
    const QString path = DataPath + file;
    const QByteArray good = ReadAll(path);
    const QString other = file.compare("TLISTE.DB", Qt::CaseInsensitive) ? "TLISTE.DB" : "Region.db";
    for (const QByteArray& bad : {good.left(good.size() / 2), ReadAll(DataPath + other)})
    for (const QString& key : keys) {
      WriteAll(path, bad);
      SCOPED_TRACE(file.toStdString() + " / " + key.toStdString() + " / " + std::to_string(bad.size()));
      dlg->Clear();
      const bool shown = OpenAndClose(key);
      if (!shown) {
        EXPECT_FALSE(ErrorText().isEmpty());
      }
      for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
      // Nothing is left holding a table open behind the operator's back.
      for (const QString& t : QDir(DataPath).entryList({"*.db"}, QDir::Files)) EXPECT_FALSE(Dbi::IsTableInUse(DataPath, t)) << t.toStdString();
    }
    WriteAll(path, good);
  }
  for (const QString& key : keys) EXPECT_TRUE(OpenAndClose(key)) << key.toStdString();

}

TEST_F(BadFilesTest, TheCheckLeavesADamagedTableAloneAndSaysSo) {
  FreshApplicationTables();
  AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
  const QByteArray good = ReadAll(DataPath + "CLIENT.DB");
  const QByteArray damaged = good.left(good.size() / 2);
  WriteAll(DataPath + "CLIENT.DB", damaged);
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  ASSERT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Warning);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("Contrôle terminé !\n\n"));
  EXPECT_TRUE(dlg->Messages()[0].contains("CLIENT")) << dlg->Messages()[0].toStdString();
  EXPECT_EQ(ReadAll(DataPath + "CLIENT.DB"), damaged);  // what may still be saved from it stays

  WriteAll(DataPath + "CLIENT.DB", good);
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  EXPECT_EQ(dlg->Messages(), QStringList{"Contrôle terminé !"});
}

TEST_F(BadFilesTest, AnIndexFileReplacedByAFolderIsReportedAndNoClientIsLost) {
  FreshApplicationTables();
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
  ASSERT_TRUE(QFile::remove(DataPath + "CLIENT.X02"));
  ASSERT_TRUE(QDir().mkdir(DataPath + "CLIENT.X02"));
  dlg->Clear();
  EXPECT_TRUE(OpenAndClose(WindowKey::Client));
  dlg->Clear();
  try {
    RunDatabaseCheck(DataPath);
  } catch (const Exception& e) {
    ADD_FAILURE() << e.Message().toStdString();
  }
  ASSERT_FALSE(dlg->Messages().isEmpty());
  EXPECT_TRUE(dlg->Messages().last().contains("CLIENT")) << dlg->Messages().last().toStdString();
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), QStringList{"0001|DUPONT"});
  QDir().rmdir(DataPath + "CLIENT.X02");
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  EXPECT_EQ(dlg->Messages(), QStringList{"Contrôle terminé !"});
  EXPECT_TRUE(QFileInfo(DataPath + "CLIENT.X02").isFile());
  EXPECT_TRUE(OpenAndClose(WindowKey::Client));
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), QStringList{"0001|DUPONT"});
}

TEST_F(BadFilesTest, AWriteCutShortByAnotherProgramWhileTheWindowIsOpenIsUndoneAndPostingGoesOn) {
  const QString path = DataPath + "CLIENT.DB";
  TfrmClient w;
  Activate(&w);
  ASSERT_EQ(CrashMidWrite(path), 0);
  ASSERT_TRUE(QFile::exists(path + "-journal"));
  dlg->Clear();
  TypeNewClient(w, "DURAND");
  EXPECT_EQ(w.edCode->text(), "0003");
  PostThirdClient(w);
  EXPECT_FALSE(QFile::exists(path + "-journal"));
}

TEST_F(BadFilesTest, EveryReferenceWindowOpensWhenAllIndexFilesAreGone) {
  AddRow("Titre.DB", {"0001", 1, 0, "LE JOURNAL", "JOURNAL", 1, 1, 2, "Q", "A", QVariant(), true});
  for (const QString& n : QDir(DataPath).entryList(QDir::Files))
    if (!n.endsWith(".db", Qt::CaseInsensitive)) QFile::remove(DataPath + n);
  for (const QString& key : {WindowKey::Region, WindowKey::Site, WindowKey::Imprim, WindowKey::Client,
                             WindowKey::Titres, WindowKey::OrgaD, WindowKey::Liste}) {
    dlg->Clear();
    EXPECT_TRUE(OpenAndClose(key)) << key.toStdString();
    EXPECT_EQ(ErrorText(), "") << key.toStdString();
  }
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT", "0002|MARTIN"}));
}

TEST_F(BadFilesTest, ALostPrimaryIndexFileDoesNotLetTwoClientsShareACode) {
  FreshApplicationTables();
  AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
  AddRow("CLIENT.DB", {"0002", 2, "MARTIN", QVariant(), QVariant(), QVariant(), "A", "01"});
  ASSERT_TRUE(QFile::remove(DataPath + "CLIENT.PX"));
  auto addTwin = [this] {
    try {
      AddRow("CLIENT.DB", {"0001", 3, "DOUBLON", QVariant(), QVariant(), QVariant(), "A", "01"});
    } catch (const EDBEngineError& e) {
      return e.ErrorCode() == DBIERR_KEYVIOL;
    }
    return false;
  };
  EXPECT_TRUE(addTwin());
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT", "0002|MARTIN"}));
  // The check rebuilds the lost index; codes stay unique after it too.
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  EXPECT_EQ(dlg->Messages(), QStringList{"Contrôle terminé !"});
  EXPECT_TRUE(QFile::exists(DataPath + "CLIENT.PX"));
  EXPECT_TRUE(addTwin());
  EXPECT_EQ(Rows("SELECT ID, NOM FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT", "0002|MARTIN"}));
}

TEST_F(BadFilesTest, ATableOverwrittenWithGarbageWhileTheWindowIsOpenRefusesThePostAndKeepsTheRecord) {
  TfrmClient w;
  Activate(&w);
  TypeNewClient(w, "DURAND");
  const QByteArray good = ReadAll(DataPath + "CLIENT.DB");
  WriteAll(DataPath + "CLIENT.DB", QByteArray(good.size(), 'x'));
  dlg->Clear();
  Click(w.btnPost);
  EXPECT_FALSE(ErrorText().isEmpty());
  EXPECT_EQ(w.Client.State(), dsInsert);
  EXPECT_EQ(w.edRs->text(), "DURAND");
  Click(w.btnCancel);
  Click(w.btnClose);
  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(BadFilesTest, SoundTablesPassThePageCheckWhenItIsTheFirstThingTheProgramDoes) {
  FreshApplicationTables();
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  testdata::AddClients(400);  // case-insensitive indexes, ordered by the engine's own collation
  // As in a process that has opened no table yet: no connection knows that collation.
  sqlite3_reset_auto_extension();
  dlg->Clear();
  RunDatabaseCheck(DataPath);
  ASSERT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(dlg->Messages()[0], "Contrôle terminé !") << dlg->Messages()[0].toStdString();
}

TEST_F(BadFilesTest, DamagedDataPagesAreFoundByTheCheckNamedAndLeftAsTheyAre) {
  FreshApplicationTables();
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  testdata::AddClients(400);
  const QString path = DataPath + "CLIENT.DB";
  ASSERT_GT(QFileInfo(path).size(), 20480 + 4096);
  ASSERT_TRUE(testdata::WriteNoise(path, 20480, 4096));
  const QByteArray data = ReadAll(path);

  dlg->Clear();
  RunDatabaseCheck(DataPath);
  ASSERT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Warning);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("Contrôle terminé !\n\n")) << dlg->Messages()[0].toStdString();
  EXPECT_TRUE(dlg->Messages()[0].contains("CLIENT")) << dlg->Messages()[0].toStdString();
  EXPECT_EQ(ReadAll(path), data);  // what may still be saved from it stays

  // A window that cannot read the table says which table it is.
  dlg->Clear();
  bool shown = false;
  dlg->QueueModal([&](QWidget* w) {
    shown = true;
    auto* c = qobject_cast<TfrmClient*>(w);
    if (c) {
      c->chkTri->click();  // reading the whole table in another order meets the damage
      c->Client.Last();
    }
    w->close();
    return ModalResult::Cancel;
  });
  TfrmMain::OpenWindow(WindowKey::Client);
  const QString error = ErrorText();
  ASSERT_FALSE(error.isEmpty());
  EXPECT_TRUE(error.contains("CLIENT", Qt::CaseInsensitive)) << error.toStdString();
  EXPECT_EQ(ReadAll(path), data);
  EXPECT_FALSE(shown);
}
