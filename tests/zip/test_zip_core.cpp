// The component's properties, library loading, adding, extracting, the callback and passwords.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>

#include "ZipTestSupport.h"

namespace {

QString MakeTree(const TempDir& t) {
  const QString src = t.File("src/");
  WriteFile(src + "CLIENT.DB", TextBytes(20000, 1));
  WriteFile(src + "CLIENT.PX", TextBytes(3000, 2));
  WriteFile(src + "Titre.DB", TextBytes(9000, 3));
  WriteFile(src + "sub/Deep.txt", TextBytes(500, 4));
  return src;
}

QStringList Names(const TZipArchiver& z) {
  QStringList n;
  for (const auto& e : z.DirEntries) n << e.FileName;
  n.sort();
  return n;
}

const ZipDirEntry* Entry(const TZipArchiver& z, const QString& name) {
  for (const auto& e : z.DirEntries)
    if (e.FileName == name) return &e;
  return nullptr;
}

}  // namespace

TEST(ZipProperties, DefaultsAndSetters) {
  TZipArchiver z;
  EXPECT_EQ(z.AddCompLevel, 9);
  EXPECT_EQ(z.MinZipLibVers(), 170);
  EXPECT_EQ(z.PasswordReqCount(), 1u);
  EXPECT_EQ(z.VersionInfo(), "1.70");
  EXPECT_TRUE(z.AddStoreSuffixes.Contains(assJAR));
  EXPECT_FALSE(z.AddStoreSuffixes.Contains(assEXE));
  EXPECT_TRUE(z.SFXOptions.Contains(SFXCheckSize));
  EXPECT_EQ(AddOpts{AddDiskSpan}.Bits(), 0x4000u);

  z.SetDLLDirectory("/opt/zip/");
  EXPECT_EQ(z.DLLDirectory(), "/opt/zip");
  z.SetDLLDirectory("/opt/zip");
  EXPECT_EQ(z.DLLDirectory(), "/opt/zip");
  z.SetPasswordReqCount(20);
  EXPECT_EQ(z.PasswordReqCount(), 15u);
  z.SetMinZipLibVers(100);
  EXPECT_EQ(z.MinZipLibVers(), 170);
  z.SetMinUnzLibVers(180);
  EXPECT_EQ(z.MinUnzLibVers(), 180);
  z.SetVersionInfo("2.00");
  EXPECT_EQ(z.VersionInfo(), "1.70");
  EXPECT_EQ(PathConcat("/a/", "/b"), "/a/b");
  EXPECT_EQ(PathConcat("/a", "b"), "/a/b");
  EXPECT_EQ(PathConcat("A:", "b"), "A:b");
}

TEST(ZipLibraries, SearchOrderAndVersionChecks) {
  TempDir t;
  const QString src = MakeTree(t);
  Recorder rec;
  auto z = NewZip();
  rec.Attach(*z);

  // A folder that does not hold the library: the program's own folder serves.
  z->SetDLLDirectory(t.Path());
  EXPECT_EQ(z->LoadZipLib(), 170);
  EXPECT_EQ(QFileInfo(z->GetZipLibPath()).absolutePath(), TZipArchiver::ProgramFolder());
  z->UnloadZipLib();

  // A folder beginning with "." is taken in the program's folder; this one holds an old library.
  z->SetDLLDirectory("./zipfakes/old");
  z->FSpecArgs << src + "*.*";
  z->SetZipFileName(t.File("a.zip"));
  z->Add();
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_EQ(z->ErrCode, 10605);
  EXPECT_TRUE(z->Message.startsWith("A tenté de charger vieux ZipLib de "));
  EXPECT_TRUE(z->Message.contains("zipfakes/old/libziplib.so"));
  EXPECT_FALSE(QFileInfo::exists(t.File("a.zip")));

  // An owner-loaded old library is unloaded too.
  rec.messages.clear();
  EXPECT_EQ(z->LoadZipLib(), 169);
  z->FSpecArgs << src + "*.*";
  z->Add();
  EXPECT_EQ(z->ErrCode, 10605);
  EXPECT_EQ(z->GetZipLibPath().contains("zipfakes/old"), true);  // loaded again only for the question

  // A library without its entry points.
  rec.messages.clear();
  z->SetDLLDirectory(TZipArchiver::ProgramFolder() + "/zipfakes/broken");
  z->FSpecArgs << src + "*.*";
  z->Add();
  QStringList texts;
  for (auto& m : rec.messages) texts << m.second;
  EXPECT_TRUE(texts.contains("ZipLibExec : fonction introuvable dans ZIPLIB.DLL!"));
  EXPECT_TRUE(texts.contains("GetZipLibVersion : fonction introuvable dans ZIPLIB.DLL!"));
  EXPECT_TRUE(texts.contains("ZIPLIB.DLL : librairie introuvable! unloaded"));
  EXPECT_FALSE(texts.join("|").contains("vieux"));
}

