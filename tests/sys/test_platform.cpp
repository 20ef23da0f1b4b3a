#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>

#include "platform/sys/Files.h"
#include "platform/sys/IniFiles.h"
#include "platform/sys/Jpeg.h"
#include "platform/sys/Programs.h"
#include "platform/sys/Registry.h"
#include "support/TestSupport.h"

namespace {

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

}  // namespace

TEST(IniFile, FindsSectionsAndKeysIgnoringCaseAndKeepsTheRestOfTheFile) {
  TempDir dir;
  const QString path = dir.File("ZELM.INI");
  WriteFile(path, "; réglages\r\n[Params]\r\nExer = 2005\r\nImage=fond.bmp\r\n\r\n[window]\r\nstate=0\r\n[Autre]\r\nX=\"  a b \"\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("PARAMS", "EXER", "x"), "2005");
  EXPECT_EQ(ini.ReadString("WINDOW", "STATE", "1"), "0");
  EXPECT_EQ(ini.ReadString("autre", "x", ""), "  a b ");
  EXPECT_EQ(ini.ReadString("PARAMS", "NOLISTE", "7"), "7");
  EXPECT_EQ(ini.ReadString("NOSECTION", "EXER", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("PARAMS", "EXER", 0), 2005);
  EXPECT_EQ(ini.ReadInteger("PARAMS", "IMAGE", -1), -1);

  ini.WriteString("PARAMS", "EXER", "2006");        // existing key, other spelling kept
  ini.WriteString("params", "NOLISTE", "3");        // new key goes into its section
  ini.WriteString("DIVERS", "A", "1");              // new section at the end
  EXPECT_EQ(QString::fromUtf8(ReadFile(path)),
            "; réglages\r\n[Params]\r\nExer=2006\r\nImage=fond.bmp\r\nNOLISTE=3\r\n\r\n[window]\r\nstate=0\r\n"
            "[Autre]\r\nX=\"  a b \"\r\n[DIVERS]\r\nA=1\r\n");
  EXPECT_EQ(ini.ReadSection("PARAMS"), QStringList({"Exer", "Image", "NOLISTE"}));
  EXPECT_TRUE(ini.SectionExists("window"));
  EXPECT_TRUE(ini.ValueExists("Params", "image"));
  ini.DeleteKey("PARAMS", "IMAGE");
  EXPECT_FALSE(ini.ValueExists("PARAMS", "IMAGE"));
  ini.EraseSection("Autre");
  EXPECT_FALSE(ini.SectionExists("AUTRE"));
  EXPECT_TRUE(ini.SectionExists("DIVERS"));

  // Two objects on one file agree at once, and a missing file is made on the first write.
  TIniFile other(path);
  other.WriteString("WINDOW", "STATE", "1");
  EXPECT_EQ(ini.ReadString("WINDOW", "STATE", ""), "1");
  TIniFile fresh(dir.File("NEW.INI"));
  EXPECT_EQ(fresh.ReadString("S", "K", "def"), "def");
  fresh.WriteString("S", "K", "v");
  EXPECT_EQ(QString::fromUtf8(ReadFile(dir.File("NEW.INI"))), "[S]\nK=v\n");
}

TEST(IniFile, KeepsALatin1FileInLatin1) {
  TempDir dir;
  const QString path = dir.File("DJ.INI");
  WriteFile(path, QByteArray("[PRINT]\nDEB=r\xe9gion\n"));
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("PRINT", "DEB", ""), QString::fromUtf8("région"));
  ini.WriteString("PRINT", "FIN", "x");
  EXPECT_EQ(ReadFile(path), QByteArray("[PRINT]\nDEB=r\xe9gion\nFIN=x\n"));
}

TEST(IniFile, AWriteThatCannotBeStoredRaises) {
  TempDir dir;
  TIniFile ini(dir.File("missing-folder/ZELM.INI"));
  EXPECT_THROW(ini.WriteString("PARAMS", "EXER", "2005"), EIniFileException);
}

TEST(Registry, KeepsKeysAndValuesPerRootInItsOwnStore) {
  TempDir dir;
  ScopedEnv env("ZELM_REGISTRY_DIR", dir.File("reg").toUtf8());
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    EXPECT_FALSE(reg.OpenKey("Control Panel\\International", false));
    ASSERT_TRUE(reg.OpenKey("Control Panel\\International\\", true));
    reg.WriteString("sDecimal", ".");
    reg.WriteString("sShortDate", "dd/MM/yyyy");
    reg.CloseKey();
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);  // no key open
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\TOLVAN\\VERIRIV", true));
    reg.CloseKey();
  }
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("control panel\\INTERNATIONAL", false));
  EXPECT_EQ(reg.ReadString("SDECIMAL"), ".");
  EXPECT_EQ(reg.ReadString("sShortDate"), "dd/MM/yyyy");
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_FALSE(reg.KeyExists("\\SOFTWARE\\TOLVAN"));  // that key lives under the other root
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\TOLVAN"));
  EXPECT_TRUE(reg.KeyExists("\\software\\tolvan\\veririv"));
  EXPECT_TRUE(QFile::exists(dir.File("reg/HKEY_CURRENT_USER.ini")));
  EXPECT_TRUE(QFile::exists(dir.File("reg/HKEY_LOCAL_MACHINE.ini")));
}

