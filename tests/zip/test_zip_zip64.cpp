// Archives with zip64 end records: over 4 GB, over 65,535 entries, or written so by a tool.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <zip.h>

#include "ZipTestSupport.h"
#include "Zip64Archive.h"

namespace {

const ZipDirEntry* Find(const TZipArchiver& z, const QString& name) {
  for (const ZipDirEntry& e : z.DirEntries)
    if (e.FileName == name) return &e;
  return nullptr;
}

}  // namespace

TEST(ZipZip64, AnInfoZipArchiveWithZip64RecordsListsAndExtracts) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip missing";
  TempDir t;
  const QByteArray a = TextBytes(70000, 1), b = RandomBytes(3000, 2);
  WriteFile(t.File("src/a.txt"), a);
  WriteFile(t.File("src/sub/b.bin"), b);
  ASSERT_EQ(RunTool("zip", {"-q", "-r", "-fz", t.File("z64.zip"), "a.txt", "sub"}, t.File("src")).code, 0);
  const QByteArray archive = ReadFile(t.File("z64.zip"));
  ASSERT_GE(archive.indexOf(QByteArray("PK\x06\x06", 4)), 0) << "zip wrote no zip64 end record";

  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("z64.zip"));
  ASSERT_EQ(z->ZipFileName(), t.File("z64.zip")) << (rec.messages.empty() ? "" : rec.messages[0].second.toStdString());
  EXPECT_EQ(z->EntryCount(), 2);  // the folder's own entry is dropped
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_FALSE(z->OffsetMismatch);
  EXPECT_EQ(z->DataOffset, 0);
  const ZipDirEntry* ea = Find(*z, "a.txt");
  ASSERT_TRUE(ea);
  EXPECT_EQ(ea->UncompressedSize64, uint64_t(a.size()));
  EXPECT_EQ(ea->RelOffLocalHdr64, 0u);
  ASSERT_TRUE(Find(*z, "sub/b.bin"));
  z->ExtrBaseDir = t.File("out/");
  z->ExtrOptions << ExtrDirNames;
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(ReadFile(t.File("out/a.txt")), a);
  EXPECT_EQ(ReadFile(t.File("out/sub/b.bin")), b);

  // Program bytes in front, offsets not moved: the records are still found, 4096 bytes on.
  WriteFile(t.File("front.zip"), QByteArray(4096, 'M') + archive);
  z->SetZipFileName(t.File("front.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_EQ(z->DataOffset, 4096);
  EXPECT_TRUE(z->OffsetMismatch);
}

TEST(ZipZip64, MoreThan65535EntriesAreAllListed) {
  TempDir t;
  const int n = 65600;
  int err = 0;
  zip_t* za = zip_open(t.File("many.zip").toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_TRUE(za);
  for (int i = 0; i < n; ++i) {
    const QByteArray name = "f" + QByteArray::number(i) + ".txt";
    static const char body[] = "x";
    zip_source_t* s = zip_source_buffer(za, body, 1, 0);
    ASSERT_GE(zip_file_add(za, name.constData(), s, 0), 0);
    zip_set_file_compression(za, zip_uint64_t(i), ZIP_CM_STORE, 0);
  }
  ASSERT_EQ(zip_close(za), 0);

  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  int lastSeq = 0;
  z->OnNewName = [&](QObject*, int seq, const ZipDirEntry&) { lastSeq = seq; };
  z->SetZipFileName(t.File("many.zip"));
  EXPECT_TRUE(rec.messages.empty());
  ASSERT_EQ(z->EntryCount(), n);
  EXPECT_EQ(lastSeq, n);
  EXPECT_EQ(z->DirEntries.back().FileName, "f65599.txt");
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "f65599.txt";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(ReadFile(t.File("out/f65599.txt")), "x");
}

TEST(ZipZip64, AnArchiveOverFourGigabytesListsAndExtracts) {
  TempDir t;
  const QByteArray small = "bonjour\n";
  ASSERT_TRUE(zip64::Write(t.File("gros.zip"), {{"gros.bin", "debut", 5 * 1024, 0}, {"petit.txt", small, 0, 0}}));
  ASSERT_GT(QFileInfo(t.File("gros.zip")).size(), qint64(5) << 30);
  if (HaveTool("unzip")) {  // the archive is sound for another reader too
    const RunResult r = RunTool("unzip", {"-l", t.File("gros.zip")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("5368709125")) << r.out.toStdString();
  }

  for (const qint64 front : {qint64(0), qint64(512)}) {
    SCOPED_TRACE(front);
    QString name = t.File("gros.zip");
    if (front) {
      name = t.File("devant.zip");
      ASSERT_TRUE(zip64::Write(name, {{"gros.bin", "debut", 5 * 1024, 0}, {"petit.txt", small, 0, 0}},
                               QByteArray(front, 'M')));
    }
    auto z = NewZip();
    z->SetZipFileName(name);
    ASSERT_EQ(z->EntryCount(), 2);
    EXPECT_EQ(z->DataOffset, front);
    const ZipDirEntry* big = Find(*z, "gros.bin");
    const ZipDirEntry* little = Find(*z, "petit.txt");
    ASSERT_TRUE(big && little);
    EXPECT_EQ(big->UncompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(big->UncompressedSize64, (uint64_t(5) << 30) + 5);
    EXPECT_EQ(big->CompressedSize64, (uint64_t(5) << 30) + 5);
    EXPECT_EQ(little->RelOffLocalHdr64, 30 + 8 + 20 + (uint64_t(5) << 30) + 5);
    EXPECT_EQ(z->CentralDirOffset, front + qint64(little->RelOffLocalHdr64) + 30 + 9 + 20 + small.size());
  }

  auto z = NewZip();
  z->SetZipFileName(t.File("gros.zip"));
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "petit.txt";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(ReadFile(t.File("out/petit.txt")), small);
}

TEST(ZipZip64, DamagedZip64RecordsAreReportedNotFollowed) {
  TempDir t;
  ASSERT_TRUE(zip64::Write(t.File("bon.zip"), {{"a.txt", "aaa", 0, 0}, {"b.txt", "bbbb", 0, 0}}));
  const QByteArray good = ReadFile(t.File("bon.zip"));
  const int rec64 = good.lastIndexOf(QByteArray("PK\x06\x06", 4));
  const int loc = good.lastIndexOf(QByteArray("PK\x06\x07", 4));
  ASSERT_GT(rec64, 0);
  ASSERT_GT(loc, rec64);
  auto put64 = [](QByteArray& b, int at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
  };

  // Each damage: the listing fails with a report, names nothing past the file, and does not hang.
  QByteArray noRecord = good;
  noRecord[rec64 + 2] = 'X';  // neither where the locator says nor right before it
  QByteArray lostLocator = good;
  put64(lostLocator, loc + 8, 1ull << 62);
  lostLocator[rec64 + 2] = 'X';
  QByteArray manyEntries = good;
  put64(manyEntries, rec64 + 32, 1ull << 62);  // a count no directory of this size can hold
  QByteArray hugeDirectory = good;
  put64(hugeDirectory, rec64 + 40, 1ull << 62);
  QByteArray farDirectory = good;
  put64(farDirectory, rec64 + 48, 1ull << 63);
  for (const auto& [label, bytes] : std::vector<std::pair<const char*, QByteArray>>{
           {"noRecord", noRecord}, {"lostLocator", lostLocator}, {"manyEntries", manyEntries},
           {"hugeDirectory", hugeDirectory}}) {
    SCOPED_TRACE(label);
    WriteFile(t.File("abime.zip"), bytes);
    auto z = NewZip();
    Recorder rec;
    rec.Attach(*z);
    z->SetZipFileName(t.File("abime.zip"));
    EXPECT_TRUE(z->ZipFileName().isEmpty());
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_LE(z->DirEntries.size(), 2u);
  }
  // A far central directory offset in the record only moves the listing's reckoning; the
  // directory itself is found where it ends, before the records.
  WriteFile(t.File("loin.zip"), farDirectory);
  auto z = NewZip();
  z->SetZipFileName(t.File("loin.zip"));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_TRUE(z->OffsetMismatch);
}
