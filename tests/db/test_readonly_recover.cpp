// A data folder that turns read-only while tables are open, or is read-only when they are opened,
// then writable again: the writes made meanwhile fail with the engine's French error and change
// nothing, and the very next ones store everything, with the same tables still open.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <linux/capability.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "DbTestUtil.h"
#include "platform/db/EngineCore.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

using dbe::ReadCounterRaw;

namespace {

// The folder and its files lose their write permissions, and this thread the capabilities with
// which root ignores them, until Restore() (or the end of the object).
class ReadOnlySpell {
 public:
  explicit ReadOnlySpell(const QString& folder, bool filesToo = true) : folder_(folder) {
    __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
    if (syscall(SYS_capget, &h, saved_) == 0) {
      __user_cap_data_struct d[2] = {saved_[0], saved_[1]};
      d[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
      capsDropped_ = syscall(SYS_capset, &h, d) == 0;
    }
    if (filesToo)
      for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
        ::chmod(QFile::encodeName(QDir(folder_).filePath(n)).constData(), 0444);
    ::chmod(QFile::encodeName(folder_).constData(), 0555);
  }
  ~ReadOnlySpell() { Restore(); }
  void Restore() {
    if (restored_) return;
    restored_ = true;
    ::chmod(QFile::encodeName(folder_).constData(), 0755);
    for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
      ::chmod(QFile::encodeName(QDir(folder_).filePath(n)).constData(), 0644);
    if (capsDropped_) {
      __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
      syscall(SYS_capset, &h, saved_);
    }
  }
  // True when a write in the folder really is refused (as root without the capabilities).
  bool Bites() const {
    const QByteArray probe = QFile::encodeName(QDir(folder_).filePath("probe"));
    const int fd = ::open(probe.constData(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0) return true;
    ::close(fd);
    ::unlink(probe.constData());
    return false;
  }

 private:
  QString folder_;
  bool capsDropped_ = false;
  bool restored_ = false;
  __user_cap_data_struct saved_[2] = {};
};

// The takings window's tables, opened as it opens them, and its save: every cell of the day in one
// transaction, all or nothing.
class TakingsWindow {
 public:
  explicit TakingsWindow(const QString& folder) : folder_(folder) {
    orga.SetDatabaseName(folder);
    orga.SQL.Add("SELECT * FROM ORGAD.DB ORDER BY ID_REGION, ORD_TITRE");
    orga.Open();
    for (TTable* t : {&region, &titre, &disto, &client}) t->SetDatabaseName(folder);
    region.SetTableName("Region.db");
    titre.SetTableName("Titre.DB");
    disto.SetTableName("Disto.DB");
    client.SetTableName("CLIENT.DB");
    for (TTable* t : {&region, &titre, &disto, &client}) t->Open();
  }
  // Stores quantity q of each title for the client on the day; the engine's error code, 0 when done.
  int Save(const QDate& day, const QString& clientId, const std::vector<std::pair<QString, int>>& cells) {
    TDbTransaction tx(folder_);
    try {
      TQuery q;  // what is stored already, as the window reads it
      q.SetDatabaseName(folder_);
      q.SQL.Add("SELECT ID_CLIENT, ID_TITRE, QTE_PRISE FROM DISTO.DB WHERE DATEJ=:myDay");
      q.ParamByName("myDay")->AsDate = day;
      q.Open();
      q.Close();
      for (const auto& [title, qty] : cells) {
        if (disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, clientId, title})) {
          disto.Edit();
        } else {
          disto.Append();
          disto.FieldByName("DateJ")->AsDate = day;
          disto.FieldByName("Id_Client")->AsString = clientId;
          disto.FieldByName("Id_Titre")->AsString = title;
        }
        disto.FieldByName("Qte_Prise")->AsInteger = qty;
        disto.Post();
        DbiSaveChanges(disto);
      }
      tx.Commit();
    } catch (const EDBEngineError& e) {
      if (disto.State() != dsBrowse) disto.Cancel();
      tx.Rollback();
      lastError = e.Message();
      return e.ErrorCode();
    }
    return 0;
  }
  TQuery orga;
  TTable region, titre, disto, client;
  QString lastError;

