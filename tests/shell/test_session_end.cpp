// The end of the session from outside: the program runs as a process of its own, a client is
// being typed in its clients window, and it receives SIGTERM as at a shutdown.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <unistd.h>

#include "platform/sys/IniFiles.h"
#include "support/AppData.h"
#include "support/TestSupport.h"

namespace {

class SessionEndTest : public ::testing::Test {
 protected:
  SessionEndTest() {
    testdata::MakeAppFolder(app_.Path());
    testdata::AddRow("Region.db", {"01", "NORD"});
    testdata::AddRow("Site.DB", {"A", "CENTRE"});
    Write(app_.File("ZELM.INI"), "[PARAMS]\nEXER=2005\n[WINDOW]\nSTATE=1\n");
    Write(app_.File("PDOXUSRS.NET"), "lock");
  }
  static void Write(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  }
  static QStringList Clients() { return testdata::Rows("SELECT ID, NOM, ADR, REGION, SITE FROM CLIENT ORDER BY ID"); }
  // Starts the program, waits until the client is typed, sends the signal (if any: the logout
  // modes end it from inside), and waits for the end.
  // Starts the program in a mode; its output up to `marker` (or its end).
  // A child of another program folder (`folder`) if given; a minute at most.
  QByteArray StartChild(QProcess& p, const QString& mode, const QByteArray& marker = "READY",
                        const QString& folder = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZELM_REGISTRY_DIR", app_.File("registry"));
    p.setProcessEnvironment(env);
    const QStringList args{folder.isEmpty() ? app_.Path() : folder, mode};
    if (asNobody_)
      p.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", ZELM_SESSION_CHILD} + args);
    else p.start(ZELM_SESSION_CHILD, args);
    EXPECT_TRUE(p.waitForStarted(10000));
    QByteArray out;
    QElapsedTimer time;
    time.start();
    while (!out.contains(marker) && p.state() == QProcess::Running && time.elapsed() < 60000) {
      p.waitForReadyRead(1000);
      out += p.readAllStandardOutput();
    }
    return out;
  }
  // A second copy started in `folder` while another runs: it must say so and end at once.
  void ExpectRefused(const QString& folder, const QString& why = "ZELM est déjà ouvert sur ce dossier de données.") {
    QProcess second;
    const QByteArray said = StartChild(second, "answerbox", "\n", folder);
    EXPECT_EQ(QString::fromUtf8(said).trimmed(), "BOX:" + why);
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
  }
  void RunAndSignal(const QString& mode, int sig) {
    QProcess p;
    ASSERT_TRUE(StartChild(p, mode).contains("READY")) << p.readAllStandardError().toStdString();
    if (sig) ::kill(pid_t(p.processId()), sig);
    ASSERT_TRUE(p.waitForFinished(20000));
    errors_ = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << errors_.toStdString();
  }

  TempDir app_;
  QString errors_;
  bool asNobody_ = false;  // the child runs as a user without rights (root would read anything)
};

}  // namespace

TEST_F(SessionEndTest, SigtermStoresTheClientBeingTypedAndWritesTheSettings) {
  RunAndSignal("complete", SIGTERM);
  EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});
  TIniFile ini(app_.File("ZELM.INI"));
  EXPECT_EQ(ini.ReadString("PARAMS", "EXER", ""), "2005");
  EXPECT_EQ(ini.ReadString("WINDOW", "STATE", ""), "1");
  EXPECT_FALSE(QFile::exists(app_.File("PDOXUSRS.NET")));  // the closing clean-up ran
  EXPECT_FALSE(errors_.contains("sauvegarde")) << errors_.toStdString();
}

TEST_F(SessionEndTest, AHangupEndsTheProgramEvenWithAClientThatCannotBeStored) {
  Write(app_.File("ZELM.INI"), "[PARAMS]\nEXER=2004\n");
  RunAndSignal("incomplete", SIGHUP);
  EXPECT_EQ(Clients(), QStringList());  // no region: nothing to store, and nobody to ask
  EXPECT_TRUE(errors_.contains("La région est manquante !")) << errors_.toStdString();
  TIniFile ini(app_.File("ZELM.INI"));
  EXPECT_EQ(ini.ReadString("PARAMS", "EXER", ""), "2004");
  EXPECT_EQ(ini.ReadString("WINDOW", "STATE", ""), "1");
}

