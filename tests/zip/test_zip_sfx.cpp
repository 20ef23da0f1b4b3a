// Self-extracting programs built on a small Windows executable stub made here.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "ZipTestSupport.h"

namespace {

void Put16(QByteArray& b, int at, int v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
void Put32(QByteArray& b, int at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

constexpr int kIconAt = 0x200 + 0x60;  // file offset of the stub's 744-byte icon image

// A PE file whose resource section holds one icon (type 3, id 1) of 744 bytes.
QByteArray MakeStub() {
  QByteArray b(0x600, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 60, 0x80);
  const int pe = 0x80;
  b.replace(pe, 4, QByteArray("PE\0\0", 4));
  Put16(b, pe + 4, 0x14C);
  Put16(b, pe + 6, 1);      // one section
  Put16(b, pe + 20, 224);   // optional header size
  const int opt = pe + 24;
  Put16(b, opt, 0x10B);
  Put32(b, opt + 96 + 16, 0x1000);  // resource directory
  Put32(b, opt + 96 + 20, 0x348);
  const int sec = pe + 248;
  b.replace(sec, 8, QByteArray(".rsrc\0\0\0", 8));
  Put32(b, sec + 8, 0x348);
  Put32(b, sec + 12, 0x1000);
  Put32(b, sec + 16, 0x400);
  Put32(b, sec + 20, 0x200);
  const int r = 0x200;
  Put16(b, r + 14, 1);
  Put32(b, r + 16, 3);
  Put32(b, r + 20, 0x80000000u | 0x18);
  Put16(b, r + 0x18 + 14, 1);
  Put32(b, r + 0x18 + 16, 1);
  Put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
  Put16(b, r + 0x30 + 14, 1);
  Put32(b, r + 0x30 + 16, 0x40C);
  Put32(b, r + 0x30 + 20, 0x48);
  Put32(b, r + 0x48, 0x1000 + 0x60);
  Put32(b, r + 0x48 + 4, 744);
  for (int i = 0; i < 744; ++i) b[kIconAt + i] = char(0x11);
  return b;
}

QByteArray MakeIcon(int imageSize, char fill) {
  QByteArray ico(6 + 16 + imageSize, fill);
  Put16(ico, 0, 0);
  Put16(ico, 2, 1);
  Put16(ico, 4, 1);
  return ico;
}

}  // namespace

TEST(ZipSfx, ConvertsAnArchiveBehindTheStub) {
  TempDir t;
  const QByteArray stub = MakeStub();
  WriteFile(t.File("stub/SFXSTUB.BIN"), stub);
  WriteFile(t.File("data/CLIENT.DB"), TextBytes(8000, 51));
  WriteFile(t.File("data/Titre.DB"), RandomBytes(3000, 52));
  auto z = NewZip();
  z->HowToDelete = htdFinal;
  z->SetZipFileName(t.File("BACKUP.zip"));
  z->FSpecArgs << t.File("data/*.*");
  z->Add();
  ASSERT_EQ(z->SuccessCount, 2);

  // The stub is looked for and not found: nothing changes.
  z->SFXPath = t.File("nowhere/SfxStub.bin");
  EXPECT_EQ(z->MakeSelfExtracting(), -9);
  EXPECT_EQ(z->ErrCode, 10802);
  EXPECT_TRUE(QFileInfo::exists(t.File("BACKUP.zip")));

  // Empty texts: a 12-byte header; default options give option byte 0.
  z->SFXCaption.clear();
  z->SFXPath = t.File("stub/SFXSTUB.BIN");
  EXPECT_EQ(z->MakeSelfExtracting(), 0);
  EXPECT_FALSE(QFileInfo::exists(t.File("BACKUP.zip")));
  EXPECT_EQ(z->ZipFileName(), t.File("BACKUP.exe"));
  const QByteArray exe = ReadFile(t.File("BACKUP.exe"));
  EXPECT_EQ(exe.left(stub.size()), stub);
  EXPECT_EQ(exe.mid(stub.size(), 12), QByteArray("MPV\0\0\x01\x0C\0\0\0\0\0", 12));
  EXPECT_EQ(z->EntryCount(), 2);
  EXPECT_EQ(z->DataOffset, stub.size() + 12);
  EXPECT_FALSE(z->OffsetMismatch);
  if (HaveTool("unzip")) {
    const RunResult r = RunTool("unzip", {"-tq", t.File("BACKUP.exe")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
  }
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(ReadFile(t.File("out/Titre.DB")), ReadFile(t.File("data/Titre.DB")));
}

TEST(ZipSfx, HeaderTextsIconAndFailures) {
  TempDir t;
  WriteFile(t.File("SFXSTUB.BIN"), MakeStub());
  WriteFile(t.File("data/a.txt"), TextBytes(2000, 53));
  auto make = [&](const QString& name) {
    auto z = NewZip();
    z->HowToDelete = htdFinal;
    z->SFXPath = t.File("SFXSTUB.BIN");
    z->SetZipFileName(t.File(name));
    z->FSpecArgs << t.File("data/a.txt");
    z->Add();
    return z;
  };

  // A ten-character caption: L = 24; the icon goes into the stub's slot.
  auto z = make("ICON.zip");
  z->SFXCaption = "Sauvegarde";
  z->SFXOverWriteMode = OvrAlways;
  z->SFXOptions = {SFXAutoRun};
  z->SetSFXIcon(MakeIcon(744, char(0x77)));
  EXPECT_EQ(z->MakeSelfExtracting(), 0);
  QByteArray exe = ReadFile(t.File("ICON.exe"));
  EXPECT_EQ(exe.mid(kIconAt, 744), QByteArray(744, char(0x77)));
  const int stubSize = MakeStub().size();
  EXPECT_EQ(int(uchar(exe[stubSize + 3])), 8 | 32 | 64);
  EXPECT_EQ(int(uchar(exe[stubSize + 6])), 24);
  EXPECT_EQ(exe.mid(stubSize + 8, 11), QByteArray("\x0ASauvegarde"));
  EXPECT_EQ(z->DataOffset, stubSize + 24);

  // A larger icon cannot go in: the output is deleted, the archive stays.
  auto big = make("BIG.zip");
  big->SetSFXIcon(MakeIcon(2000, char(0x22)));
  EXPECT_EQ(big->MakeSelfExtracting(), -12);
  EXPECT_FALSE(QFileInfo::exists(t.File("BIG.exe")));
  EXPECT_EQ(big->ZipFileName(), t.File("BIG.zip"));
  EXPECT_TRUE(QFileInfo::exists(t.File("BIG.zip")));

  // Texts over 255 characters, and an input that is not a .zip.
  auto txt = make("TXT.zip");
  txt->SFXMessage = QString(300, 'x');
  EXPECT_EQ(txt->MakeSelfExtracting(), -9);
  EXPECT_EQ(txt->ErrCode, 10801);
  EXPECT_TRUE(txt->Message.endsWith("= 337"));
  auto other = make("OTHER.arc");
  EXPECT_EQ(other->MakeSelfExtracting(), -9);
  EXPECT_EQ(other->ErrCode, 10803);

  // Adding to a new ".exe" starts a self-extracting archive and adds behind the program.
  auto n = NewZip();
  n->SFXPath = t.File("SFXSTUB.BIN");
  n->SFXCaption.clear();
  n->SetZipFileName(t.File("NEW.EXE"));
  n->FSpecArgs << t.File("data/a.txt");
  n->Add();
  EXPECT_EQ(n->SuccessCount, 1);
  EXPECT_EQ(n->EntryCount(), 1);
  EXPECT_EQ(ReadFile(t.File("NEW.EXE")).left(stubSize), MakeStub());
  EXPECT_EQ(n->DataOffset, stubSize + 12);
  if (HaveTool("unzip")) {
    EXPECT_EQ(RunTool("unzip", {"-tq", t.File("NEW.EXE")}).code, 0);
  }
  // Without a stub the program says so.
  auto none = NewZip();
  none->SFXPath = t.File("missing.bin");
  none->SetZipFileName(t.File("NONE.EXE"));
  none->FSpecArgs << t.File("data/a.txt");
  none->Add();
  EXPECT_EQ(none->SuccessCount, 0);
  EXPECT_EQ(none->ErrCode, 10304);
  EXPECT_FALSE(QFileInfo::exists(t.File("NONE.EXE")));
}

// An archive with zip64 records (another tool's): a program that opens, or no program and the
// archive kept; never a program whose archive is broken.
TEST(ZipSfx, AnArchiveWithZip64RecordsBecomesASoundProgramOrStays) {
  if (!HaveTool("zip") || !HaveTool("unzip")) GTEST_SKIP() << "zip or unzip missing";
  TempDir t;
  WriteFile(t.File("stub/SFXSTUB.BIN"), MakeStub());
  WriteFile(t.File("src/CLIENT.DB"), TextBytes(9000, 61));
  ASSERT_EQ(RunTool("zip", {"-q", "-fz", t.File("Z64.zip"), "CLIENT.DB"}, t.File("src")).code, 0);
  const QByteArray zip = ReadFile(t.File("Z64.zip"));
  auto z = NewZip();
  z->HowToDelete = htdFinal;
  z->SetZipFileName(t.File("Z64.zip"));
  ASSERT_EQ(z->EntryCount(), 1);
  z->SFXPath = t.File("stub/SFXSTUB.BIN");
  const int result = z->MakeSelfExtracting();
  if (result == 0) {
    const RunResult r = RunTool("unzip", {"-tq", t.File("Z64.exe")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_EQ(z->EntryCount(), 1);
  } else {
    EXPECT_EQ(ReadFile(t.File("Z64.zip")), zip);
    EXPECT_FALSE(QFileInfo::exists(t.File("Z64.exe")));
  }
}
