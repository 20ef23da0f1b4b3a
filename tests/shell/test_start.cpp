// The start of the program as main puts it together: a restore killed while it put the tables in
// place is completed before anything else is cleared, and never half done.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <sys/stat.h>
#include <unistd.h>

#include "support/ReadOnlyFolder.h"
#include "app/Composition.h"
#include "shell/UMain.h"
#include "shell/global.h"
#include "support/AppData.h"
#include "MainWindowEnv.h"

namespace {

class StartTest : public ::testing::Test {
 protected:
  StartTest() {
    ComposeApplication();
    testdata::MakeAppFolder(env_.app.Path());
    // The restore's copy of Site: a whole table holding the archive's row.
    testdata::AddRow("Site.DB", {"N", "NOUVEAU"});
    EXPECT_TRUE(QFile::copy(Data() + "Site.DB", Data() + "~restaure.Site.DB"));
    testdata::Exec("DELETE FROM Site");
    testdata::AddRow("Site.DB", {"A", "ANCIEN"});
    Write(Data() + "~restaure.journal", "~restaure.Site.DB\tSite.DB\n");
  }
  ~StartTest() override { TfrmMain::InterruptedRestoreHook = nullptr; }

  static void Write(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  }
  QString Data() const { return env_.app.File("Data/"); }
  QStringList Leftovers() const {
    QStringList l = QDir(Data()).entryList({"~*"}, QDir::Files | QDir::Hidden);
    l.sort();
    return l;
  }
  static QStringList Sites() { return testdata::Rows("SELECT Id, Libelle FROM Site"); }
  // Starts the main window, runs what is given while it is up, and closes it without a backup.
  void Start(const std::function<void()>& whileUp = {}) {
    ScopedDialogs dlg;
    QPointer<TfrmMain> frm = new TfrmMain(nullptr);
    if (whileUp) whileUp();
    dlg->QueueAnswer(ModalResult::No);
    frm->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  MainWindowEnv env_;
};

}  // namespace

TEST_F(StartTest, AListedCopyTakesItsTablesPlaceAndOnlyThenGoesWithItsList) {
  Start([&] {
    EXPECT_EQ(Sites(), QStringList{"N|NOUVEAU"});
    EXPECT_EQ(Leftovers(), QStringList());
  });
}

TEST_F(StartTest, ACopyThatCannotMoveYetKeepsItsListUntilAStartWhereItCan) {
  {
    // Another user's folder, as a read-only share is: the start cannot make it writable either.
    const QByteArray data = QFile::encodeName(Data());
    ASSERT_EQ(::chown(data.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(data.constData(), 0555), 0);
    {
      ReadOnlyFolder readOnly(Data());
      Start();
    }
    ASSERT_EQ(::chown(data.constData(), ::getuid(), ::getgid()), 0);
  }
  EXPECT_EQ(Sites(), QStringList{"A|ANCIEN"});
  EXPECT_EQ(Leftovers(), (QStringList{"~restaure.Site.DB", "~restaure.journal"}));
  Start([&] { EXPECT_EQ(Sites(), QStringList{"N|NOUVEAU"}); });
  EXPECT_EQ(Leftovers(), QStringList());
}

// Without a list, the copies are a restore killed before it touched a table.
TEST(StartCleanup, WhatAKilledRestoreLeftIsDeletedAtStart) {
  ComposeApplication();
  MainWindowEnv env;
  TempDir& app = env.app;
  QDir().mkpath(app.File("Data"));
  QDir().mkpath(app.File("Temp/restaure-AbC123"));
  for (const char* f : {"Data/~restaure.Disto.DB", "Data/Disto.DB", "Temp/restaure-AbC123/Disto.DB", "Temp/autre.txt"}) {
    QFile out(app.File(f));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("x");
  }
  {
    ScopedDialogs dlg;
    auto* main = new TfrmMain(nullptr);
    EXPECT_FALSE(QFile::exists(app.File("Data/~restaure.Disto.DB")));
    EXPECT_FALSE(QDir(app.File("Temp/restaure-AbC123")).exists());
    EXPECT_TRUE(QFile::exists(app.File("Data/Disto.DB")));
    EXPECT_TRUE(QFile::exists(app.File("Temp/autre.txt")));
    dlg->QueueAnswer(ModalResult::No);
    main->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  TfrmMain::InterruptedRestoreHook = nullptr;
}
