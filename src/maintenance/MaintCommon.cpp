#include "maintenance/MaintCommon.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QDirIterator>
#include <QTemporaryDir>
#include <algorithm>
#include <future>
#include <map>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "platform/db/Maintenance.h"
#include "platform/ui/Dialogs.h"
#include "platform/sys/Files.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Cursor.h"
#include "platform/sys/Drives.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "schema/DbEngine.h"
#include "schema/Descriptor.h"
#include "schema/SchemaTables.h"
#include "schema/TableVerdict.h"
#include "shell/global.h"

QStringList SchemaTableFiles() { return ApplicationTableFiles(); }

QStringList BackupSpecs(const QString& dataPath) {
  QStringList out;
  for (const QString& t : SchemaTableFiles()) {
    const int dot = t.indexOf('.');
    out << dataPath + (dot < 0 ? t + "." : t.left(dot + 1)) + "*";
  }
  return out;
}

bool IsTableFileName(const QString& fileName, QString* tableFile) {
  static const QRegularExpression companion("^(PX|MB|VAL|TV|FAM|[XY][0-9A-F]{2})$",
                                            QRegularExpression::CaseInsensitiveOption);
  const int dot = fileName.indexOf('.');
  if (dot <= 0) return false;
  const QString base = fileName.left(dot);
  const QString ext = fileName.mid(dot + 1);
  for (const QString& t : SchemaTableFiles()) {
    const int tdot = t.indexOf('.');
    if (t.left(tdot).compare(base, Qt::CaseInsensitive) != 0) continue;
    if (ext.compare(t.mid(tdot + 1), Qt::CaseInsensitive) == 0 || companion.match(ext).hasMatch()) {
      if (tableFile) *tableFile = t;
      return true;
    }
  }
  return false;
}

void TZipProgressBar::Progress(ProgressType type, qint64 size) {
  ProcessMessages();
  switch (type) {
    case TotalSize2Process:
      bar_->setRange(0, 10001);
      bar_->setValue(1);
      total_ = size;
      done_ = 0;
      break;
    case ProgressUpdate:
      done_ += size;
      bar_->setValue(total_ == 0 ? 10001 : int(std::min<qint64>(10001, done_ * 10000 / total_ + 1)));
      break;
    case EndOfBatch:
      bar_->setValue(1);
      break;
    default:
      break;
  }
  ProcessMessages();
}

namespace {

// Files of the data folder that the backup's file patterns take.
int FilesToArchive(const QString& dataPath) {
  int n = 0;
  for (const QString& spec : BackupSpecs(dataPath))
    for (const QString& f : FindFiles(dataPath, ExtractFileName(spec)))
      if (FileExists(dataPath + f)) ++n;
  return n;
}

}  // namespace

