// Damaged and hostile archives: reported, never a crash, nothing written outside the target.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include "ZipTestSupport.h"

namespace {

// Writes an archive with libzip: (name, data) pairs; a name starting with "@" is a link to data,
// one ending with "/" a folder.
void MakeArchive(const QString& path, const std::vector<std::pair<QString, QByteArray>>& entries) {
  int err = 0;
  zip_t* za = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_TRUE(za);
  std::vector<QByteArray> keep;
  for (const auto& [rawName, data] : entries) {
    const bool link = rawName.startsWith('@');
    const QByteArray name = (link ? rawName.mid(1) : rawName).toUtf8();
    keep.push_back(data);
    if (name.endsWith('/')) {
      ASSERT_GE(zip_dir_add(za, name.constData(), ZIP_FL_ENC_UTF_8), 0) << name.constData();
      continue;
    }
    zip_source_t* s = zip_source_buffer(za, keep.back().constData(), static_cast<zip_uint64_t>(keep.back().size()), 0);
    const zip_int64_t i = zip_file_add(za, name.constData(), s, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(i, 0) << name.constData();
    if (link)
      zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
  }
  ASSERT_EQ(zip_close(za), 0);
}

QStringList FilesUnder(const QString& dir) {
  QStringList out;
  QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) out << it.next().mid(dir.size());
  out.sort();
  return out;
}

void Flip(const QString& path, qint64 at) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  f.seek(at);
  char c = 0;
  f.getChar(&c);
  f.seek(at);
  f.putChar(static_cast<char>(c ^ 0x5A));
}

}  // namespace

TEST(ZipHostile, EntriesOutsideTheTargetAreRefusedAndReported) {
  TempDir t;
  const QString abs = "/tmp/zelm-abs-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".txt";
  MakeArchive(t.File("evil.zip"), {{"../x.txt", "climb"},
                                    {abs, "absolute"},
                                    {"sub/../../y.txt", "climb again"},
                                    {"C:/drive.txt", "drive"},
                                    {"@lien", "/etc/passwd"},
                                    {"ok.txt", "fine"}});
  for (bool dirs : {true, false}) {
    auto z = NewZip();
    Recorder rec;
    rec.Attach(*z);
    z->SetZipFileName(t.File("evil.zip"));
    EXPECT_EQ(z->EntryCount(), 6);
    if (dirs) z->ExtrOptions << ExtrDirNames;
    z->ExtrBaseDir = t.File("target/deep/");
    z->FSpecArgs << "*.*";
    z->Extract();
    EXPECT_EQ(z->SuccessCount, 1);
    EXPECT_EQ(FilesUnder(t.File("target/deep/")), QStringList{"ok.txt"});
    EXPECT_EQ(rec.skipped.size(), 5);
    EXPECT_TRUE(rec.HasMessage("hors du dossier de destination"));
    QFile::remove(t.File("target/deep/ok.txt"));
  }
  EXPECT_FALSE(QFileInfo::exists(t.File("target/x.txt")));
  EXPECT_FALSE(QFileInfo::exists(t.File("x.txt")));
  EXPECT_FALSE(QFileInfo::exists(t.File("y.txt")));
  EXPECT_FALSE(QFileInfo::exists(abs));
  EXPECT_FALSE(QFileInfo(t.File("target/deep/lien")).isSymLink());
}

TEST(ZipHostile, LinksAlreadyInTheTargetAreNeverFollowed) {
  TempDir t;
  const QString outside = t.File("outside/");
  const QString target = t.File("target/");
  WriteFile(outside + "victim.txt", "intact");
  QDir().mkpath(target + "deep");
  ASSERT_TRUE(QFile::link(t.File("outside"), target + "link"));
  ASSERT_TRUE(QFile::link(t.File("outside"), target + "deep/inner"));
  ASSERT_TRUE(QFile::link(outside + "victim.txt", target + "flink.txt"));
  MakeArchive(t.File("l.zip"), {{"link/through.txt", "dehors"},
                                 {"deep/inner/nested.txt", "dehors aussi"},
                                 {"link/made/", ""},
                                 {"flink.txt", "par-dessus"},
                                 {"deep/ok.txt", "dedans"}});
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("l.zip"));
  z->UseDirOnlyEntries = true;
  z->List();
  ASSERT_EQ(z->EntryCount(), 5);
  z->ExtrOptions << ExtrDirNames << ExtrOverWrite;
  z->ExtrBaseDir = target;
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(ReadFile(target + "deep/ok.txt"), "dedans");
  EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"victim.txt"});
  EXPECT_EQ(ReadFile(outside + "victim.txt"), "intact");
  EXPECT_TRUE(QFileInfo(target + "link").isSymLink());
  EXPECT_TRUE(QFileInfo(target + "flink.txt").isSymLink());
  EXPECT_EQ(rec.skipped.size(), 4);
  EXPECT_TRUE(rec.HasMessage("Entrée refusée (lien dans le dossier de destination): link/through.txt"));
}