TEST(Files, DosMasksIgnoreCaseAndLeaveTheEnginesJournalsAlone) {
  EXPECT_TRUE(MatchesMask("_qs0001.db", "_QS*.*"));
  EXPECT_TRUE(MatchesMask("_QS12", "_QS*.*"));          // no extension at all
  EXPECT_TRUE(MatchesMask("PDOXUSRS.NET", "PDOXUSRS.*"));
  EXPECT_TRUE(MatchesMask("pdoxusrs.lck", "PDOXUSRS.*"));
  EXPECT_TRUE(MatchesMask("PDOXUSRS", "PDOXUSRS.*"));
  EXPECT_FALSE(MatchesMask("PDOXUSRS2.NET", "PDOXUSRS.*"));
  EXPECT_TRUE(MatchesMask("Client.PX", "CLIENT.*"));
  EXPECT_TRUE(MatchesMask("CLIENT.DB", "CLIENT.*"));
  EXPECT_FALSE(MatchesMask("CLIENTS.DB", "CLIENT.*"));
  EXPECT_TRUE(MatchesMask("README", "*.*"));
  EXPECT_TRUE(MatchesMask("a.b.c", "*.*"));
  EXPECT_TRUE(MatchesMask("ZELM_3.zip", "ZELM??.zip"));
  EXPECT_FALSE(MatchesMask("ZELM_33.zip", "ZELM??.zip"));
  EXPECT_FALSE(MatchesMask("CLIENT.DB-journal", "CLIENT.*"));
  EXPECT_FALSE(MatchesMask("CLIENT.DB-journal", "*.*"));

  TempDir dir;
  for (const char* n : {"CLIENT.DB", "client.px", "CLIENT.DB-journal", "CLIENTS.DB", "Titre.DB"})
    WriteFile(dir.File(n), "x");
  QDir().mkdir(dir.File("Client.dir"));
  EXPECT_EQ(FindFiles(dir.Path(), "CLIENT.*"), QStringList({"CLIENT.DB", "Client.dir", "client.px"}));
}