TEST(ZipAdd, RoundTripWithProgressInOrder) {
  TempDir t;
  const QString src = MakeTree(t);
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("ZELM.zip"));
  EXPECT_EQ(z->EntryCount(), 0);
  WriteFile(src + "CLIENT.DB-journal", "the engine's, not the backup's");
  z->FSpecArgs << src + "CLIENT.*" << src + "Titre.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 3);
  EXPECT_TRUE(z->FSpecArgs.isEmpty());
  EXPECT_EQ(Names(*z), (QStringList{"CLIENT.DB", "CLIENT.PX", "Titre.DB"}));
  EXPECT_EQ(z->DataOffset, 0);

  // File count, total size, then per file its name and bytes, and the end of the batch once, last.
  ASSERT_GE(rec.progress.size(), 4);
  EXPECT_EQ(rec.progress[0], "T:3");
  EXPECT_EQ(rec.progress[1], QString("S:%1").arg(20000 + 3000 + 9000));
  EXPECT_EQ(rec.Count("N:"), 3);
  EXPECT_EQ(rec.Count("E"), 1);
  EXPECT_EQ(rec.progress.last(), "E");
  EXPECT_EQ(rec.bytes, 32000);
  EXPECT_TRUE(rec.progress.contains("N:CLIENT.DB:20000"));

  const QString out = t.File("out/");
  z->ExtrBaseDir = out;
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 3);
  EXPECT_EQ(ReadFile(out + "CLIENT.DB"), ReadFile(src + "CLIENT.DB"));
  EXPECT_EQ(ReadFile(out + "Titre.DB"), ReadFile(src + "Titre.DB"));
  EXPECT_LE(std::abs(QFileInfo(out + "CLIENT.PX").lastModified().secsTo(QFileInfo(src + "CLIENT.PX").lastModified())), 2);
}

TEST(ZipAdd, SpecPrefixesPasswordPartsAndStoredSuffixes) {
  TempDir t;
  const QString src = MakeTree(t);
  WriteFile(src + "logo.gif", TextBytes(4000, 9));
  auto z = NewZip();
  z->SetZipFileName(t.File("p.zip"));
  z->AddOptions << AddEncrypt;
  z->Password = "general";
  z->FSpecArgs << ">" + src + "*.txt"       // recursion for this line only
               << src + "CLIENT.DB<"         // never encrypted
               << src + "CLIENT.PX<own pw"   // its own password
               << "|" + src + "logo.gif";    // no recursion, default password
  z->Add();
  EXPECT_EQ(z->SuccessCount, 4);
  ASSERT_TRUE(Entry(*z, "Deep.txt"));
  EXPECT_TRUE(Entry(*z, "Deep.txt")->Encrypted);
  EXPECT_FALSE(Entry(*z, "CLIENT.DB")->Encrypted);
  EXPECT_TRUE(Entry(*z, "CLIENT.PX")->Encrypted);
  EXPECT_EQ(Entry(*z, "logo.gif")->CompressionMethod, 0);
  EXPECT_EQ(Entry(*z, "CLIENT.DB")->CompressionMethod, 8);

  if (HaveTool("unzip")) {
    EXPECT_EQ(RunTool("unzip", {"-p", "-P", "own pw", t.File("p.zip"), "CLIENT.PX"}).out.toUtf8(), ReadFile(src + "CLIENT.PX"));
    EXPECT_EQ(RunTool("unzip", {"-p", "-P", "general", t.File("p.zip"), "Deep.txt"}).out.toUtf8(), ReadFile(src + "sub/Deep.txt"));
  }

  // Folder names kept on request, exclusions honoured.
  auto d = NewZip();
  d->SetZipFileName(t.File("d.zip"));
  d->RootDir = src;
  d->AddOptions << AddDirNames << AddRecurseDirs;
  d->FSpecArgs << "*.*";
  d->FSpecArgsExcl << "*.PX";
  d->Add();
  EXPECT_EQ(Names(*d), (QStringList{"CLIENT.DB", "Titre.DB", "logo.gif", "sub/Deep.txt"}));
  EXPECT_TRUE(d->FSpecArgsExcl.isEmpty());
}