TEST_F(SessionEndTest, AQuestionOpenWhenTheSessionEndsIsNotAnsweredYes) {
  RunAndSignal("asking", SIGTERM);
  EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});  // not deleted
  EXPECT_EQ(TIniFile(app_.File("ZELM.INI")).ReadString("PARAMS", "EXER", ""), "2005");
}

TEST_F(SessionEndTest, ASignalDuringTheStartEndsTheProgramOnceItHasStarted) {
  RunAndSignal("early", SIGTERM);
  EXPECT_EQ(Clients(), QStringList());
  EXPECT_EQ(TIniFile(app_.File("ZELM.INI")).ReadString("PARAMS", "EXER", ""), "2005");
  EXPECT_FALSE(QFile::exists(app_.File("PDOXUSRS.NET")));
}

// The desktop's logout: the session manager asks the program to save its data, then (or at once)
// tells it to quit. Either way what was typed is stored and the settings written, as at SIGTERM.
TEST_F(SessionEndTest, ALogoutStoresTheClientBeingTypedAndWritesTheSettings) {
  for (const char* mode : {"logout", "logout-die", "die"}) {
    SCOPED_TRACE(mode);
    testdata::Exec("DELETE FROM CLIENT");
    Write(app_.File("ZELM.INI"), "[PARAMS]\nEXER=2005\n[WINDOW]\nSTATE=1\n");
    Write(app_.File("PDOXUSRS.NET"), "lock");
    RunAndSignal(mode, 0);
    EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});
    TIniFile ini(app_.File("ZELM.INI"));
    EXPECT_EQ(ini.ReadString("PARAMS", "EXER", ""), "2005");
    EXPECT_EQ(ini.ReadString("WINDOW", "STATE", ""), "1");
    EXPECT_FALSE(QFile::exists(app_.File("PDOXUSRS.NET")));
  }
}

TEST_F(SessionEndTest, ALogoutWithAQuestionOpenDoesNotAnswerItYes) {
  for (const char* mode : {"logout-asking", "logout-die-asking", "die-asking"}) {
    SCOPED_TRACE(mode);
    testdata::Exec("DELETE FROM CLIENT");
    RunAndSignal(mode, 0);
    EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});  // not deleted
  }
}

// A shutdown while the start shows an error box (here: a background picture that cannot be
// loaded): the box is not waited for, the program ends and writes its settings.
TEST_F(SessionEndTest, ASignalWhileTheStartShowsAnErrorBoxEndsTheProgram) {
  Write(app_.File("ZELM.INI"), "[PARAMS]\nEXER=2005\nIMAGE=absente.bmp\n[WINDOW]\nSTATE=1\n");
  RunAndSignal("startbox", SIGTERM);
  EXPECT_EQ(TIniFile(app_.File("ZELM.INI")).ReadString("PARAMS", "EXER", ""), "2005");
  EXPECT_FALSE(QFile::exists(app_.File("PDOXUSRS.NET")));
}

// Two copies on one folder would put back each other's rows: the second says so and ends before
// it reads or changes anything. The folder is free again once the first is gone, killed or not.
TEST_F(SessionEndTest, ASecondStartOnTheSameFolderSaysSoAndEndsChangingNothing) {
  QProcess first;
  ASSERT_TRUE(StartChild(first, "complete").contains("READY"));  // a client is being typed
  QFile ini(app_.File("ZELM.INI"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray settings = ini.readAll();
  ini.close();
  Write(app_.File("PDOXUSRS.NET"), "lock");

  QProcess second;
  const QByteArray said = StartChild(second, "answerbox", "\n");
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(QString::fromUtf8(said).trimmed(), "BOX:ZELM est déjà ouvert sur ce dossier de données.");
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 1);
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_EQ(ini.readAll(), settings);
  ini.close();
  EXPECT_TRUE(QFile::exists(app_.File("PDOXUSRS.NET")));  // no clean-up either

  ::kill(pid_t(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished(20000));
  RunAndSignal("complete", SIGTERM);  // starts as usual, stores, and ends
  EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});
}

