// Time to archive a 100 MB data folder with the zip component, against Info-ZIP zip at the same
// compression level (9), and to extract it again against unzip, in one run. The data folder is
// generated once under the build folder.
//   build/bin/bench_zip [--mb N] [--runs N]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <random>

#include "zip/ZipArch.h"

namespace {

struct Table {
  const char* name;
  double share;  // part of the folder's size
};

// The data folder of a busy year: takings dominate, the reference tables are small.
const Table kTables[] = {{"Disto.DB", 0.55}, {"Retour.DB", 0.18}, {"Ha.DB", 0.08},     {"VCR.DB", 0.05},
                         {"Liste.DB", 0.04}, {"CLIENT.DB", 0.03}, {"Titre.DB", 0.02},  {"OrgaD.DB", 0.02},
                         {"TLISTE.DB", 0.01}, {"Region.db", 0.005}, {"Site.DB", 0.005}, {"IMPRIMERIE.DB", 0.005}};

// Table pages: 4 KB pages of fixed-width records with dates, codes, quantities and prices, the
// free space of each page zero-filled, the way an engine's file looks.
QByteArray TablePage(std::mt19937& g, int pageNo) {
  QByteArray page(4096, '\0');
  int at = 16;
  page[0] = 0x0D;
  page[1] = static_cast<char>(pageNo & 0xFF);
  const int rows = 40 + static_cast<int>(g() % 30);
  for (int r = 0; r < rows && at + 64 < 4096; ++r) {
    const int day = 1 + static_cast<int>(g() % 28), month = 1 + static_cast<int>(g() % 12);
    const QByteArray row = QString::asprintf("2026-%02d-%02d%04u%04u%5u%9.4f", month, day, unsigned(g() % 900),
                                             unsigned(g() % 400), unsigned(g() % 200), (g() % 100000) / 100.0)
                               .toLatin1();
    std::memcpy(page.data() + at, row.constData(), static_cast<size_t>(row.size()));
    at += row.size() + 2 + static_cast<int>(g() % 6);
  }
  return page;
}

void Generate(const QString& folder, qint64 totalBytes) {
  QDir().mkpath(folder);
  std::mt19937 g(20261207);
  for (const Table& t : kTables) {
    QFile f(folder + t.name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) continue;
    const qint64 size = static_cast<qint64>(totalBytes * t.share);
    int page = 0;
    while (f.size() < size) f.write(TablePage(g, page++));
    // Each table travels with its index files.
    QFile px(folder + QString(t.name).section('.', 0, 0) + ".PX");
    if (px.open(QIODevice::WriteOnly | QIODevice::Truncate))
      for (int i = 0; i < std::max(1, static_cast<int>(size / 40960)); ++i) px.write(TablePage(g, i));
  }
}

qint64 FolderSize(const QString& folder) {
  qint64 n = 0;
  for (const QFileInfo& fi : QDir(folder).entryInfoList(QDir::Files)) n += fi.size();
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int mb = 100, runs = 2;
  for (int i = 1; i + 1 < argc; ++i) {
    if (QString(argv[i]) == "--mb") mb = atoi(argv[i + 1]);
    if (QString(argv[i]) == "--runs") runs = std::max(1, atoi(argv[i + 1]));
  }
  const QString base = QDir::cleanPath(TZipArchiver::ProgramFolder() + "/../bench-data/zip") + "/";
  const QString data = base + QString("data-%1mb/").arg(mb);
  const qint64 want = qint64(mb) * 1000 * 1000;
  if (FolderSize(data) < want * 9 / 10) {
    std::printf("generating %d MB data folder in %s\n", mb, qPrintable(data));
    Generate(data, want);
  }
  const qint64 size = FolderSize(data);
  QStringList specs;
  for (const Table& t : kTables) specs << data + QString(t.name).section('.', 0, 0) + ".*";

  double best = 1e9, bestZip = 1e9, bestExtract = 1e9, bestUnzip = 1e9;
  qint64 ourSize = 0, theirSize = 0;
  for (int r = 0; r < runs; ++r) {
    const QString ours = base + "ZELM.zip";
    QFile::remove(ours);
    TZipArchiver z;
    z.Unattended = true;
    z.SetZipFileName(ours);
    z.FSpecArgs = specs;
    QElapsedTimer timer;
    timer.start();
    z.Add();
    best = std::min(best, timer.nsecsElapsed() / 1e9);
    if (z.SuccessCount != 2 * int(std::size(kTables))) {
      std::fprintf(stderr, "component added %d files: %s\n", z.SuccessCount, qPrintable(z.Message));
      return 1;
    }
    ourSize = QFileInfo(ours).size();

    const QString theirs = base + "infozip.zip";
    QFile::remove(theirs);
    QStringList args{"-q", "-9", "-j", theirs};
    for (const QFileInfo& fi : QDir(data).entryInfoList(QDir::Files)) args << fi.absoluteFilePath();
    timer.restart();
    const int rc = QProcess::execute("zip", args);
    bestZip = std::min(bestZip, timer.nsecsElapsed() / 1e9);
    if (rc != 0) {
      std::fprintf(stderr, "zip failed (%d)\n", rc);
      return 1;
    }
    theirSize = QFileInfo(theirs).size();

    const QString out = base + "extracted/";
    QDir(out).removeRecursively();
    z.ExtrBaseDir = out;
    z.ExtrOptions = {ExtrOverWrite};
    z.FSpecArgs = QStringList{"*.*"};
    timer.restart();
    z.Extract();
    bestExtract = std::min(bestExtract, timer.nsecsElapsed() / 1e9);
    if (z.SuccessCount != 2 * int(std::size(kTables))) {
      std::fprintf(stderr, "component extracted %d files: %s\n", z.SuccessCount, qPrintable(z.Message));
      return 1;
    }
    QDir(out).removeRecursively();
    timer.restart();
    const int urc = QProcess::execute("unzip", {"-q", "-o", ours, "-d", out});
    bestUnzip = std::min(bestUnzip, timer.nsecsElapsed() / 1e9);
    QDir(out).removeRecursively();
    if (urc != 0) {
      std::fprintf(stderr, "unzip failed (%d)\n", urc);
      return 1;
    }
  }
  std::printf("data folder: %.1f MB in %lld files, level 9, best of %d runs\n", size / 1e6,
              static_cast<long long>(QDir(data).entryList(QDir::Files).size()), runs);
  std::printf("component  : %7.2f s  archive %.1f MB\n", best, ourSize / 1e6);
  std::printf("Info-ZIP   : %7.2f s  archive %.1f MB\n", bestZip, theirSize / 1e6);
  std::printf("ratio component / zip: %.3f (goal: at most 1.10)\n", best / bestZip);
  std::printf("extract    : %7.2f s  (unzip of the same archive %.2f s, ratio %.3f)\n", bestExtract, bestUnzip,
              bestExtract / bestUnzip);
  return 0;
}
