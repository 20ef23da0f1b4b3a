// Archives written by the component open with Info-ZIP and 7-Zip, and theirs open here.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ZipTestSupport.h"

namespace {

struct Sample {
  QString name;
  QByteArray data;
};

std::vector<Sample> Samples() {
  return {{"CLIENT.DB", TextBytes(30000, 11)},
          {"Disto.DB", RandomBytes(20000, 12)},
          {"vide.txt", QByteArray()},
          {"Région.db", TextBytes(777, 13)}};
}

}  // namespace

TEST(ZipInterop, OurArchivesOpenWithUnzipAnd7z) {
  if (!HaveTool("unzip") || !HaveTool("7z")) GTEST_SKIP() << "unzip or 7z missing";
  TempDir t;
  for (const auto& s : Samples()) WriteFile(t.File("data/sub/" + s.name), s.data);
  for (bool encrypted : {false, true}) {
    const QString archive = t.File(encrypted ? "enc.zip" : "plain.zip");
    auto z = NewZip();
    z->SetZipFileName(archive);
    if (encrypted) {
      z->AddOptions << AddEncrypt;
      z->Password = "mot de passe";
    }
    z->AddOptions << AddRecurseDirs;
    z->FSpecArgs << t.File("data/*.*");
    z->Add();
    ASSERT_EQ(z->SuccessCount, 4);

    const QStringList pw = encrypted ? QStringList{"-P", "mot de passe"} : QStringList{};
    const RunResult test = RunTool("unzip", QStringList{"-t"} + pw + QStringList{archive});
    EXPECT_EQ(test.code, 0) << test.out.toStdString();
    const RunResult seven = RunTool("7z", QStringList{"t", encrypted ? "-pmot de passe" : "-p-", archive});
    EXPECT_EQ(seven.code, 0) << seven.out.toStdString();
    // Flat names, contents byte for byte, times within the 2 seconds of the format.
    QStringList names = RunTool("unzip", {"-Z1", archive}).out.split('\n', Qt::SkipEmptyParts);
    names.sort();
    QStringList expected;
    for (const auto& s : Samples()) expected << s.name;
    expected.sort();
    EXPECT_EQ(names, expected);
    const QString out = t.File(encrypted ? "unzip-enc/" : "unzip-plain/");
    ASSERT_EQ(RunTool("unzip", QStringList{"-q"} + pw + QStringList{archive, "-d", out}).code, 0);
    for (const auto& s : Samples()) {
      EXPECT_EQ(ReadFile(out + s.name), s.data) << s.name.toStdString();
      const qint64 diff = QFileInfo(out + s.name).lastModified().secsTo(QFileInfo(t.File("data/sub/" + s.name)).lastModified());
      EXPECT_LE(std::abs(diff), 2);
    }
  }
}

