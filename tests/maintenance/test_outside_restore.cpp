// Archives offered to the restore from outside the program: table files that are not tables,
// cut in half or empty must leave the data folder as it was.
#include <QDir>
#include <QRandomGenerator>

#include "../zip/Zip64Archive.h"
#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "platform/sys/Files.h"
#include "shell/global.h"

namespace {

QString RestoreQuietly(const QString& archive) {
  TZipArchiver zip;
  zip.Unattended = true;
  return RestoreTablesArchive(zip, archive);
}

}  // namespace

class OutsideRestoreTest : public MaintTest {};

TEST_F(OutsideRestoreTest, ATableFileThatIsNotATableChangesNothing) {
  FillSample();
  const QByteArray client = ReadFile(DataPath + "CLIENT.DB");
  const QByteArray titre = ReadFile(DataPath + "Titre.DB");
  QByteArray noise(40960, Qt::Uninitialized);
  QRandomGenerator rng(7);
  for (char& c : noise) c = char(rng.bounded(256));
  QByteArray wrongPage = client;  // a whole file whose second page is noise
  wrongPage.replace(4096, 4096, noise.left(4096));

  const QString folder = dir.Path() + "hostile/";
  QDir().mkpath(folder);
  MakeArchive(folder + "bruit.zip", {{"CLIENT.DB", client}, {"Titre.DB", noise}});
  MakeArchive(folder + "moitie.zip", {{"CLIENT.DB", client.left(client.size() / 2)}, {"Titre.DB", titre}});
  MakeArchive(folder + "vide.zip", {{"CLIENT.DB", client}, {"Titre.DB", QByteArray()}});
  MakeArchive(folder + "page.zip", {{"Titre.DB", titre}, {"CLIENT.DB", wrongPage}});

  const auto before = Snapshot();
  for (const char* name : {"bruit.zip", "moitie.zip", "vide.zip", "page.zip"}) {
    SCOPED_TRACE(name);
    const QString failure = RestoreQuietly(folder + name);
    EXPECT_TRUE(failure.startsWith("La table ")) << failure.toStdString();
    EXPECT_TRUE(failure.endsWith("Aucune donnée n'a été modifiée.")) << failure.toStdString();
    EXPECT_EQ(Snapshot(), before);
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
}

TEST_F(OutsideRestoreTest, ASoundArchiveStillRestoresAfterTheChecks) {
  FillSample();
  const QString archive = dir.Path() + "bon.zip";
  MakeArchive(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")}, {"CLIENT.PX", ReadFile(DataPath + "CLIENT.PX")}});
  AddRow("CLIENT.DB", {"0003", 3, "BERNARD"});
  ASSERT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 3);
  EXPECT_EQ(RestoreQuietly(archive), QString());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

TEST_F(OutsideRestoreTest, WhatAKilledRestoreLeftIsCleanedUp) {
  FillSample();
  const QString archive = dir.Path() + "bon.zip";
  MakeArchive(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")}});
  // A restore killed while it copied: its extraction folder and a copy beside the tables.
  QDir().mkpath(AppPath + "Temp/restaure-AbC123");
  WriteFile(AppPath + "Temp/restaure-AbC123/Disto.DB", QByteArray(4096, 'x'));
  WriteFile(DataPath + "~restaure.Disto.DB", QByteArray(4096, 'x'));
  WriteFile(DataPath + "~restaure.CLIENT.PX", "x");
  WriteFile(AppPath + "Temp/autre.txt", "not ours");
  EXPECT_EQ(RestoreQuietly(archive), QString());
  EXPECT_EQ(QDir(DataPath).entryList({"~*"}, QDir::Files | QDir::Hidden), QStringList());
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"autre.txt"});
}

TEST_F(OutsideRestoreTest, AnArchiveDeclaringMoreThanTheDiskHoldsIsRefusedBeforeAnyWrite) {
  FillSample();
  const QString archive = dir.Path() + "enorme.zip";
  // Sizes past 4 GB live in the zip64 fields: a petabyte is declared there, a few bytes stored.
  ASSERT_TRUE(zip64::Write(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB"), 0, 0},
                                     {"Disto.DB", "petit", 0, uint64_t(1) << 50}}));
  const auto before = Snapshot();
  const QString failure = RestoreQuietly(archive);
  EXPECT_TRUE(failure.startsWith("Pas assez de place sur le disque pour restaurer l'archive " + archive))
      << failure.toStdString();
  EXPECT_TRUE(failure.endsWith("Aucune donnée n'a été modifiée.")) << failure.toStdString();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}