bool WriteTablesArchive(TZipArchiver& zip, const QString& dataPath, const QString& target, bool span) {
  TTablesReadLock lock(dataPath, SchemaTableFiles());
  if (!lock.Locked()) {
    ShowError("La sauvegarde n'a pas été faite : " + lock.Failure());
    return false;
  }
  if (span) {
    zip.SetZipFileName(target);
    zip.EraseFile(target, htdAllowUndo);
    zip.FSpecArgs = BackupSpecs(dataPath);
    zip.Add();
    return zip.SuccessCount > 0;
  }

  const QString folder = ExtractFilePath(target);
  const QString temp = folder + QString(".%1.%2.part")
                                    .arg(ExtractFileName(target))
                                    .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
  // What a backup killed half-way left beside its archive.
  for (const QString& n : QDir(folder).entryList({"." + ExtractFileName(target) + ".*.part", "." + ExtractFileName(target) + ".*.part.*"},
                                             QDir::Files | QDir::Hidden))
    QFile::remove(folder + n);
  const int expected = FilesToArchive(dataPath);
  zip.SetZipFileName(temp);
  zip.FSpecArgs = BackupSpecs(dataPath);
  // The libraries' own errors (a full disk, a write refused) only reach the message handler.
  QString libError;
  {
    const TMessageEvent previous = zip.OnMessage;
    struct Restore {
      TZipArchiver& z;
      TMessageEvent e;
      ~Restore() { z.OnMessage = e; }
    } restore{zip, previous};
    zip.OnMessage = [&libError, previous](QObject* sender, int code, const QString& text) {
      if (code != 0 && libError.isEmpty()) libError = text.trimmed();
      if (previous) previous(sender, code, text);
    };
    zip.Add();
  }
  const int added = zip.SuccessCount;
  int listed = -1;
  {
    TZipArchiver check;
    check.Unattended = true;
    check.SetZipFileName(temp);
    if (!check.ZipFileName().isEmpty()) listed = check.EntryCount();
  }
  zip.SetZipFileName(QString());
  if (added <= 0 || added != expected || listed != expected) {
    QFile::remove(temp);
    // Unless the component has shown its own box, nothing has told the operator yet.
    if (added > 0 || !libError.isEmpty())
      ShowError("La sauvegarde n'a pas pu être écrite entièrement dans " + target +
                (libError.isEmpty() ? QString() : " (" + libError + ")") + " ; l'archive précédente est conservée.");
    return false;
  }
  if (FileExists(target)) zip.EraseFile(target, htdAllowUndo);
  // rename() replaces in one step whatever is still there (a trash that refused the file).
  if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
    QFile::remove(temp);
    ShowError("Impossible d'écrire l'archive " + target + ".");
    return false;
  }
  zip.SetZipFileName(target);
  return true;
}

namespace {

const char* kNothingRestored = " Aucune donnée n'a été modifiée.";

}  // namespace

// An entry whose name would leave the extraction folder: absolute, with a drive letter, or
// climbing out through "..".
bool LeavesFolder(const QString& name) {
  if (name.startsWith('/') || name.startsWith('\\')) return true;
  if (name.size() >= 2 && name[1] == ':') return true;
  const QStringList parts = QString(name).replace('\\', '/').split('/');
  return parts.contains("..");
}

namespace {

// A symbolic link stored by a Unix host: its mode sits in the high half of the attributes.
bool IsLinkEntry(const ZipDirEntry& e) {
  return e.HostSystem == 3 && ((e.ExtFileAttrib >> 16) & 0170000) == 0120000;
}

// WinZip AES entries of the second kind store 0 as their CRC: the library has proven their data
// by the authentication code instead.
bool StoresNoCrc(const ZipDirEntry& e) {
  if (e.CompressionMethod != 99) return false;
  const QByteArray& x = e.ExtraData;
  const int len = std::max(0, int(x.size()) - 1);  // the field is followed by one more byte
  auto word = [&x](int at) { return int(uchar(x[at])) | int(uchar(x[at + 1])) << 8; };
  for (int at = 0; at + 4 <= len; at += 4 + word(at + 2))
    if (word(at) == 0x9901 && word(at + 2) >= 2 && at + 6 <= len) return word(at + 4) == 2;
  return false;
}

bool SameCrc(const QString& path, const ZipDirEntry& e) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  if (uint64_t(f.size()) != e.UncompressedSize64) return false;
  if (StoresNoCrc(e)) return true;
  uLong crc = crc32(0L, Z_NULL, 0);
  QByteArray buf(1 << 16, Qt::Uninitialized);
  for (;;) {
    const qint64 n = f.read(buf.data(), buf.size());
    if (n < 0) return false;
    if (n == 0) break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.constData()), uInt(n));
  }
  return uint32_t(crc) == e.CRC32;
}

// The name a file of the archive takes in the data folder: the one already there when only the
// case differs, else its own.
QString TargetName(const QString& dataPath, const QString& name) {
  for (const QString& e : QDir(dataPath).entryList(QDir::Files | QDir::Hidden))
    if (e.compare(name, Qt::CaseInsensitive) == 0) return e;
  return name;
}