TEST(ZipAdd, ReplacesEntriesUpdateAndFreshen) {
  TempDir t;
  const QString src = MakeTree(t);
  auto z = NewZip();
  z->SetZipFileName(t.File("r.zip"));
  z->FSpecArgs << src + "CLIENT.DB";
  z->Add();
  WriteFile(src + "CLIENT.DB", "nouveau contenu");
  z->FSpecArgs << src + "CLIENT.DB" << src + "Titre.DB";
  z->Add();
  EXPECT_EQ(z->EntryCount(), 2);  // replaced, not duplicated
  if (HaveTool("unzip")) {
    EXPECT_EQ(RunTool("unzip", {"-p", t.File("r.zip"), "CLIENT.DB"}).out, "nouveau contenu");
  }

  // Freshen: only entries already there, and only when the file is newer.
  SetMTime(src + "Titre.DB", QDateTime::currentDateTime().addDays(1));
  WriteFile(src + "CLIENT.PX", "px");
  z->AddOptions << AddFreshen;
  z->FSpecArgs << src + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(z->EntryCount(), 2);
  // Freshen and update together: update.
  z->AddOptions << AddUpdate;
  z->FSpecArgs << src + "*.*";
  z->Add();
  EXPECT_EQ(z->EntryCount(), 3);

  // Moving: the files go once they are in the archive; the archive takes its newest entry's time.
  WriteFile(t.File("move/m1.txt"), "un");
  WriteFile(t.File("move/m2.txt"), "deux");
  SetMTime(t.File("move/m1.txt"), QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
  SetMTime(t.File("move/m2.txt"), QDateTime(QDate(2024, 5, 2), QTime(12, 30)));
  auto m = NewZip();
  m->HowToDelete = htdFinal;
  m->AddOptions = {AddMove, AddZipTime};
  m->SetZipFileName(t.File("moved.zip"));
  m->FSpecArgs << t.File("move/*.txt");
  m->Add();
  EXPECT_EQ(m->SuccessCount, 2);
  EXPECT_TRUE(QDir(t.File("move")).entryList(QDir::Files).isEmpty());
  EXPECT_LE(std::abs(QFileInfo(t.File("moved.zip")).lastModified().secsTo(QDateTime(QDate(2024, 5, 2), QTime(12, 30)))), 2);
}

TEST(ZipAdd, KeepsNamesThatDifferOnlyInCase) {
  TempDir t;
  const QString site = t.File("site/");
  WriteFile(site + "Index.html", "<h1>Accueil</h1>");
  WriteFile(site + "index.html", "<p>redirection</p>");
  WriteFile(site + "img/LOGO.gif", RandomBytes(500, 61));
  WriteFile(site + "img/logo.gif", RandomBytes(700, 62));
  auto z = NewZip();
  z->SetZipFileName(t.File("site.zip"));
  z->RootDir = site;
  z->AddOptions << AddDirNames << AddRecurseDirs;
  z->FSpecArgs << "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 4);
  EXPECT_EQ(Names(*z), (QStringList{"Index.html", "img/LOGO.gif", "img/logo.gif", "index.html"}));

  // Adding one of them again replaces that one only.
  WriteFile(site + "index.html", "<p>nouvelle redirection</p>");
  z->FSpecArgs << site + "index.html";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(z->EntryCount(), 4);

  z->ExtrOptions << ExtrDirNames;
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 4);
  for (const QString n : {"Index.html", "index.html", "img/LOGO.gif", "img/logo.gif"})
    EXPECT_EQ(ReadFile(t.File("out/") + n), ReadFile(site + n)) << n.toStdString();
}