 private:
  QString folder_;
};

class ReadOnlyThenWritable : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    for (const CRTblDesc& d : AppSchema()) ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
    RawSql(dir.File("CLIENT.DB"), "INSERT INTO CLIENT (Id, Ord, Nom, Region) VALUES('0001', 1, 'DUPONT', '01')");
    RawSql(dir.File("Region.db"), "INSERT INTO Region VALUES('01', 'NORD')");
    RawSql(dir.File("Titre.DB"), "INSERT INTO Titre (Id, Nord, Titre) VALUES('0010', 1, 'LE MONDE'), ('0020', 2, 'LIBE')");
    RawSql(dir.File("OrgaD.DB"), "INSERT INTO OrgaD VALUES('01', '0010', 1), ('01', '0020', 2)");
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc()), DBIERR_NONE);
  }
  QStringList Day() { return RawSql(dir.File("Disto.DB"), "SELECT count(*), total(Qte_Prise) FROM Disto"); }
  TempDir dir;
  const QDate day{2026, 12, 7};
};

// Param: the table files lose their write permission too (a whole folder made read-only), or only
// the folder does (no journal can be made beside them).
TEST_P(ReadOnlyThenWritable, TheSameOpenTablesStoreAgainOnceTheFolderIsWritable) {
  TakingsWindow w(dir.Path());
  ASSERT_EQ(w.Save(day, "0001", {{"0010", 11}, {"0020", 12}}), 0) << w.lastError.toStdString();
  const QStringList first = Day();
  ASSERT_EQ(first, QStringList{"2|23.0"});
  {
    ReadOnlySpell ro(dir.Path(), GetParam());
    if (!ro.Bites()) GTEST_SKIP() << "the folder stays writable for this user";
    EXPECT_NE(w.Save(day, "0001", {{"0010", 21}, {"0020", 22}}), 0);
    EXPECT_TRUE(w.lastError.contains("lecture seule") || w.lastError.contains("ne peut pas être écrit")) << w.lastError.toStdString();
    EXPECT_EQ(Day(), first);
    // A second try while still read-only fails the same way.
    EXPECT_NE(w.Save(day, "0001", {{"0010", 21}, {"0020", 22}}), 0);
    ro.Restore();
  }
  w.lastError.clear();
  EXPECT_EQ(w.Save(day, "0001", {{"0010", 21}, {"0020", 22}}), 0) << w.lastError.toStdString();
  EXPECT_EQ(Day(), QStringList{"2|43.0"});
  // A single post outside a transaction, and a statement, store too.
  w.disto.Append();
  w.disto.FieldByName("DateJ")->AsDate = day.addDays(1);
  w.disto.FieldByName("Id_Client")->AsString = "0001";
  w.disto.FieldByName("Id_Titre")->AsString = "0010";
  w.disto.FieldByName("Qte_Prise")->AsInteger = 5;
  EXPECT_NO_THROW(w.disto.Post());
  TQuery u;
  u.SetDatabaseName(dir.Path());
  u.SQL.Add("UPDATE DISTO.DB SET QTE_PRISE = QTE_PRISE + 1 WHERE DATEJ=:myDay");
  u.ParamByName("myDay")->AsDate = day;
  EXPECT_NO_THROW(u.ExecSQL());
  EXPECT_EQ(Day(), QStringList{"3|50.0"});
  EXPECT_EQ(RawSql(dir.File("Disto.DB"), "PRAGMA integrity_check"), QStringList{"ok"});
}