// Puts an extracted file beside the tables under a staging name, on disk for good: moved when
// the temporary folder shares the data folder's file system, copied otherwise.
bool Stage(const QString& from, const QString& to) {
  // The permissions extraction gave the file (the archive's, within the umask) stay its own: a
  // table kept private is restored private.
  struct stat st;
  if (::stat(QFile::encodeName(from).constData(), &st) != 0) return false;
  QFile::remove(to);
  if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0 &&
      !QFile::copy(from, to))
    return false;
  QFile f(to);
  if (!f.open(QIODevice::ReadWrite)) return false;
  if (::fchmod(f.handle(), (st.st_mode & 0777) | S_IRUSR | S_IWUSR) != 0) return false;
  return ::fsync(f.handle()) == 0;
}

// A table file of the archive, taken by its file name whatever folder of the archive holds it.
struct TableEntry {
  ZipDirEntry entry;
  QString name;   // without the archive's folders
  QString table;  // the schema's table file it belongs to
};

// What the entries say they hold once extracted, sizes past 4 GB included; no sum past what any
// disk holds.
qint64 DeclaredSize(const std::vector<TableEntry>& entries) {
  const uint64_t cap = uint64_t(1) << 60;
  uint64_t total = 0;
  for (const TableEntry& e : entries) total = std::min(cap, total + std::min(cap, e.entry.UncompressedSize64));
  return qint64(total);
}

// The keys of a table file's unique indexes, read for values held twice on threads of their own
// while the rest of the file is looked at. A table of the schema has only case-sensitive keys;
// another key is left to the engine's grouping (UndescribedContents).
struct KeyScans {
  Dbi::TableFileContents held;
  bool read = false;
  std::vector<std::pair<IDXDesc, std::future<int64_t>>> scans;
  std::future<Dbi::ValuesBeyondFields> values;  // every value against the schema's fields
};

// `values`: the reading of its values, when started (not for a table the rebuild has just carried).
void StartKeyScans(const QString& folder, const QString& name, std::future<Dbi::ValuesBeyondFields> values, KeyScans& k) {
  try {
    k.held = Dbi::ReadTableFileContents(folder, name);
    k.read = true;
  } catch (const EDBEngineError&) {
    return;
  }
  if (!k.held.foreign.isEmpty() || !k.held.rowsTable || !k.held.differences.isEmpty())
    return;  // refused whatever its keys hold
  k.values = std::move(values);
  for (size_t i = 0; i < k.held.indexes.size(); ++i) {
    const IDXDesc& x = k.held.indexes[i];
    if (!(x.bPrimary || x.bUnique) || x.bOutOfDate || x.bCaseInsensitive) continue;
    k.scans.emplace_back(x, std::async(std::launch::async, Dbi::RepeatedKeysInIndex, k.held.path,
                                       k.held.rowsTableName, k.held.sqlNames[i], k.held.keyColumns[i]));
  }
}