namespace {

// Lowers the soft limit of open files for as long as it lives.
struct OpenFileLimit {
  rlimit saved{};
  explicit OpenFileLimit(rlim_t soft) {
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = std::min(soft, saved.rlim_max);
    setrlimit(RLIMIT_NOFILE, &low);
  }
  ~OpenFileLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
};

}  // namespace

TEST(ZipAdd, ThousandsOfFilesUnderACommonOpenFileLimit) {
  TempDir t;
  const QString src = t.File("many/");
  constexpr int kFiles = 2000;
  for (int i = 0; i < kFiles; ++i)
    WriteFile(src + QString("F%1.txt").arg(i, 4, 10, QChar('0')), TextBytes(200 + i % 700, unsigned(i)));
  WriteFile(src + "photo.gif", RandomBytes(2000, 63));  // stored as it is
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("many.zip"));
  z->FSpecArgs << src + "*.*";
  {
    OpenFileLimit limit(1024);
    z->Add();
  }
  EXPECT_EQ(z->SuccessCount, kFiles + 1) << (rec.messages.empty() ? "" : rec.messages.back().second.toStdString());
  EXPECT_EQ(z->EntryCount(), kFiles + 1);
  {
    OpenFileLimit limit(1024);
    z->ExtrBaseDir = t.File("out/");
    z->FSpecArgs << "*.*";
    z->Extract();
  }
  EXPECT_EQ(z->SuccessCount, kFiles + 1);
  for (int i : {0, 1017, 1999}) {
    const QString name = QString("F%1.txt").arg(i, 4, 10, QChar('0'));
    EXPECT_EQ(ReadFile(t.File("out/") + name), TextBytes(200 + i % 700, unsigned(i)));
  }
  EXPECT_EQ(ReadFile(t.File("out/photo.gif")), RandomBytes(2000, 63));
}

// Blocks of text and of noise, with text repeated across the places a large file is cut at, so
// that the pieces must reach back into the bytes before them.
QByteArray MixedBytes(int mb) {
  QByteArray b;
  b.reserve(mb << 20);
  for (int i = 0; b.size() < (mb << 20); ++i) {
    if (i % 5 == 3) b += RandomBytes(200000, unsigned(i));
    else b += TextBytes(700000 + 1000 * i, unsigned(i % 3));
  }
  b.truncate(mb << 20);
  for (int cut = 8 << 20; cut < b.size(); cut += 8 << 20)
    b.replace(cut - 500, 12000, b.mid(cut - 30000, 12000));
  return b;
}