TEST(ZipInterop, InfoZipArchivesListAndExtractExactly) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip missing";
  TempDir t;
  const QString data = t.File("data/");
  WriteFile(data + "stored.bin", RandomBytes(5000, 21));
  WriteFile(data + "texte.txt", TextBytes(40000, 22));
  WriteFile(data + "empty.dat", QByteArray());
  WriteFile(data + "dossier/dans.txt", TextBytes(900, 23));
  QDir().mkpath(data + "vide");

  // Stored and deflated entries, an empty file, folders, and a comment.
  ASSERT_EQ(RunTool("zip", {"-q", "-0", t.File("iz.zip"), "stored.bin"}, data).code, 0);
  ASSERT_EQ(RunTool("zip", {"-q", "-9", "-r", t.File("iz.zip"), "texte.txt", "empty.dat", "dossier", "vide"}, data).code, 0);
  ASSERT_EQ(RunTool("zip", {"-q", "-z", t.File("iz.zip")}, data, "Sauvegarde ZELM\n.\n").code, 0);

  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  int newNames = 0, lastSeq = 0;
  z->OnNewName = [&](QObject*, int seq, const ZipDirEntry&) {
    ++newNames;
    lastSeq = seq;
  };
  z->SetZipFileName(t.File("iz.zip"));
  QStringList names;
  for (const auto& e : z->DirEntries) names << e.FileName;
  names.sort();
  EXPECT_EQ(names, (QStringList{"dossier/dans.txt", "empty.dat", "stored.bin", "texte.txt"}));
  EXPECT_EQ(newNames, 4);
  EXPECT_EQ(lastSeq, 5);  // the folder entry before it is dropped, yet counted
  EXPECT_EQ(z->ArchiveComment, "Sauvegarde ZELM");
  for (const auto& e : z->DirEntries) {
    if (e.FileName == "stored.bin") {
      EXPECT_EQ(e.CompressionMethod, 0);
    }
  }

  z->UseDirOnlyEntries = true;
  z->List();
  EXPECT_EQ(z->EntryCount(), 6);

  z->ExtrOptions << ExtrDirNames;
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 4);
  for (const QString n : {"stored.bin", "texte.txt", "empty.dat", "dossier/dans.txt"}) {
    EXPECT_TRUE(QFileInfo(t.File("out/") + n).isFile()) << n.toStdString();
    EXPECT_EQ(ReadFile(t.File("out/") + n), ReadFile(data + n)) << n.toStdString();
  }
  EXPECT_TRUE(QFileInfo(t.File("out/vide")).isDir());

  // Data streamed through a pipe: sizes in a descriptor after the data.
  const RunResult piped = RunTool("sh", {"-c", "zip -q - texte.txt stored.bin > " + t.File("piped.zip")}, data);
  ASSERT_EQ(piped.code, 0) << piped.out.toStdString();
  auto w = NewZip();
  w->SetZipFileName(t.File("piped.zip"));
  ASSERT_EQ(w->EntryCount(), 2);
  w->ExtrBaseDir = t.File("piped/");
  w->FSpecArgs << "*.*";
  w->Extract();
  EXPECT_EQ(w->SuccessCount, 2) << w->Message.toStdString();
  for (const QString n : {"texte.txt", "stored.bin"}) EXPECT_EQ(ReadFile(w->ExtrBaseDir + n), ReadFile(data + n));

  // Encrypted by zip -P: the right password extracts, a wrong one is asked for and then skipped.
  ASSERT_EQ(RunTool("zip", {"-q", "-P", "clé", t.File("pw.zip"), "texte.txt", "stored.bin"}, data).code, 0);
  auto p = NewZip();
  Recorder prec;
  prec.Attach(*p);
  p->SetZipFileName(t.File("pw.zip"));
  ASSERT_EQ(p->EntryCount(), 2);
  EXPECT_TRUE(p->DirEntries[0].Encrypted);
  p->Password = "clé";
  p->ExtrBaseDir = t.File("pw/");
  p->FSpecArgs << "*.*";
  p->Extract();
  EXPECT_EQ(p->SuccessCount, 2);
  EXPECT_EQ(ReadFile(t.File("pw/texte.txt")), ReadFile(data + "texte.txt"));

  int asked = 0;
  p->Password = "faux";
  p->SetPasswordReqCount(3);
  p->OnPasswordError = [&](QObject*, bool isZip, QString& pw, const QString& file, unsigned& repeat, TPasswordButton&) {
    EXPECT_FALSE(isZip);
    EXPECT_FALSE(file.isEmpty());
    ++asked;
    pw = "encore faux";
  };
  p->ExtrBaseDir = t.File("pw2/");
  p->FSpecArgs << "texte.txt";
  p->Extract();
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(p->SuccessCount, 0);
  EXPECT_TRUE(prec.skipped.contains(QString("texte.txt:%1").arg(int(stBadPassword))));
  EXPECT_FALSE(QFileInfo::exists(t.File("pw2/texte.txt")));
  EXPECT_TRUE(QDir(t.File("pw2")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Each file keeps its own permissions through an archive, whoever extracts it; what the umask
// forbids, and setuid, setgid and sticky bits, never come back; owners can always use their tables.
TEST(ZipInterop, EachFileKeepsItsOwnPermissions) {
  if (!HaveTool("unzip") || !HaveTool("zip")) GTEST_SKIP() << "zip or unzip missing";
  const mode_t oldMask = ::umask(022);
  TempDir t;
  const QString data = t.File("data/");
  const std::pair<QString, mode_t> files[] = {{"CLIENT.DB", 0600}, {"Titre.DB", 0644}, {"Lu.DB", 0444}};
  for (const auto& [name, mode] : files) {
    WriteFile(data + name, TextBytes(3000, 31));
    ::chmod(QFile::encodeName(data + name).constData(), mode);
  }
  auto modeOf = [](const QString& path) {
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0u;
  };

  auto z = NewZip();
  z->SetZipFileName(t.File("perm.zip"));
  z->FSpecArgs << data + "*.DB";
  z->Add();
  ASSERT_EQ(z->SuccessCount, 3);
  QStringList listed = RunTool("unzip", {"-Z", t.File("perm.zip"), "*.DB"}).out.split('\n', Qt::SkipEmptyParts);
  for (QString& l : listed) l = l.section(' ', 0, 0) + " " + l.section(' ', -1);
  listed.sort();
  EXPECT_EQ(listed, QStringList({"-r--r--r-- Lu.DB", "-rw------- CLIENT.DB", "-rw-r--r-- Titre.DB"}));

  ASSERT_EQ(RunTool("unzip", {"-q", t.File("perm.zip"), "-d", t.File("unzip/")}).code, 0);
  z->ExtrBaseDir = t.File("ours/");
  z->FSpecArgs << "*.*";
  z->Extract();
  ASSERT_EQ(z->SuccessCount, 3);
  for (const auto& [name, mode] : files) {
    EXPECT_EQ(modeOf(t.File("unzip/") + name), mode) << name.toStdString();
    EXPECT_EQ(modeOf(t.File("ours/") + name), mode | 0600) << name.toStdString();
  }

  // Entries recorded world-writable (as archives written before were) or setuid come back within
  // the umask and without the special bits.
  WriteFile(data + "old/TOUS.DB", "x");
  WriteFile(data + "old/prog", "y");
  ::chmod(QFile::encodeName(data + "old/TOUS.DB").constData(), 0666);
  ::chmod(QFile::encodeName(data + "old/prog").constData(), 06777);
  ASSERT_EQ(RunTool("zip", {"-q", t.File("old.zip"), "TOUS.DB", "prog"}, data + "old").code, 0);
  ::umask(027);
  auto o = NewZip();
  o->SetZipFileName(t.File("old.zip"));
  o->ExtrBaseDir = t.File("old/");
  o->FSpecArgs << "*.*";
  o->Extract();
  EXPECT_EQ(o->SuccessCount, 2);
  EXPECT_EQ(modeOf(t.File("old/TOUS.DB")), 0640u);
  EXPECT_EQ(modeOf(t.File("old/prog")), 0750u);
  ::umask(oldMask);
}

// 7-Zip writes WinZip's AES entries of the second kind, whose stored CRC is 0 by that format's
// rule: the authentication code is what proves their data.
TEST(ZipInterop, SevenZipAesEntriesAreCheckedByTheirAuthenticationCode) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7z missing";
  TempDir t;
  const QString data = t.File("data/");
  WriteFile(data + "texte.txt", TextBytes(60000, 91));
  WriteFile(data + "petit.txt", "abc");
  WriteFile(data + "vide.dat", QByteArray());
  for (const QString level : {"-mx=9", "-mx=0"}) {  // deflated and stored
    const QString archive = t.File("aes" + level + ".zip");
    ASSERT_EQ(RunTool("7z", {"a", "-tzip", "-mem=AES256", "-psecret", level, archive, "texte.txt", "petit.txt",
                             "vide.dat"}, data).code, 0);
    auto z = NewZip();
    Recorder rec;
    rec.Attach(*z);
    int crcErrors = 0;
    z->OnCRC32Error = [&](QObject*, const QString&, unsigned, unsigned, bool& doIt) {
      ++crcErrors;
      doIt = false;
    };
    z->SetZipFileName(archive);
    ASSERT_EQ(z->EntryCount(), 3);
    for (const auto& e : z->DirEntries) {
      if (e.FileName == "vide.dat") continue;
      EXPECT_TRUE(e.Encrypted);
      EXPECT_EQ(e.CRC32, 0u);
    }
    z->Password = "secret";
    z->ExtrBaseDir = t.File("out" + level + "/");
    z->FSpecArgs << "*.*";
    z->Extract();
    EXPECT_EQ(z->SuccessCount, 3) << level.toStdString();
    EXPECT_EQ(crcErrors, 0);
    for (const QString n : {"texte.txt", "petit.txt", "vide.dat"})
      EXPECT_EQ(ReadFile(z->ExtrBaseDir + n), ReadFile(data + n)) << n.toStdString();

    // A wrong password still fails, and so does a right one over damaged data.
    z->Password = "faux";
    z->ExtrBaseDir = t.File("wrong" + level + "/");
    z->FSpecArgs << "texte.txt" << "petit.txt";
    z->Extract();
    EXPECT_EQ(z->SuccessCount, 0);
    EXPECT_TRUE(rec.skipped.contains(QString("texte.txt:%1").arg(int(stBadPassword))));
    EXPECT_TRUE(QDir(z->ExtrBaseDir).entryList(QDir::Files | QDir::Hidden).isEmpty());

    QByteArray bytes = ReadFile(archive);
    const int at = bytes.indexOf("texte.txt") + 2000;
    bytes[at] = char(bytes[at] ^ 0x21);
    WriteFile(t.File("damaged.zip"), bytes);
    auto d = NewZip();
    d->OnCRC32Error = z->OnCRC32Error;
    d->SetZipFileName(t.File("damaged.zip"));
    d->Password = "secret";
    d->ExtrBaseDir = t.File("damaged" + level + "/");
    d->FSpecArgs << "texte.txt";
    d->Extract();
    EXPECT_EQ(d->SuccessCount, 0);
    EXPECT_TRUE(QDir(d->ExtrBaseDir).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }
}
