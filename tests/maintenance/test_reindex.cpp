// Reindexing: every index rebuilt, rows unchanged, refused while a table is open.
#include <QDir>
#include <QFileInfo>

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