TEST(ZipAdd, LargeFileInPiecesRoundTripsUnderALowOpenFileLimit) {
  TempDir t;
  const QString src = t.File("big/");
  const QByteArray big = MixedBytes(20);
  WriteFile(src + "Disto.DB", big);
  for (int i = 0; i < 40; ++i) WriteFile(src + QString("T%1.DB").arg(i), TextBytes(3000 + i, unsigned(100 + i)));
  WriteFile(src + "vide.DB", QByteArray());
  auto z = NewZip();
  z->AddCompLevel = 6;  // as quick as the test should be; the pieces are cut the same at any level
  Recorder rec;
  rec.Attach(*z);
  const QString archive = t.File("big.zip");
  z->SetZipFileName(archive);

  // A cancel while the large file is under way leaves nothing behind.
  z->FSpecArgs << src + "*.*";
  bool cancelled = false;
  QString current;
  z->OnProgress = [&](QObject*, ProgressType p, const QString& name, qint64) {
    if (p == NewFile) current = name;
    if (p == ProgressUpdate && current == "Disto.DB" && !cancelled) z->Cancel = cancelled = true;
  };
  {
    OpenFileLimit limit(48);
    z->Add();
  }
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_EQ(QDir(t.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

  z->OnProgress = nullptr;
  rec.Attach(*z);
  z->FSpecArgs << src + "*.*";
  {
    OpenFileLimit limit(48);
    z->Add();
  }
  ASSERT_EQ(z->SuccessCount, 42) << (rec.messages.empty() ? "" : rec.messages.back().second.toStdString());
  EXPECT_EQ(rec.bytes, qint64(big.size()) + 40 * 3000 + 39 * 40 / 2);
  const ZipDirEntry* e = nullptr;
  for (const auto& d : z->DirEntries)
    if (d.FileName == "Disto.DB") e = &d;
  ASSERT_NE(e, nullptr);
  EXPECT_LT(e->CompressedSize, e->UncompressedSize / 2);

  if (HaveTool("unzip")) {
    const RunResult test = RunTool("unzip", {"-t", archive});
    EXPECT_EQ(test.code, 0) << test.out.toStdString();
  }
  if (HaveTool("7z")) {
    const RunResult seven = RunTool("7z", {"t", "-p-", archive});
    EXPECT_EQ(seven.code, 0) << seven.out.toStdString();
  }
  // Cutting the file costs next to nothing against one stream made by Info-ZIP.
  if (HaveTool("zip")) {
    ASSERT_EQ(RunTool("zip", {"-6", "-q", "-j", t.File("one.zip"), src + "Disto.DB"}).code, 0);
    auto one = NewZip();
    one->SetZipFileName(t.File("one.zip"));
    ASSERT_EQ(one->DirEntries.size(), 1u);
    EXPECT_LE(double(e->CompressedSize), 1.002 * double(one->DirEntries[0].CompressedSize));
  }
  {
    OpenFileLimit limit(48);
    z->ExtrBaseDir = t.File("out/");
    z->FSpecArgs << "*.*";
    z->Extract();
  }
  EXPECT_EQ(z->SuccessCount, 42);
  EXPECT_TRUE(ReadFile(t.File("out/Disto.DB")) == big);
  EXPECT_EQ(ReadFile(t.File("out/T39.DB")), TextBytes(3039, 139));
}

TEST(ZipMasks, QuestionMarksMayStandForFewerCharactersBeforeTheExtension) {
  TempDir t;
  for (const char* n : {"ZELM.zip", "ZELM_3.zip", "zelm_7.ZIP", "ZELM_10.zip", "ZELMzip"})
    WriteFile(t.File("backups/") + n, TextBytes(300, 71));
  auto z = NewZip();
  z->SetZipFileName(t.File("all.zip"));
  z->FSpecArgs << t.File("backups/ZELM??.zip");
  z->Add();
  EXPECT_EQ(Names(*z), (QStringList{"ZELM.zip", "ZELM_3.zip", "zelm_7.ZIP"}));

  z->FSpecArgs << t.File("backups/*.*");
  z->Add();
  EXPECT_EQ(z->EntryCount(), 5);
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "ZELM?.zip" << "ZELM_1?.ZIP";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(QDir(t.File("out/")).entryList(QDir::Files), (QStringList{"ZELM.zip", "ZELM_10.zip"}));

  // An engine's journal named on its own goes in; no mask with a wildcard takes it out again.
  WriteFile(t.File("data/CLIENT.DB"), TextBytes(900, 72));
  WriteFile(t.File("data/CLIENT.DB-journal"), "stale");
  z->FSpecArgs << t.File("data/CLIENT.DB") << t.File("data/CLIENT.DB-journal");
  z->Add();
  EXPECT_EQ(z->EntryCount(), 7);
  z->ExtrBaseDir = t.File("restored/");
  z->FSpecArgs << "client.*";
  z->Extract();
  EXPECT_EQ(QDir(t.File("restored/")).entryList(QDir::Files), QStringList{"CLIENT.DB"});
}

TEST(ZipAdd, FailureOrCancelLeavesTheArchiveAsItWas) {
  TempDir t;
  const QString src = MakeTree(t);
  auto z = NewZip();
  z->SetZipFileName(t.File("c.zip"));
  z->FSpecArgs << src + "Titre.DB";
  z->Add();
  const QByteArray before = ReadFile(t.File("c.zip"));
  int nested = -1;
  z->OnProgress = [&](QObject*, ProgressType p, const QString&, qint64) {
    if (p == NewFile) {
      z->FSpecArgs << src + "CLIENT.PX";
      z->Add();  // already adding: returns at once
      nested = z->SuccessCount;
      z->Cancel = true;
    }
  };
  z->FSpecArgs << src + "CLIENT.*";
  z->Add();
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_FALSE(z->Cancel);
  EXPECT_EQ(ReadFile(t.File("c.zip")), before);
  EXPECT_EQ(QDir(t.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"c.zip"});
}

TEST(ZipAdd, RefusedBeforeAnythingIsDone) {
  TempDir t;
  ScopedDialogs dlg;
  auto z = NewZip(false);
  z->Add();
  EXPECT_EQ(z->ErrCode, 10301);
  EXPECT_EQ(dlg->Messages().value(0), "Erreur - aucun fichier à compresser!");
  z->FSpecArgs << t.File("*.*");
  z->Add();
  EXPECT_EQ(z->ErrCode, 10102);
  z->Unattended = true;
  z->SetZipFileName(t.File("A.zip"));
  z->AddOptions << AddEncrypt;
  z->FSpecArgs << t.File("*.*");
  z->Add();
  EXPECT_EQ(z->ErrCode, 10302);
  z->AddOptions = {AddDiskSpan, AddUpdate};
  z->Add();
  EXPECT_EQ(z->ErrCode, 10303);
  z->AddOptions = {AddDiskSpan};
  z->SetZipFileName(t.File("B.EXE"));
  z->Add();
  EXPECT_EQ(z->ErrCode, 11041);
  EXPECT_EQ(dlg->Messages().size(), 2);  // unattended: no more boxes
  EXPECT_EQ(z->EraseFile(t.File("nothing.zip"), htdFinal), -1);
}

TEST(ZipExtract, SpecsOverwriteAndFreshen) {
  TempDir t;
  const QString src = MakeTree(t);
  auto z = NewZip();
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName(t.File("e.zip"));
  z->FSpecArgs << src + "*.*";
  z->Add();
  const QString out = t.File("out/");
  z->ExtrBaseDir = out;
  z->FSpecArgs << "Titre.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_TRUE(z->FSpecArgs.isEmpty());
  EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"Titre.DB"});

  // "*.*" first means everything; an existing file is kept unless overwriting is allowed.
  WriteFile(out + "Titre.DB", "local");
  z->FSpecArgs << "*.*" << "Titre.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(ReadFile(out + "Titre.DB"), "local");
  EXPECT_TRUE(rec.skipped.contains(QString("Titre.DB:%1").arg(int(stNoOverwrite))));
  bool asked = false;
  z->OnExtractOverwrite = [&](QObject*, const QString& f, bool, bool& doIt, int) {
    asked = f == "Titre.DB";
    doIt = true;
  };
  z->FSpecArgs << "Titre.DB";
  z->Extract();
  EXPECT_TRUE(asked);
  EXPECT_EQ(ReadFile(out + "Titre.DB"), ReadFile(src + "Titre.DB"));

  // Freshen: only files that exist and are older.
  QFile::remove(out + "CLIENT.DB");
  SetMTime(out + "CLIENT.PX", QDateTime::currentDateTime().addDays(-3));
  z->OnExtractOverwrite = nullptr;
  z->ExtrOptions << ExtrFreshen;
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_FALSE(QFileInfo::exists(out + "CLIENT.DB"));

  // Testing writes nothing.
  z->ExtrOptions = {ExtrTest};
  z->ExtrBaseDir = t.File("tested/");
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 3);
  EXPECT_FALSE(QFileInfo::exists(t.File("tested")));

  // A missing archive.
  QFile::remove(t.File("e.zip"));
  z->Extract();
  EXPECT_EQ(z->ErrCode, 10102);
}

