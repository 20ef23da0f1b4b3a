// The companion file of each index, beside the table: names, writing, checking.
#include "platform/db/EngineCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace dbe {

// The extension (upper case) of an index companion: PX, Xnn or Ynn.
static bool CompanionExtension(const QString& ext) {
  return ext == "PX" || (ext.size() == 3 && (ext[0] == 'X' || ext[0] == 'Y'));
}

static QString BaseOf(const QString& tablePath) {
  const QString name = QFileInfo(tablePath).fileName();
  const int dot = name.indexOf('.');
  return dot < 0 ? name : name.left(dot);
}

QStringList CompanionNames(const QString& tablePath, const TableMeta& meta, int pos) {
  const QString base = BaseOf(tablePath);
  const IDXDesc& d = meta.indexes[pos].desc;
  if (d.bPrimary) return {base + ".PX"};
  const QString n = QString("%1").arg(pos + 1, 2, 16, QChar('0')).toUpper();
  return {base + ".X" + n, base + ".Y" + n};
}

QString FindCI(const QString& folder, const QString& name) {
  if (QFileInfo::exists(folder + "/" + name)) return folder + "/" + name;
  const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries)
    if (e.compare(name, Qt::CaseInsensitive) == 0) return folder + "/" + e;
  return {};
}

static QString CompanionText(const QString& tablePath, const TableMeta& meta, const IndexMeta& x) {
  QStringList keys;
  for (uint16_t k : x.desc.aiKeyFld) keys << QString::number(k);
  return QString("ZELM index\ntable=%1\nstamp=%2\nindex=%3\nprimary=%4\nfields=%5\n")
      .arg(QFileInfo(tablePath).fileName(), meta.stamp, x.desc.szName)
      .arg(x.desc.bPrimary ? 1 : 0)
      .arg(keys.join(','));
}

void WriteCompanions(const QString& tablePath, const TableMeta& meta, const QString& suffix) {
  const QString folder = QFileInfo(tablePath).absolutePath();
  // An index file is as private as its table (a new table's has the mode a new file gets).
  struct stat table {};
  const bool ofTable = ::stat(QFile::encodeName(tablePath).constData(), &table) == 0;
  for (const IndexMeta& x : meta.indexes) {
    for (const QString& n : x.companions) {
      QFile f(folder + "/" + n + suffix);
      if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Raise(DBIERR_OSERROR, "Écriture impossible du fichier d'index " + QDir::toNativeSeparators(f.fileName()));
      if (ofTable) (void)::fchmod(f.handle(), table.st_mode & 0777);
      const QByteArray text = CompanionText(tablePath, meta, x).toUtf8();
      if (f.write(text) != text.size() || !f.flush())
        Raise(DBIERR_OSERROR, "Écriture impossible du fichier d'index " + QDir::toNativeSeparators(f.fileName()));
      if (!suffix.isEmpty()) ::fdatasync(f.handle());
      f.close();
    }
  }
}

static bool CompanionTextOk(const QString& path, const TableMeta& meta, const IndexMeta& x) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QString text = QString::fromUtf8(f.read(4096));
  return text.contains("\nstamp=" + meta.stamp + "\n") && text.contains("\nindex=" + x.desc.szName + "\n");
}

QStringList CompletePendingCompanions(const QString& tablePath, const TableMeta& meta) {
  QStringList failed;
  // A rebuild writes its companions aside (".pending") before the table takes its new file, and
  // puts them in place after: killed in between, the table already is the new one, and its
  // companions are finished here. Those of a rebuild that never replaced the table go.
  const QString folder = QFileInfo(tablePath).absolutePath();
  const QString base = BaseOf(tablePath).toUpper() + ".";
  for (const QString& e : QDir(folder).entryList({"*.pending"}, QDir::Files | QDir::Hidden | QDir::System)) {
    if (!e.toUpper().startsWith(base)) continue;
    const QString name = e.left(e.size() - 8);
    bool ours = false;
    for (const IndexMeta& x : meta.indexes)
      for (const QString& n : x.companions)
        if (n.compare(name, Qt::CaseInsensitive) == 0 && CompanionTextOk(folder + "/" + e, meta, x)) ours = true;
    if (ours) {
      const QString old = FindCI(folder, name);
      if (!old.isEmpty()) QFile::remove(old);
      if (!QFile::rename(folder + "/" + e, folder + "/" + name)) failed << folder + "/" + name;
    } else {
      QFile::remove(folder + "/" + e);
    }
  }
  return failed;
}

bool CompanionOk(const QString& tablePath, const TableMeta& meta, const IndexMeta& x) {
  const QString folder = QFileInfo(tablePath).absolutePath();
  if (x.companions.isEmpty()) return false;
  for (const QString& n : x.companions) {
    const QString p = FindCI(folder, n);
    if (p.isEmpty() || !CompanionTextOk(p, meta, x)) return false;
  }
  return true;
}

QStringList UndescribedCompanionIndexes(const QString& tablePath, const TableMeta& meta) {
  QStringList out;
  const QFileInfo fi(tablePath);
  const QString base = BaseOf(tablePath).toUpper();
  for (const QString& e : QDir(fi.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    const QString u = e.toUpper();
    if (!u.startsWith(base + ".")) continue;
    const QString ext = u.mid(base.size() + 1);
    if (!CompanionExtension(ext)) continue;
    QFile f(fi.absolutePath() + "/" + e);
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QStringList lines = QString::fromUtf8(f.read(4096)).split('\n');
    if (lines.value(0) != "ZELM index" || !lines.contains("stamp=" + meta.stamp)) continue;
    QString name;
    bool primary = false;
    for (const QString& l : lines) {
      if (l.startsWith("index=")) name = l.mid(6);
      if (l == "primary=1") primary = true;
    }
    const bool described = std::any_of(meta.indexes.begin(), meta.indexes.end(), [&](const IndexMeta& x) {
      return primary ? x.desc.bPrimary : x.desc.szName.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (!described && !out.contains(name, Qt::CaseInsensitive)) out << name;
  }
  return out;
}

void RemoveCompanions(const QString& tablePath) {
  const QFileInfo fi(tablePath);
  const QString base = BaseOf(tablePath).toUpper();
  const QStringList entries = QDir(fi.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries) {
    const QString u = e.toUpper();
    if (!u.startsWith(base + ".")) continue;
    const QString ext = u.mid(base.size() + 1);
    if (CompanionExtension(ext)) QFile::remove(fi.absolutePath() + "/" + e);
  }
}

void ReplaceCompanions(const QString& tablePath, const TableMeta& meta, const std::function<void()>& commit) {
  // Ready aside before the table changes: a kill after the commit leaves them to be put in place
  // at the next open (CompletePendingCompanions), never an index without its file.
  try {
    WriteCompanions(tablePath, meta, ".pending");
    commit();
  } catch (...) {
    // The table kept its file: companions written for the new one must not stay beside it.
    for (const IndexMeta& x : meta.indexes)
      for (const QString& n : x.companions) QFile::remove(QFileInfo(tablePath).absolutePath() + "/" + n + ".pending");
    throw;
  }
  RemoveCompanions(tablePath);
  const QStringList failed = CompletePendingCompanions(tablePath, meta);
  SyncFolder(QFileInfo(tablePath).absolutePath());
  if (!failed.isEmpty())
    Raise(DBIERR_OSERROR, "Écriture impossible du fichier d'index " + QDir::toNativeSeparators(failed.front()));
}

}  // namespace dbe