TEST(Files, QuestionMarksMatchOneCharacterOrFewerBeforeTheExtension) {
  // A run of "?" before the extension or at the end may stand for fewer characters...
  EXPECT_TRUE(MatchesMask("ZELM.zip", "ZELM??.zip"));
  EXPECT_TRUE(MatchesMask("ZELM_.zip", "ZELM??.zip"));
  EXPECT_TRUE(MatchesMask("zelm_3.ZIP", "ZELM??.zip"));
  EXPECT_FALSE(MatchesMask("ZELM_10.zip", "ZELM??.zip"));
  EXPECT_FALSE(MatchesMask("ZELM_3.zip-journal", "ZELM??.zip"));
  EXPECT_TRUE(MatchesMask("NOTE.", "NOTE.??"));
  EXPECT_TRUE(MatchesMask("NOTE.t", "NOTE.??"));
  EXPECT_TRUE(MatchesMask("note.TX", "NOTE.??"));
  EXPECT_FALSE(MatchesMask("NOTE.TXT", "NOTE.??"));
  EXPECT_TRUE(MatchesMask("AB", "AB??"));
  // ...elsewhere each "?" is exactly one character, an accented one included.
  EXPECT_TRUE(MatchesMask("ABC", "A?C"));
  EXPECT_FALSE(MatchesMask("AC", "A?C"));
  EXPECT_FALSE(MatchesMask("ABBC", "A?C"));
  EXPECT_FALSE(MatchesMask("Z_3.zip", "??_?.zip"));
  EXPECT_TRUE(MatchesMask("Région.db", "R?GION.DB"));
  EXPECT_TRUE(MatchesMask("RÉGION.DB", "région.*"));
  EXPECT_TRUE(MatchesMask("ZELM_12.zip", "ZELM*?.zip"));
  EXPECT_TRUE(MatchesMask("ZELM.zip", "*?.zip"));
  EXPECT_FALSE(MatchesMask("ZELM.zip", "ZELM?*.zip"));

  TempDir dir;
  for (const char* n : {"ZELM.zip", "ZELM_0.zip", "zelm_9.ZIP", "ZELM_10.zip", "ZELM_3.zip-journal", "ZELMzip"})
    WriteFile(dir.File(n), "x");
  EXPECT_EQ(FindFiles(dir.Path(), "ZELM??.zip"), QStringList({"ZELM.zip", "ZELM_0.zip", "zelm_9.ZIP"}));
}

TEST(Files, ReadOnlyAttributeAndPaths) {
  TempDir dir;
  const QString f = dir.File("a.txt");
  WriteFile(f, "x");
  EXPECT_FALSE(IsReadOnly(f));
  ASSERT_TRUE(SetReadOnly(f, true));
  EXPECT_TRUE(IsReadOnly(f));
  ASSERT_TRUE(SetReadOnly(f, false));
  EXPECT_FALSE(IsReadOnly(f));
  EXPECT_EQ(ExtractFileName("/a/b/c.bmp"), "c.bmp");
  EXPECT_EQ(ExtractFilePath("/a/b/c.bmp"), "/a/b/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_FALSE(CreateDir(dir.File("x/y")));  // one level only
  EXPECT_TRUE(ForceDirectories(dir.File("x/y")));
  EXPECT_TRUE(DirectoryExists(dir.File("x/y")));
  EXPECT_FALSE(DeleteFile(dir.File("x")));
}

TEST(Programs, StartsTheFirstCalculatorFoundOnThePath) {
  TempDir dir;
  ScopedEnv path("PATH", dir.Path().toUtf8());
  EXPECT_EQ(StartCalculator(), EXEC_FILENOTFOUND);

  const QString marker = dir.File("started");
  WriteFile(dir.File("xcalc"), ("#!/bin/sh\n: > '" + marker + "'\n").toUtf8());
  QFile::setPermissions(dir.File("xcalc"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(FindProgram(CalculatorPrograms()), dir.File("xcalc"));
  EXPECT_GT(StartCalculator(), 31);
  for (int i = 0; i < 200 && !QFile::exists(marker); ++i) QThread::msleep(10);
  EXPECT_TRUE(QFile::exists(marker));

  WriteFile(dir.File("notexec"), "x");
  EXPECT_EQ(StartProgram(dir.File("notexec")), EXEC_BADFORMAT);
  EXPECT_EQ(StartProgram(dir.File("none")), EXEC_FILENOTFOUND);
}

TEST(Jpeg, DecodesThroughLibjpegAndRefusesWhatIsNotJpeg) {
  QImage src(40, 30, QImage::Format_RGB32);
  src.fill(QColor(200, 40, 40));
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 30; ++y) src.setPixel(x, y, qRgb(20, 40, 220));
  QByteArray data;
  QBuffer buf(&data);
  buf.open(QIODevice::WriteOnly);
  ASSERT_TRUE(src.save(&buf, "JPG", 95));

  const QImage img = DecodeJpeg(data);
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.size(), QSize(40, 30));
  const QColor left = img.pixelColor(5, 15), right = img.pixelColor(35, 15);
  EXPECT_NEAR(left.blue(), 220, 12);
  EXPECT_NEAR(right.red(), 200, 12);

  EXPECT_TRUE(DecodeJpeg("not a picture at all").isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(LoadJpegFile("/nonexistent.jpg").isNull());
}