TEST(ZipPassword, DialogCallbackAndRepeatCount) {
  TempDir t;
  const QString src = MakeTree(t);
  ScopedDialogs dlg;
  auto z = NewZip();
  z->SetZipFileName(t.File("s.zip"));
  z->AddOptions << AddEncrypt;
  z->Password = "secret";
  z->FSpecArgs << src + "CLIENT.DB" << src + "Titre.DB";
  z->Add();
  ASSERT_EQ(z->SuccessCount, 2);

  // Asked with the dialog: the first entry gets the right password, which serves the next one.
  z->Unattended = false;
  z->Password.clear();
  z->AddOptions = {};
  auto type = [](const QString& text, ModalResult r) {
    return [text, r](QWidget* w) {
      auto* dlgw = dynamic_cast<TPasswordDlg*>(w);
      EXPECT_TRUE(dlgw);
      if (dlgw) dlgw->Edit1->setText(text);
      return r;
    };
  };
  // The extraction prompt says in French what it asks, and its three buttons say what they do.
  dlg->QueueModal([&](QWidget* w) {
    auto* dlgw = dynamic_cast<TPasswordDlg*>(w);
    EXPECT_TRUE(dlgw);
    if (!dlgw) return ModalResult::Cancel;
    EXPECT_EQ(dlgw->windowTitle(), "Mot de passe");
    EXPECT_EQ(dlgw->Label1->text(), "Entrez le mot de passe :");
    QStringList captions;
    for (auto* b : dlgw->Buttons) captions << b->text();
    EXPECT_EQ(captions, QStringList({"OK", "Annuler", "Annuler tout"}));
    return type("secret", ModalResult::OK)(w);
  });
  z->ExtrBaseDir = t.File("ok/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(ReadFile(t.File("ok/CLIENT.DB")), ReadFile(src + "CLIENT.DB"));
  EXPECT_TRUE(z->Password.isEmpty());  // a typed password is never kept

  // A wrong password is asked PasswordReqCount times, then the entry is skipped.
  dlg->Clear();
  z->SetPasswordReqCount(2);
  for (int i = 0; i < 2; ++i) dlg->QueueModal(type("wrong", ModalResult::OK));
  z->ExtrBaseDir = t.File("bad/");
  z->FSpecArgs << "CLIENT.DB";
  z->Extract();
  int asked = 0;
  for (const auto& a : dlg->Asked()) asked += a.kind == "modal";
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_FALSE(QFileInfo::exists(t.File("bad/CLIENT.DB")));

  // Cancel all: no further question in this run.
  dlg->Clear();
  dlg->QueueModal([](QWidget*) { return ModalResult::No; });
  z->ExtrBaseDir = t.File("none/");
  z->FSpecArgs << "*.*";
  z->Extract();
  asked = 0;
  for (const auto& a : dlg->Asked()) asked += a.kind == "modal";
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(z->SuccessCount, 0);

  // The handler's repeat count is capped at 15; unattended without handler answers empty.
  ziprec::CallbackRecord rec{};
  rec.Caller = z.get();
  rec.ActionCode = ziprec::cbPassword;
  rec.Arg2 = 3;
  z->OnPasswordError = [](QObject*, bool, QString& pw, const QString&, unsigned& repeat, TPasswordButton&) {
    pw = "x";
    repeat = 40;
  };
  EXPECT_EQ(TZipArchiver::ZipCallbackFn(&rec), 0);
  EXPECT_EQ(rec.Arg1, 1);
  EXPECT_EQ(rec.Arg2, 15);
  EXPECT_STREQ(rec.Text, "x");
  z->OnPasswordError = nullptr;
  z->Unattended = true;
  rec = {};
  rec.Caller = z.get();
  rec.ActionCode = ziprec::cbPassword;
  rec.Arg2 = 3;
  TZipArchiver::ZipCallbackFn(&rec);
  EXPECT_EQ(rec.Arg1, 0);
  EXPECT_EQ(rec.Arg2, 0);
  EXPECT_EQ(z->ErrCode, 10151);

  // Cancel set in a handler makes the very call answer -1.
  z->OnProgress = [&](QObject*, ProgressType, const QString&, qint64) { z->Cancel = true; };
  rec = {};
  rec.Caller = z.get();
  rec.ActionCode = ziprec::cbNewFile;
  EXPECT_EQ(TZipArchiver::ZipCallbackFn(&rec), -1);
}

TEST(ZipPassword, AddAsksTwiceAndComparesUnattendedExtractWarns) {
  TempDir t;
  const QString src = MakeTree(t);
  ScopedDialogs dlg;
  auto z = NewZip(false);
  z->SetZipFileName(t.File("n.zip"));
  TPasswordButton b = pwbOk;
  auto type = [](const QString& text) {
    return [text](QWidget* w) {
      static_cast<TPasswordDlg*>(w)->Edit1->setText(text);
      return ModalResult::OK;
    };
  };
  QStringList prompts;
  auto typeAndNote = [&](const QString& text) {
    return [&, text](QWidget* w) {
      prompts << w->windowTitle() + " / " + static_cast<TPasswordDlg*>(w)->Label1->text();
      QStringList captions;
      for (auto* btn : static_cast<TPasswordDlg*>(w)->Buttons) captions << btn->text();
      EXPECT_EQ(captions, QStringList({"OK", "Annuler"}));
      return type(text)(w);
    };
  };
  dlg->QueueModal(typeAndNote("un"));
  dlg->QueueModal(typeAndNote("deux"));
  EXPECT_EQ(z->GetAddPassword(b), "");
  EXPECT_EQ(z->ErrCode, 10104);
  EXPECT_EQ(dlg->Messages().value(0), "Erreur - mots de passe différents\nMot de passe ignoré");
  EXPECT_EQ(prompts, QStringList({"Mot de passe / Entrez le mot de passe :",
                                  "Mot de passe / Confirmez le mot de passe :"}));

  // Unattended extraction without password nor handler: warning, count restored afterwards.
  z->Unattended = true;
  z->FSpecArgs << src + "Titre.DB";
  z->Add();
  z->SetPasswordReqCount(3);
  z->ExtrBaseDir = t.File("x/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 1);
  EXPECT_EQ(z->PasswordReqCount(), 3u);
  EXPECT_EQ(z->ErrCode, 10502);
}

TEST(ZipMessages, StringTableAndTrash) {
  TempDir t;
  ScopedDialogs dlg;
  auto z = NewZip(false);
  z->ShowZipMessage(10159, QString());
  EXPECT_EQ(z->Message, "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 10159");
  z->ShowZipMessage(10158, QString());
  EXPECT_EQ(z->Message, "Abandonner");
  EXPECT_EQ(EZipArchiver::CreateFromIdText(11004, "A:/").Message(), "Lecteur non défini: A:/");
  EXPECT_EQ(EZipArchiver::CreateFromIdNumber(11038, 2).Message(),
            "Ceci est le 2ème disque d'une sauvegarde,\ninsérer le dernier disque");
  EXPECT_EQ(EZipArchiver::CreateFromIdNumber(10304, -12).Message(), MissingStringText(10304));
  EXPECT_EQ(dlg->Messages().size(), 2);

  QDir().mkpath(t.File("xdg"));
  qputenv("XDG_DATA_HOME", t.File("xdg").toUtf8());
  WriteFile(t.File("old/ZELM.zip"), "x");
  EXPECT_EQ(z->EraseFile(t.File("old/ZELM.zip"), htdAllowUndo), 0);
  EXPECT_FALSE(QFileInfo::exists(t.File("old/ZELM.zip")));
  EXPECT_TRUE(QFileInfo::exists(t.File("xdg/Trash/files/ZELM.zip")));
  qunsetenv("XDG_DATA_HOME");
}

TEST(ZipPassword, DialogLayout) {
  TPasswordDlg dlg(nullptr, {pwbCancel, pwbCancelAll});
  dlg.setWindowTitle("Mot de passe");
  dlg.Label1->setText("Mot de passe pour CLIENT.DB");
  EXPECT_EQ(dlg.size(), QSize(3 * 124 + 35, 137));
  ASSERT_EQ(dlg.Buttons.size(), 3u);
  EXPECT_EQ(dlg.Buttons[2]->geometry(), QRect(20 + 2 * 124, 72, 114, 28));
  EXPECT_EQ(dlg.Edit1->width(), 3 * 124 - 10);
  EXPECT_EQ(dlg.Edit1->maxLength(), 80);
  EXPECT_EQ(dlg.Edit1->echoMode(), QLineEdit::Password);
}