// A second program folder whose Data is a link to the first one's works on the same tables: it is
// refused whichever of the two starts first, and a kill -9 frees the data folder as well.
TEST_F(SessionEndTest, AProgramFolderWhoseDataLinksToAnotherFoldersDataIsRefusedWhileThatOneRuns) {
  TempDir linked;
  ASSERT_TRUE(QFile::link(app_.File("Data"), linked.File("Data")));
  Write(linked.File("ZELM.INI"), "[PARAMS]\nEXER=2005\n[WINDOW]\nSTATE=1\n");
  {
    QProcess first;
    ASSERT_TRUE(StartChild(first, "complete").contains("READY"));
    ExpectRefused(linked.Path());
    ::kill(pid_t(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(20000));
  }
  QProcess first;
  ASSERT_TRUE(StartChild(first, "complete", "READY", linked.Path()).contains("READY"));
  ExpectRefused(app_.Path());
  ::kill(pid_t(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished(20000));
  RunAndSignal("complete", SIGTERM);  // the tables are free again
  EXPECT_EQ(Clients(), QStringList{"0001|DURAND|RUE DES ROSES|01|A"});
}

// At the first start the data folder does not exist yet: the copy that makes it holds it from then
// on, before its first table, so a program folder linked to it cannot start beside it.
TEST_F(SessionEndTest, TheDataFolderAFirstStartMakesIsHeldBeforeItsTablesAreMadeAndFromThenOn) {
  TempDir fresh, linked;
  ASSERT_TRUE(QFile::link(fresh.File("Data"), linked.File("Data")));  // leads nowhere yet
  QProcess first;
  ASSERT_TRUE(StartChild(first, "holdtables", "MAKING", fresh.Path()).contains("MAKING"));
  ASSERT_TRUE(QFileInfo(fresh.File("Data")).isDir());
  ExpectRefused(linked.Path());
  first.write("\n");  // now the tables
  QByteArray out;
  while (!out.contains("READY") && first.state() == QProcess::Running && first.waitForReadyRead(30000))
    out += first.readAllStandardOutput();
  EXPECT_TRUE(out.contains("READY"));
  ASSERT_TRUE(QFileInfo(linked.File("Data/CLIENT.DB")).isFile());
  ExpectRefused(linked.Path());
  ExpectRefused(fresh.Path());
  ::kill(pid_t(first.processId()), SIGKILL);
  EXPECT_TRUE(first.waitForFinished(20000));
}

// A data folder whose tables cannot be read, one that may be entered but not listed or listed but
// not entered, is named and the program ends; one that may be read but not written still opens.
TEST_F(SessionEndTest, ADataFolderThatCannotBeReadIsNamedAndTheProgramEnds) {
  if (::geteuid() == 0) {
    if (QProcess::execute("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "true"}) != 0)
      GTEST_SKIP() << "root reads every folder and setpriv cannot run the program as nobody";
    asNobody_ = true;
  }
  const QString data = app_.Path() + "Data";
  auto chmod = [&](const char* mode) { return QProcess::execute("chmod", {mode, data}); };
  struct Restore {
    QString folder;
    ~Restore() { QProcess::execute("chmod", {"0755", folder}); }
  } restore{data};
  for (const char* mode : {"0111", "0444"}) {  // for everyone: the test may own the folder
    ASSERT_EQ(chmod(mode), 0);
    ExpectRefused(app_.Path(),
                  "Le dossier de données « " + data + " » ne peut pas être lu : ZELM ne peut pas s'ouvrir.");
  }
  ASSERT_EQ(chmod("0555"), 0);
  QProcess readOnly;
  EXPECT_EQ(StartChild(readOnly, "answerbox", "\n").trimmed(), "OPENED");
  readOnly.kill();
  readOnly.waitForFinished(20000);
}