namespace {

void Put16(QByteArray& b, qint64 at, unsigned v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
void Put32(QByteArray& b, qint64 at, unsigned v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
unsigned Get16(const QByteArray& b, qint64 at) { return uchar(b[at]) | (uchar(b[at + 1]) << 8); }
unsigned Get32(const QByteArray& b, qint64 at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

// Extracts everything of an archive into `out` and tells what the component said.
int ExtractAll(const QString& archive, const QString& out, Recorder& rec, bool test = false) {
  auto z = NewZip();
  rec.Attach(*z);
  z->SetZipFileName(archive);
  z->ExtrOptions << ExtrDirNames << ExtrOverWrite;
  if (test) z->ExtrOptions << ExtrTest;
  z->ExtrBaseDir = out;
  z->FSpecArgs << "*.*";
  z->Extract();
  return z->SuccessCount;
}

}  // namespace

// Archives whose entries share or overlap their data (zip bombs) are refused whole, as Info-ZIP's
// unzip refuses them, before anything is written.
TEST(ZipHostile, OverlappingEntriesAreRefusedAsPossibleZipBombs) {
  TempDir t;
  // Twenty central entries on one data block of 1 MiB of zeros.
  MakeArchive(t.File("one.zip"), {{"bomb00.bin", QByteArray(1 << 20, '\0')}});
  const QByteArray one = ReadFile(t.File("one.zip"));
  const qint64 cd = one.lastIndexOf(QByteArray("PK\x01\x02", 4));
  const qint64 eocd = one.lastIndexOf(QByteArray("PK\x05\x06", 4));
  const QByteArray header = one.mid(cd, eocd - cd);
  QByteArray bomb = one.left(cd);
  for (int k = 0; k < 20; ++k) {
    QByteArray h = header;
    h.replace(46, 10, QString("bomb%1.bin").arg(k, 2, 10, QChar('0')).toLatin1());
    bomb += h;
  }
  QByteArray end = one.mid(eocd);
  Put16(end, 8, 20);
  Put16(end, 10, 20);
  Put32(end, 12, unsigned(header.size() * 20));
  bomb += end;
  WriteFile(t.File("bomb.zip"), bomb);
  ASSERT_LT(bomb.size(), 8000);

  Recorder rec;
  EXPECT_EQ(ExtractAll(t.File("bomb.zip"), t.File("out/"), rec), 0);
  EXPECT_TRUE(FilesUnder(t.File("out/")).isEmpty());
  EXPECT_TRUE(rec.HasMessage("bombe zip possible"));
  Recorder tested;
  EXPECT_EQ(ExtractAll(t.File("bomb.zip"), t.File("tested/"), tested, true), 0);

  // An entry whose data run into the next entry, and one whose data run into the directory.
  MakeArchive(t.File("two.zip"), {{"a.txt", TextBytes(5000, 81)}, {"b.txt", TextBytes(5000, 82)}});
  QByteArray runs = ReadFile(t.File("two.zip"));
  const qint64 cd1 = runs.indexOf(QByteArray("PK\x01\x02", 4));
  Put32(runs, cd1 + 20, Get32(runs, cd1 + 20) + 40);
  WriteFile(t.File("runs.zip"), runs);
  Recorder rec2;
  EXPECT_EQ(ExtractAll(t.File("runs.zip"), t.File("out2/"), rec2), 0);
  EXPECT_TRUE(FilesUnder(t.File("out2/")).isEmpty());
  EXPECT_TRUE(rec2.HasMessage("bombe zip possible"));

  QByteArray last = ReadFile(t.File("two.zip"));
  const qint64 cd2 = last.lastIndexOf(QByteArray("PK\x01\x02", 4));
  Put32(last, cd2 + 20, Get32(last, cd2 + 20) + 30);
  WriteFile(t.File("last.zip"), last);
  Recorder rec3;
  EXPECT_EQ(ExtractAll(t.File("last.zip"), t.File("out3/"), rec3), 0);
  EXPECT_TRUE(FilesUnder(t.File("out3/")).isEmpty());
  EXPECT_TRUE(rec3.HasMessage("bombe zip possible"));

  // The sound archive they were made from extracts whole. Info-ZIP refuses the bomb too (it lets
  // the two others by, reading no further than where their deflated data end).
  Recorder fine;
  EXPECT_EQ(ExtractAll(t.File("two.zip"), t.File("out4/"), fine), 2);
  if (HaveTool("unzip")) {
    EXPECT_EQ(RunTool("unzip", {"-tq", t.File("two.zip")}).code, 0);
    const RunResult iz = RunTool("unzip", {"-tq", t.File("bomb.zip")});
    EXPECT_NE(iz.code, 0);
    EXPECT_TRUE(iz.out.contains("zip bomb")) << iz.out.toStdString();
  }
}

TEST(ZipHostile, DamagedDataLeavesNoPartialFile) {
  TempDir t;
  const QByteArray big = TextBytes(200000, 31);
  MakeArchive(t.File("d.zip"), {{"first.txt", big}, {"second.txt", "intact"}});
  // A byte inside the first entry's compressed data.
  Flip(t.File("d.zip"), 30 + 9 + 2000);
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("d.zip"));
  ASSERT_EQ(z->EntryCount(), 2);
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(FilesUnder(t.File("out/")), QStringList{"second.txt"});
  EXPECT_EQ(rec.skipped.size(), 1);

  // A stored entry with one byte changed fails its CRC; the handler sees both values.
  MakeArchive(t.File("c.zip"), {{"a.gif", RandomBytes(3000, 32)}});
  {
    int err = 0;
    zip_t* za = zip_open(t.File("c.zip").toUtf8().constData(), 0, &err);
    zip_set_file_compression(za, 0, ZIP_CM_STORE, 0);
    zip_close(za);
  }
  auto c = NewZip();
  c->SetZipFileName(t.File("c.zip"));
  ASSERT_EQ(c->EntryCount(), 1);
  ASSERT_EQ(c->DirEntries[0].CompressionMethod, 0);
  Flip(t.File("c.zip"), 30 + 5 + 100);
  unsigned found = 0, expected = 0;
  c->OnCRC32Error = [&](QObject*, const QString&, unsigned f, unsigned e, bool& doExtract) {
    found = f;
    expected = e;
    doExtract = false;
  };
  c->ExtrBaseDir = t.File("crc/");
  c->FSpecArgs << "*.*";
  c->Extract();
  EXPECT_EQ(c->SuccessCount, 0);
  EXPECT_EQ(expected, c->DirEntries[0].CRC32);
  EXPECT_NE(found, expected);
  EXPECT_TRUE(FilesUnder(t.File("crc/")).isEmpty());

  // Cancelling in the middle of an entry leaves nothing either.
  MakeArchive(t.File("big.zip"), {{"big.bin", RandomBytes(600000, 33)}});
  auto k = NewZip();
  k->SetZipFileName(t.File("big.zip"));
  k->OnProgress = [&](QObject*, ProgressType p, const QString&, qint64) {
    if (p == ProgressUpdate) k->Cancel = true;
  };
  k->ExtrBaseDir = t.File("cancel/");
  k->FSpecArgs << "*.*";
  k->Extract();
  EXPECT_EQ(k->SuccessCount, 0);
  EXPECT_TRUE(FilesUnder(t.File("cancel/")).isEmpty());
}

// A central directory giving a deflated entry no compressed bytes: libzip hands back an empty
// entry and no error. Bytes that do not give the recorded size and CRC are a CRC error, when
// extracting and when testing, and the file already in the target stays as it was.
TEST(ZipHostile, AnEntryThatComesOutShortIsACrcError) {
  TempDir t;
  MakeArchive(t.File("short.zip"), {{"Disto.DB", TextBytes(421888, 51)}, {"Site.DB", "intact"}});
  QByteArray bytes = ReadFile(t.File("short.zip"));
  const qint64 cd = bytes.indexOf(QByteArray("PK\x01\x02", 4));
  ASSERT_GT(cd, 0);
  ASSERT_EQ(bytes.mid(cd + 46, 8), "Disto.DB");
  bytes.replace(cd + 20, 4, QByteArray(4, '\0'));  // its compressed size
  WriteFile(t.File("short.zip"), bytes);
  QDir().mkpath(t.File("out"));
  WriteFile(t.File("out/Disto.DB"), "ancienne table");

  for (bool test : {false, true}) {
    SCOPED_TRACE(test ? "test" : "extract");
    auto z = NewZip();
    Recorder rec;
    rec.Attach(*z);
    z->SetZipFileName(t.File("short.zip"));
    ASSERT_EQ(z->EntryCount(), 2);
    ASSERT_EQ(z->DirEntries[0].CompressedSize, 0u);
    z->ExtrOptions << ExtrOverWrite;
    if (test) z->ExtrOptions << ExtrTest;
    z->ExtrBaseDir = t.File("out/");
    z->FSpecArgs << "*.*";
    z->Extract();
    EXPECT_EQ(z->SuccessCount, 1);
    EXPECT_EQ(z->ErrCode, 2);
    EXPECT_EQ(rec.skipped, QStringList{QString("Disto.DB:%1").arg(int(stGeneralExtractError))});
    EXPECT_TRUE(rec.HasMessage("Erreur de CRC: Disto.DB"));
    EXPECT_EQ(ReadFile(t.File("out/Disto.DB")), "ancienne table");
    EXPECT_EQ(FilesUnder(t.File("out/")), QStringList({"Disto.DB", "Site.DB"}));
  }

  // The handler is asked as for any CRC error, with what came out and what was recorded.
  auto z = NewZip();
  z->SetZipFileName(t.File("short.zip"));
  unsigned found = 1, expected = 0;
  z->OnCRC32Error = [&](QObject*, const QString& file, unsigned f, unsigned e, bool& doExtract) {
    EXPECT_EQ(file, "Disto.DB");
    found = f;
    expected = e;
    doExtract = false;
  };
  z->ExtrOptions << ExtrOverWrite;
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(found, 0u);  // the CRC of nothing
  EXPECT_EQ(expected, z->DirEntries[0].CRC32);
  EXPECT_EQ(ReadFile(t.File("out/Disto.DB")), "ancienne table");
}

TEST(ZipHostile, DamagedDirectoriesAreReportedNeverCrash) {
  TempDir t;
  MakeArchive(t.File("base.zip"), {{"a.txt", TextBytes(5000, 41)}, {"b.txt", TextBytes(5000, 42)}});
  const QByteArray good = ReadFile(t.File("base.zip"));
  auto listed = [&](const QByteArray& bytes, int& err) {
    WriteFile(t.File("x.zip"), bytes);
    auto z = NewZip();
    z->SetZipFileName(t.File("x.zip"));
    err = z->ErrCode;
    return z->ZipFileName().isEmpty() ? -1 : z->EntryCount();
  };
  int err = 0;
  EXPECT_EQ(listed(good, err), 2);

  // Truncated: no end record any more.
  EXPECT_EQ(listed(good.left(good.size() / 2), err), -1);
  EXPECT_EQ(err, 11036);
  // Shorter than an end record, and not an archive at all.
  EXPECT_EQ(listed("PK", err), -1);
  EXPECT_EQ(err, 11036);
  EXPECT_EQ(listed(TextBytes(3000, 43), err), -1);
  EXPECT_EQ(err, 11036);
  // A damaged central header signature.
  QByteArray bad = good;
  const qint64 cd = bad.lastIndexOf(QByteArray("PK\x01\x02", 4));
  bad[cd + 3] = 9;
  EXPECT_EQ(listed(bad, err), -1);
  EXPECT_EQ(err, 11015);
  // An end record that claims far more entries and a larger directory than there are.
  bad = good;
  const qint64 eocd = bad.lastIndexOf(QByteArray("PK\x05\x06", 4));
  bad[eocd + 10] = char(0xFF);
  bad[eocd + 11] = char(0xFF);
  EXPECT_EQ(listed(bad, err), -1);
  bad = good;
  bad[eocd + 14] = char(0x7F);
  EXPECT_EQ(listed(bad, err), -1);
  EXPECT_EQ(err, 10201);
  // A central header whose name length runs past the file.
  bad = good;
  const qint64 cd2 = bad.lastIndexOf(QByteArray("PK\x01\x02", 4));
  bad[cd2 + 28] = char(0xFF);
  bad[cd2 + 29] = char(0xFF);
  EXPECT_EQ(listed(bad, err), -1);
  // A comment length beyond the end of the file: the comment is cut at what is there.
  bad = good;
  bad[eocd + 20] = 50;
  bad += "tronque";
  EXPECT_EQ(listed(bad, err), 2);

  // Trailing text warns and still lists and extracts; zeros up to a 512 boundary do not warn.
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  WriteFile(t.File("trail.zip"), good + QByteArray("du texte en trop à la fin\n").repeated(4));
  z->SetZipFileName(t.File("trail.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_TRUE(rec.HasMessage("Avertissement - Symbols incorrects à la fin du fichier ZIP!"));
  z->ExtrBaseDir = t.File("trail/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  rec.messages.clear();
  QByteArray padded = good;
  padded += QByteArray(512 - padded.size() % 512, '\0');
  WriteFile(t.File("pad.zip"), padded);
  z->SetZipFileName(t.File("pad.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_FALSE(rec.HasMessage("Avertissement"));

  // An empty archive, and one with a comment found by the backward search.
  QByteArray empty(22, '\0');
  empty[0] = 'P'; empty[1] = 'K'; empty[2] = 5; empty[3] = 6;
  WriteFile(t.File("empty.zip"), empty);
  z->SetZipFileName(t.File("empty.zip"));
  EXPECT_EQ(z->EntryCount(), 0);
  EXPECT_EQ(z->DataOffset, 0);
  EXPECT_FALSE(z->ZipFileName().isEmpty());
  QByteArray commented = good;
  commented[eocd + 20] = 10;
  commented += "0123456789";
  WriteFile(t.File("comment.zip"), commented);
  z->SetZipFileName(t.File("comment.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_EQ(z->ArchiveComment, "0123456789");

  // Program bytes in front of an archive whose offsets were not moved: listed with a warning.
  rec.messages.clear();
  WriteFile(t.File("front.zip"), QByteArray(1000, 'M') + good);
  z->SetZipFileName(t.File("front.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_TRUE(z->OffsetMismatch);
  EXPECT_EQ(z->DataOffset, 1000);
  EXPECT_TRUE(rec.HasMessage("Avertissement - La structure de l'archive est erronnée!"));
}

// Damage anywhere in an archive, plain, encrypted or split in parts: listed, extracted and joined
// without a crash, and nothing lands outside the folders the user named.
TEST(ZipHostile, RandomDamageNeverCrashesNorWritesOutside) {
  TempDir t;
  WriteFile(t.File("src/a.txt"), TextBytes(20000, 51));
  WriteFile(t.File("src/b.gif"), RandomBytes(3000, 52));
  WriteFile(t.File("src/c.txt"), TextBytes(500, 53));
  std::vector<QByteArray> goods;
  for (bool encrypted : {false, true}) {
    auto z = NewZip();
    z->SetZipFileName(t.File(encrypted ? "enc.zip" : "plain.zip"));
    if (encrypted) {
      z->AddOptions << AddEncrypt;
      z->Password = "secret";
    }
    z->FSpecArgs << t.File("src/*.*");
    z->Add();
    ASSERT_EQ(z->SuccessCount, 3);
    goods.push_back(ReadFile(z->ZipFileName()));
  }
  QDir().mkpath(t.File("parts"));
  {
    auto z = NewZip();
    z->MaxVolumeSize = goods[0].size() / 3 + 200;
    z->MinFreeVolumeSize = 0;
    ASSERT_EQ(z->WriteSpan(t.File("plain.zip"), t.File("parts/S.zip")), 0);
  }
  const QStringList parts = QDir(t.File("parts")).entryList(QDir::Files);
  ASSERT_GE(parts.size(), 3);
  std::vector<QByteArray> goodParts;
  for (const QString& p : parts) goodParts.push_back(ReadFile(t.File("parts/") + p));

  const QStringList before = FilesUnder(t.Path());
  unsigned seed = 2026;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
  auto damage = [&](QByteArray b, bool cut) {
    for (int f = 0, n = 1 + int(next() % 4); f < n; ++f) b[int(next() % unsigned(b.size()))] = char(next());
    if (cut) b.truncate(int(next() % unsigned(b.size())));
    return b;
  };
  for (int it = 0; it < 240; ++it) {
    const QString dir = t.File(QString("w%1/").arg(it));
    auto y = NewZip();
    y->Password = "secret";
    y->SetPasswordReqCount(1);
    y->ExtrOptions << ExtrDirNames << ExtrOverWrite;
    y->ExtrBaseDir = dir + "out/";
    if (it % 3 == 2) {  // a damaged part of a split set, joined then extracted
      QDir().mkpath(dir);
      const int victim = int(next() % unsigned(parts.size()));
      for (int k = 0; k < parts.size(); ++k)
        WriteFile(dir + parts[k], k == victim ? damage(goodParts[size_t(k)], it % 4 == 0) : goodParts[size_t(k)]);
      y->SetZipFileName(dir + parts.last());
    } else {
      WriteFile(dir + "x.zip", damage(goods[size_t(it % 3)], it % 5 == 0));
      y->SetZipFileName(dir + "x.zip");
    }
    y->FSpecArgs << "*.*";
    y->Extract();
  }
  for (const QString& f : FilesUnder(t.Path())) {
    if (!before.contains(f)) {
      EXPECT_TRUE(f.startsWith("w")) << f.toStdString();
    }
  }
}
