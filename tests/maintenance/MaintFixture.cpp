#include "MaintFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <sys/stat.h>
#include <zip.h>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/sys/Drives.h"
#include "schema/AppSchema.h"
#include "schema/Descriptor.h"
#include "shell/global.h"

MaintTest::MaintTest() {
  qputenv("XDG_DATA_HOME", (dir.Path() + "xdg").toUtf8());
  QDir().mkpath(dir.Path() + "xdg");
  qputenv("ZELM_REGISTRY_DIR", (dir.Path() + "registry").toUtf8());
  LoadDriveSettings();
  cells = testdata::Cells::Display;
  InitializeFormats();
  for (auto& d : Droits) d = "2";
}

MaintTest::~MaintTest() = default;

QStringList AppTables() { return DescriptorTables(ApplicationDescriptor()); }

QMap<QString, QByteArray> MaintTest::Snapshot(const QString& folder) {
  const QString f = folder.isEmpty() ? DataPath : folder;
  QMap<QString, QByteArray> out;
  QDirIterator it(f, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString p = it.next();
    out[p.mid(f.size())] = ReadFile(p);
  }
  return out;
}

void MaintTest::FillSample() {
  AddRow("CLIENT.DB", {"0001", 1, "DUPONT", "1 rue Haute"});
  AddRow("CLIENT.DB", {"0002", 2, "MARTIN", "2 rue Basse"});
  AddRow("Titre.DB", {"0001", 1, 0, "LE JOURNAL"});
  AddRow("Titre.DB", {"0002", 2, 0, "LA GAZETTE"});
  for (const QDate& d : {QDate(2005, 2, 28), QDate(2005, 3, 1), QDate(2005, 3, 31), QDate(2005, 4, 1)})
    for (const char* c : {"0001", "0002"}) AddRow("Disto.DB", {d, c, "0001", 5, 1.2});
  for (const QDate& d : {QDate(2005, 2, 26), QDate(2005, 3, 5), QDate(2005, 3, 26), QDate(2005, 4, 2)}) {
    AddRow("Retour.DB", {d, "0001", "0001", 2});
    AddRow("VCR.DB", {d, "0001", 10.5});
  }
  for (const QDate& d : {QDate(2005, 2, 28), QDate(2005, 3, 1), QDate(2005, 3, 31), QDate(2005, 4, 1)})
    AddRow("Ha.DB", {d, "0001", 50, 0.9});
}

void WriteFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(data);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ToolRun RunTool(const QString& program, const QStringList& args, const QString& workdir) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  if (!workdir.isEmpty()) p.setWorkingDirectory(workdir);
  p.start(program, args);
  ToolRun r;
  if (!p.waitForStarted(10000)) return r;
  p.waitForFinished(120000);
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAll());
  return r;
}

QStringList UnzipNames(const QString& archive) {
  const ToolRun r = RunTool("unzip", {"-Z1", archive});
  QStringList names = r.code == 0 ? r.out.split('\n', Qt::SkipEmptyParts) : QStringList{"<unzip failed>"};
  names.sort();
  return names;
}

void MakeArchive(const QString& path, const std::vector<std::pair<QString, QByteArray>>& entries) {
  int err = 0;
  zip_t* za = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_TRUE(za);
  std::vector<QByteArray> keep;
  keep.reserve(entries.size());
  for (const auto& [rawName, data] : entries) {
    const bool link = rawName.startsWith('@');
    const QByteArray name = (link ? rawName.mid(1) : rawName).toUtf8();
    keep.push_back(data);
    zip_source_t* s = zip_source_buffer(za, keep.back().constData(), zip_uint64_t(keep.back().size()), 0);
    const zip_int64_t i = zip_file_add(za, name.constData(), s, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(i, 0) << name.constData();
    if (link) zip_file_set_external_attributes(za, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
  }
  ASSERT_EQ(zip_close(za), 0);
}

void SetMTime(const QString& path, const QDateTime& t) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.setFileTime(t, QFileDevice::FileModificationTime));
}