// The window opened while the folder is read-only: its tables are opened as they are then.
TEST_P(ReadOnlyThenWritable, TablesOpenedWhileReadOnlyStoreOnceTheFolderIsWritable) {
  auto ro = std::make_unique<ReadOnlySpell>(dir.Path(), GetParam());
  if (!ro->Bites()) GTEST_SKIP() << "the folder stays writable for this user";
  TakingsWindow w(dir.Path());
  EXPECT_EQ(w.Save(day, "0001", {{"0010", 11}, {"0020", 12}}), DBIERR_READONLY) << w.lastError.toStdString();
  ro.reset();
  EXPECT_EQ(w.Save(day, "0001", {{"0010", 11}, {"0020", 12}}), 0) << w.lastError.toStdString();
  EXPECT_EQ(Day(), QStringList{"2|23.0"});
  // Another table opened then, written alone.
  w.client.Edit();
  w.client.FieldByName("Nom")->AsString = "DURAND";
  EXPECT_NO_THROW(w.client.Post());
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Nom FROM CLIENT"), QStringList{"DURAND"});
  // And a statement on a third one.
  TQuery u;
  u.SetDatabaseName(dir.Path());
  u.SQL.Add("UPDATE TITRE.DB SET NUM = 7");
  EXPECT_NO_THROW(u.ExecSQL());
  EXPECT_EQ(RawSql(dir.File("Titre.DB"), "SELECT total(Num) FROM Titre"), QStringList{"14.0"});
}

// One transaction writing two tables opened while read-only, the second read before it is
// written: it stores both once the folder is writable, at the first try.
TEST_P(ReadOnlyThenWritable, ATransactionOverTwoTablesOpenedWhileReadOnlyStoresBoth) {
  auto ro = std::make_unique<ReadOnlySpell>(dir.Path(), GetParam());
  if (!ro->Bites()) GTEST_SKIP() << "the folder stays writable for this user";
  TakingsWindow w(dir.Path());
  ro.reset();
  for (int attempt = 0; attempt < 2; ++attempt) {
    TDbTransaction tx(dir.Path());
    try {
      w.disto.Locate("ID_CLIENT", QVariant("0001"));
      w.client.Edit();
      w.client.FieldByName("Nom")->AsString = "DURAND";
      w.client.Post();
      w.disto.Append();
      w.disto.FieldByName("DateJ")->AsDate = day;
      w.disto.FieldByName("Id_Client")->AsString = "0001";
      w.disto.FieldByName("Id_Titre")->AsString = "0010";
      w.disto.FieldByName("Qte_Prise")->AsInteger = 4;
      w.disto.Post();
      tx.Commit();
    } catch (const EDBEngineError& e) {
      for (TTable* t : {&w.client, &w.disto})
        if (t->State() != dsBrowse) t->Cancel();
      tx.Rollback();
      ADD_FAILURE() << "attempt " << attempt << ": " << e.Message().toStdString();
      continue;
    }
    break;
  }
  EXPECT_EQ(Day(), QStringList{"1|4.0"});
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Nom FROM CLIENT"), QStringList{"DURAND"});
}

// An auto-increment table opened while read-only: its rows and its counter in the header are
// stored once it can be written, in a transaction and alone.
TEST_P(ReadOnlyThenWritable, AutoIncrementTableOpenedWhileReadOnlyStoresRowsAndCounter) {
  auto ro = std::make_unique<ReadOnlySpell>(dir.Path(), GetParam());
  if (!ro->Bites()) GTEST_SKIP() << "the folder stays writable for this user";
  TTable t;
  t.SetDatabaseName(dir.Path());
  t.SetTableName("AUTO.DB");
  t.Open();
  auto add = [&](const QString& s) {
    t.Append();
    t.FieldByName("S")->AsString = s;
    try {
      t.Post();
    } catch (const EDBEngineError& e) {
      t.Cancel();
      return e.ErrorCode();
    }
    return 0;
  };
  EXPECT_NE(add("a"), 0);
  ro.reset();
  EXPECT_EQ(add("b"), 0);
  {
    TDbTransaction tx(dir.Path());
    EXPECT_EQ(add("c"), 0);
    tx.Commit();
  }
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT group_concat(N || S, ' ') FROM (SELECT * FROM AUTO ORDER BY N)"),
            QStringList{"1b 2c"});
  int32_t counter = 0;
  ASSERT_TRUE(ReadCounterRaw(dir.File("AUTO.DB"), counter));
  EXPECT_EQ(counter, 2);
}

INSTANTIATE_TEST_SUITE_P(Folder, ReadOnlyThenWritable, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "FilesToo" : "FolderOnly"; });

}  // namespace