// What a table file holding its own table holds besides what the schema describes for it (a
// trigger, a view, another table or index), the schema's indexes it lacks, and the keys its
// unique indexes hold twice: in French, as the end of "Le fichier X de l'archive ..."; "" when
// the file is as described.
QString UndescribedContents(const QString& folder, const QString& name, const QString& table, KeyScans& k,
                            bool* earlier) {
  *earlier = false;
  if (!k.read) return "ne peut pas être lu";
  const TableVerdict verdict = JudgeTableFile(k.held, table);
  if (!verdict.refusal.isEmpty()) return verdict.refusal;
  const QString beyond = k.values.valid() ? ValuesBeyondText(k.values.get()) : QString();
  if (!beyond.isEmpty()) return "contient " + beyond;
  *earlier = verdict.earlier;
  if (*earlier) return QString();
  // A file made behind SQLite's back may hold a key twice under an index it calls unique: the
  // index's entries, read in order, show it without sorting the table.
  for (const IDXDesc& x : k.held.indexes) {
    if (!x.bPrimary && !x.bUnique) continue;
    int64_t n = -1;
    for (auto& [key, scan] : k.scans)
      if (key.iIndexId == x.iIndexId && scan.valid()) n = scan.get();
    if (n == Dbi::kIndexNotWhole)
      return QString("a un index %1 qui ne couvre pas chacune de ses fiches une fois")
          .arg(x.bPrimary ? QStringLiteral("primaire") : x.szName);
    if (n < 0) {
      try {
        n = Dbi::DuplicateKeys(folder, name, x);
      } catch (const EDBEngineError&) {
        return "ne peut pas être lu";
      }
    }
    if (n > 0)
      return QString("contient %1 sur plusieurs fiches").arg(n == 1 ? "une valeur de " + IndexLabel(x) + " figurant"
                                                                      : QString("%1 valeurs de %2 figurant").arg(n).arg(IndexLabel(x)));
  }
  return QString();
}

// Rebuilds a table file of an earlier layout as the structure check rebuilds it (each value
// carried exactly, or the rebuild refused). "" when done, else why, in French.
QString BringToSchema(const QString& folder, const QString& table) {
  TDbCheck check;
  check.SetDescriptor(ApplicationBlockLines(table));
  check.SetCorrectPath(folder);
  check.OnFoundDiff = [](QObject*, TChkMessage, const QString&, bool& correct) { correct = true; };
  try {
    check.Check();
  } catch (const EDBEngineError& e) {
    return QString(e.Message()).replace('\n', ' ');
  }
  QStringList problems = check.Errors() + check.Unchecked();
  for (QString& p : problems) {
    if (p.startsWith(table + " : ")) p = p.mid(table.size() + 3);
    while (p.endsWith('.')) p.chop(1);
  }
  return problems.join(" ; ");
}

bool FitsOn(const QString& folder, qint64 bytes) {
  qint64 freeBytes = -1, total = -1;
  if (!GetDiskFreeSpace(folder, freeBytes, total) || freeBytes < 0) return true;  // cannot tell: let it try
  return bytes + (qint64(16) << 20) <= freeBytes;
}

void SyncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace


namespace {

const char* kRestoreJournal = "~restaure.journal";

// Every copy of the list takes its target's place; a journal left beside a table would roll the
// restored file back at its first opening.
// A copy that cannot take its place (a folder made read-only, a disk gone) stays with the list
// for the next start: deleting either would leave old and new tables mixed for good.
void ReplaceTables(const QString& dataPath, const QList<QPair<QString, QString>>& moves, QStringList* failed) {
  for (const auto& [copy, target] : moves) {
    if (!QFileInfo::exists(dataPath + copy)) continue;  // already in place
    QFile::remove(dataPath + target + "-journal");
    if (std::rename(QFile::encodeName(dataPath + copy).constData(), QFile::encodeName(dataPath + target).constData()) != 0)
      *failed << target;
  }
  SyncFolder(dataPath);
  if (!failed->isEmpty()) return;
  QFile::remove(dataPath + kRestoreJournal);
  SyncFolder(dataPath);
}

// The list of the copies and their tables, on disk for good before the first table is replaced.
bool WriteRestoreJournal(const QString& dataPath, const QList<QPair<QString, QString>>& moves) {
  QByteArray text;
  for (const auto& [copy, target] : moves) text += (copy + '\t' + target + '\n').toUtf8();
  const QString temp = dataPath + kRestoreJournal + ".tmp";
  QFile f(temp);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size() || !f.flush() ||
      ::fsync(f.handle()) != 0) {
    f.close();
    QFile::remove(temp);
    return false;
  }
  f.close();
  if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(dataPath + kRestoreJournal).constData()) != 0) {
    QFile::remove(temp);
    return false;
  }
  SyncFolder(dataPath);
  return true;
}

}  // namespace

namespace {

// The copies and their tables as the list names them; an unreadable list names none.
QList<QPair<QString, QString>> ReadRestoreJournal(const QString& dataPath) {
  QList<QPair<QString, QString>> moves;
  QFile f(dataPath + kRestoreJournal);
  if (!f.open(QIODevice::ReadOnly)) return moves;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> parts = line.split('\t');
    if (parts.size() != 2) continue;
    const QString copy = QString::fromUtf8(parts[0]), target = QString::fromUtf8(parts[1]);
    // Only names of the data folder itself, as the restore writes them.
    if (!copy.startsWith("~restaure.") || copy.contains('/') || target.isEmpty() || target.contains('/')) continue;
    moves.append({copy, target});
  }
  return moves;
}

}  // namespace

void FinishInterruptedRestore(const QString& dataPath) {
  if (!QFileInfo::exists(dataPath + kRestoreJournal)) return;
  QStringList failed;
  ReplaceTables(dataPath, ReadRestoreJournal(dataPath), &failed);
}

void RemoveRestoreLeftovers() {
  FinishInterruptedRestore(DataPath);
  const QDir temp(AppPath + "Temp");
  for (const QString& n : temp.entryList({"restaure-*"}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
    QDir(temp.filePath(n)).removeRecursively();
  // A list still there names copies that have to wait for the next start; the rest is a restore
  // killed before its list was whole, which never touched a table.
  QStringList kept;
  if (QFileInfo::exists(DataPath + kRestoreJournal)) {
    kept << kRestoreJournal;
    for (const auto& move : ReadRestoreJournal(DataPath)) kept << move.first;
  }
  for (const QString& n : QDir(DataPath).entryList({"~restaure.*"}, QDir::Files | QDir::Hidden))
    if (!kept.contains(n)) QFile::remove(DataPath + n);
}

namespace {

// A table file of the archive once extracted: where it is, its table, the name it takes here.
struct Item {
  QString source, table, target;
};

// Opens the archive and takes the program's files from its directory, each by its file name: an
// archive that cannot be listed, with a path leaving its folder, a link, or one of the program's
// files twice (also from two folders: no way to tell which one is meant) is refused.
QString ListEntries(TZipArchiver& zip, const QString& archive, std::vector<TableEntry>* wanted) {
  {
    // An archive that cannot be listed: the component's words and the restore's go in one box.
    // On a floppy drive the component asks for its disks itself and must stay attended.
    const QString drive = ExtractFileDrive(archive).toUpper();
    struct Attended {
      TZipArchiver& zip;
      bool was;
      ~Attended() { zip.Unattended = was; }
    } keep{zip, zip.Unattended};
    if (drive != "A:" && drive != "B:") zip.Unattended = true;
    zip.Message.clear();
    zip.SetZipFileName(archive);
  }
  if (zip.ZipFileName().isEmpty()) {
    const QString why = zip.Message.trimmed();
    return "L'archive " + archive + " est endommagée ou illisible" + (why.isEmpty() ? QString() : " : " + why) +
           (why.endsWith('.') ? "" : ".");
  }
  for (const ZipDirEntry& e : zip.DirEntries) {
    if (LeavesFolder(e.FileName))
      return "L'archive contient un fichier dont le chemin sort du dossier de restauration : " + e.FileName + ".";
    if (IsLinkEntry(e)) return "L'archive contient un lien : " + e.FileName + ".";
  }
  for (const ZipDirEntry& e : zip.DirEntries) {
    const QString path = QString(e.FileName).replace('\\', '/');
    if (path.endsWith('/')) continue;
    const QString name = path.mid(path.lastIndexOf('/') + 1);
    QString table;
    if (!IsTableFileName(name, &table)) continue;
    for (const TableEntry& w : *wanted)
      if (w.name.compare(name, Qt::CaseInsensitive) == 0) return "L'archive contient deux fois le fichier " + name + ".";
    wanted->push_back({e, name, table});
  }
  if (wanted->empty()) return "L'archive " + archive + " ne contient aucune table du programme.";
  return QString();
}

// An archive that would fill the disk (a "zip bomb", or simply too large) is refused before a
// byte is written: the extraction and then the copies beside the tables need the room.
QString CheckRoom(const QString& archive, const std::vector<TableEntry>& wanted) {
  const qint64 declared = DeclaredSize(wanted);
  ForceDirectories(AppPath + "Temp");
  if (!FitsOn(AppPath + "Temp", declared) || !FitsOn(DataPath, declared))
    return "Pas assez de place sur le disque pour restaurer l'archive " + archive + " (" +
           QString::number((declared + (1 << 20) - 1) >> 20) + " Mo une fois extraite).";
  return QString();
}

// Extracts the wanted files into `dir`. One file left out refuses the whole archive: the first
// one ends the extraction (a wrong password is asked for once, not once per file), and the
// library's words say why.
QString ExtractWanted(TZipArchiver& zip, const QString& archive, const std::vector<TableEntry>& wanted, const QString& dir) {
  zip.ExtrBaseDir = dir;
  zip.FSpecArgs.clear();
  for (const TableEntry& w : wanted) zip.FSpecArgs << w.name;
  QString libError;
  {
    struct Events {
      TZipArchiver& z;
      TMessageEvent message;
      TExtractSkippedEvent skipped;
      ~Events() {
        z.OnMessage = message;
        z.OnExtractSkipped = skipped;
      }
    } keep{zip, zip.OnMessage, zip.OnExtractSkipped};
    zip.OnMessage = [&libError, &keep](QObject* sender, int code, const QString& text) {
      if (code != 0 && libError.isEmpty()) libError = text.trimmed();
      if (keep.message) keep.message(sender, code, text);
    };
    zip.OnExtractSkipped = [&zip, &keep](QObject* sender, const QString& file, UnZipSkipTypes type, int error) {
      zip.Cancel = true;
      if (keep.skipped) keep.skipped(sender, file, type, error);
    };
    zip.Extract();
  }
  if (zip.SuccessCount != int(wanted.size()))
    return "L'archive " + archive + " n'a pas pu être extraite entièrement" +
           (libError.isEmpty() ? QString() : " (" + libError + ")") + ".";
  QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    if (it.fileInfo().isSymLink()) return "L'archive contient un lien : " + it.fileName() + ".";
  }
  return QString();
}

// Why one extracted table file cannot replace its table, as a sentence; "" when it can. A file of
// an earlier version of the program is brought to today's layout where it was extracted, by the
// structure check's own rebuild (`rebuilt` then says so).
QString JudgeTableFileAt(const QString& dir, const QString& name, const QString& table,
                         std::future<Dbi::ValuesBeyondFields> values, bool* rebuilt) {
  *rebuilt = false;
  // A table file that the engine cannot read would replace a good one: it must open and pass
  // its integrity check where it was extracted. Opened by the engine first: its collations then
  // serve the page check's own connection too. Index files left behind are rebuilt by the
  // structure check; the table itself must open.
  const int rc = ProbeTable(dir, name, TableType::Default, false);
  KeyScans keys;
  if (rc == DBIERR_NONE || rc == DBIERR_INDEXOUTOFDATE) StartKeyScans(dir, name, std::move(values), keys);
  QString damage;
  if (QFileInfo(dir + name).size() == 0) damage = QStringLiteral("fichier vide");
  else if (rc != DBIERR_NONE && rc != DBIERR_INDEXOUTOFDATE)
    damage = Dbi::DescriptionWithoutFields(dir, name) ? QStringLiteral("la description de ses champs manque")
                                                      : QStringLiteral("la table ne s'ouvre pas");
  else damage = CheckTableIntegrity(dir, name);
  if (!damage.isEmpty()) return "La table " + name + " de l'archive est inutilisable (" + damage + ").";
  // Nor may it hold more than the schema describes (a trigger acts on every later save), lack an
  // index, hold a unique key twice, or a value its field cannot hold.
  bool earlier = false;
  const QString extra = UndescribedContents(dir, name, table, keys, &earlier);
  if (!extra.isEmpty()) return "Le fichier " + name + " de l'archive " + extra + ".";
  if (!earlier) return QString();
  const QString failure = BringToSchema(dir, table);
  KeyScans again;
  StartKeyScans(dir, name, {}, again);
  const QString still = failure.isEmpty() ? UndescribedContents(dir, name, table, again, &earlier) : QString();
  if (!failure.isEmpty() || !still.isEmpty() || earlier)
    return "Le fichier " + name + " de l'archive, d'une version antérieure du programme, ne peut pas être mis à la "
           "structure actuelle sans changer une valeur" + (failure.isEmpty() ? QString() : " : " + failure) +
           (still.isEmpty() ? QString() : " : il " + still) + ".";
  *rebuilt = true;
  return QString();
}

// Every extracted file must be what the archive's directory says it is, and every table file
// fit to replace its table: each file that is not is named, ten at most, in one text.
QString JudgeFiles(const QString& dir, const std::vector<TableEntry>& wanted, std::vector<Item>* items) {
  QStringList refused;
  QStringList rebuilt;
  // The values of each table file are read from the start, beside the reading of every file's
  // bytes: a year of takings is millions of them. Nothing is judged before its file is proven.
  std::map<QString, std::future<Dbi::ValuesBeyondFields>> values;
  for (const TableEntry& w : wanted)
    if (w.name.compare(w.table, Qt::CaseInsensitive) == 0)
      if (const TDescBlock* block = ApplicationBlock(w.table))
        values[w.name] = Dbi::StartValuesCheck(dir, w.name, block->fields);
  for (const TableEntry& w : wanted) {
    if (!SameCrc(dir + w.name, w.entry)) {
      refused << "Le fichier " + w.name + " de l'archive est endommagé.";
      continue;
    }
    items->push_back({dir + w.name, w.table, TargetName(DataPath, w.name)});
  }
  for (const Item& i : *items) {
    const QString name = ExtractFileName(i.source);
    if (name.compare(i.table, Qt::CaseInsensitive) != 0) continue;  // a companion file
    bool brought = false;
    const QString why = JudgeTableFileAt(dir, name, i.table, std::move(values[name]), &brought);
    if (!why.isEmpty()) refused << why;
    if (brought) rebuilt << i.table;
  }
  if (!refused.isEmpty()) {
    if (refused.size() == 1) return refused.front();
    const int more = int(refused.size()) - 10;
    return refused.mid(0, 10).join('\n') +
           (more > 0 ? QString("\nEt %1 autre%2 fichier%2 de l'archive.").arg(FormatFloat("#,##0", more), more == 1 ? "" : "s")
                     : QString());
  }
  // A rebuilt table's index files are those its rebuild wrote, not the archive's.
  for (const QString& table : rebuilt) {
    const QString base = table.section('.', 0, 0);
    items->erase(std::remove_if(items->begin(), items->end(), [&](const Item& i) {
                   return i.table == table && ExtractFileName(i.source).compare(table, Qt::CaseInsensitive) != 0;
                 }), items->end());
    for (const QString& n : QDir(dir).entryList({base + ".*"}, QDir::Files | QDir::Hidden)) {
      QString owner;
      if (n.compare(table, Qt::CaseInsensitive) == 0 || !IsTableFileName(n, &owner) || owner != table) continue;
      items->push_back({dir + n, table, TargetName(DataPath, n)});
    }
  }
  return QString();
}

// Copies beside the tables, under staging names, every one whole on disk before a table is
// replaced; none left when one fails.
QString StageCopies(const std::vector<Item>& items, QStringList* copies) {
  for (const Item& i : items) {
    const QString copy = DataPath + "~restaure." + i.target;
    ProcessMessages();
    if (!Stage(i.source, copy)) {
      *copies << copy;
      for (const QString& c : *copies) QFile::remove(c);
      copies->clear();
      return "Impossible de copier " + ExtractFileName(i.source) + " dans " + DataPath + ".";
    }
    *copies << copy;
  }
  SyncFolder(DataPath);
  return QString();
}

// Once the list of the copies is on disk, the restore is done: killed from here on, it is
// completed at the next start rather than leaving some tables restored and others not.
// `written`: whether the data folder changed.
QString ReplaceFromCopies(const std::vector<Item>& items, const QStringList& copies, bool* written) {
  *written = false;
  QList<QPair<QString, QString>> moves;
  for (size_t k = 0; k < items.size(); ++k) moves.append({ExtractFileName(copies[int(k)]), items[k].target});
  if (!WriteRestoreJournal(DataPath, moves)) {
    for (const QString& c : copies) QFile::remove(c);
    return "Impossible d'écrire dans " + DataPath + ".";
  }
  *written = true;
  QStringList failed;
  ReplaceTables(DataPath, moves, &failed);
  if (!failed.isEmpty())
    return "La restauration est incomplète : ces fichiers n'ont pas pu être remplacés : " + failed.join(", ") +
           ". Elle sera terminée au prochain démarrage.";
  return QString();
}

}  // namespace

QString RestoreTablesArchive(TZipArchiver& zip, const QString& archive, QStringList* untouched) {
  if (untouched) untouched->clear();
  auto refused = [](const QString& why) { return why + kNothingRestored; };
  std::vector<TableEntry> wanted;
  if (const QString why = ListEntries(zip, archive, &wanted); !why.isEmpty()) return refused(why);
  // What a restore killed half-way left: its extraction folder and its copies beside the tables.
  RemoveRestoreLeftovers();
  if (const QString why = CheckRoom(archive, wanted); !why.isEmpty()) return refused(why);

  // A fresh, empty folder: nothing left by an earlier restore can be taken for part of this one.
  ForceDirectories(AppPath + "Temp");
  QTemporaryDir work(AppPath + "Temp/restaure-XXXXXX");
  if (!work.isValid()) return refused("Impossible de créer le répertoire : " + AppPath + "Temp/restaure-...");
  const QString dir = IncludeTrailingPathDelimiter(work.path());
  if (const QString why = ExtractWanted(zip, archive, wanted, dir); !why.isEmpty()) return refused(why);

  std::vector<Item> items;
  if (const QString why = JudgeFiles(dir, wanted, &items); !why.isEmpty()) return refused(why);

  QStringList tables;
  for (const Item& i : items)
    if (!tables.contains(i.table)) tables << i.table;
  const QStringList here = Dbi::TablesOpenHere(DataPath, tables);
  if (!here.isEmpty())
    return refused("La restauration est impossible tant que ces tables sont ouvertes : " + here.join(", ") + ".");
  const QStringList elsewhere = Dbi::TablesOpenElsewhere(DataPath, tables);
  if (!elsewhere.isEmpty())
    return refused("La restauration est impossible : ces tables sont utilisées par un autre programme : " +
                   elsewhere.join(", ") + ".");

  QStringList copies;
  if (const QString why = StageCopies(items, &copies); !why.isEmpty()) return refused(why);
  bool written = false;
  if (const QString why = ReplaceFromCopies(items, copies, &written); !why.isEmpty())
    return written ? why : refused(why);
  if (untouched)
    for (const QString& t : SchemaTableFiles())
      if (std::none_of(items.begin(), items.end(), [&t](const Item& i) {
            return ExtractFileName(i.source).compare(t, Qt::CaseInsensitive) == 0;
          }))
        *untouched << t;
  return QString();
}
