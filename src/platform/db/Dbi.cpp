// The structure calls: probe, descriptors, create, restructure, pack, and the files around a table.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <sqlite3.h>
#include <unistd.h>

#include "platform/db/DbiStructure.h"
#include "platform/db/EngineCore.h"
#include "platform/sys/Formats.h"

using namespace dbe;

namespace dbe {

QString NewStamp() {
  return QString::number(QRandomGenerator::global()->generate64(), 16) +
         QString::number(QDateTime::currentMSecsSinceEpoch(), 16);
}

void SyncFolder(const QString& folder) {
  int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

void NameIndexes(const QString& tablePath, TableMeta& meta) {
  for (size_t i = 0; i < meta.indexes.size(); ++i) {
    IndexMeta& x = meta.indexes[i];
    x.desc.iIndexId = uint16_t(i + 1);
    x.desc.op = CrtOp::None;
    x.desc.iFldsInKey = uint16_t(x.desc.aiKeyFld.size());
    x.sqlName = QString("zx_%1").arg(i + 1);
    x.companions = CompanionNames(tablePath, meta, int(i));
    x.missing = false;
  }
}

void ValidateMeta(const TableMeta& meta) {
  auto bad = [](const QString& why) { Raise(DBIERR_INVALIDPARAM, why); };
  if (meta.fields.empty()) bad("a table needs at least one field");
  if (meta.fields.size() > 255) bad("a table has at most 255 fields");
  QSet<QString> names;
  for (const FLDDesc& f : meta.fields) {
    const QString n = f.szName.trimmed();
    if (n.isEmpty()) bad("a field has no name");
    if (f.szName.size() > 31) bad(QString("field name too long: %1").arg(f.szName));
    if (n.startsWith("zelm_", Qt::CaseInsensitive) || n.compare("rowid", Qt::CaseInsensitive) == 0 ||
        n.compare("oid", Qt::CaseInsensitive) == 0 || n.compare("_rowid_", Qt::CaseInsensitive) == 0)
      bad(QString("reserved field name: %1").arg(f.szName));
    if (names.contains(n.toUpper())) bad(QString("duplicate field name: %1").arg(f.szName));
    names.insert(n.toUpper());
    switch (f.iFldType) {
      case fldZSTRING:
        if (f.iUnits1 < 1 || f.iUnits1 > 255) bad(QString("string field %1 needs a length of 1 to 255").arg(f.szName));
        break;
      case fldDATE: case fldBOOL: case fldINT16: case fldINT32: case fldFLOAT: break;
      default: bad(QString("field %1 has an unknown type %2").arg(f.szName).arg(f.iFldType));
    }
    if (f.iSubType == fldstMONEY && f.iFldType != fldFLOAT) bad(QString("money field %1 must be of type 7").arg(f.szName));
    if (f.iSubType == fldstAUTOINC && f.iFldType != fldINT32)
      bad(QString("auto-increment field %1 must be of type 6").arg(f.szName));
    if (f.iSubType != fldstNONE && f.iSubType != fldstMONEY && f.iSubType != fldstAUTOINC)
      bad(QString("field %1 has an unknown subtype %2").arg(f.szName).arg(f.iSubType));
  }
  int primaries = 0;
  QSet<QString> inames;
  for (const IndexMeta& x : meta.indexes) {
    const IDXDesc& d = x.desc;
    if (d.bPrimary) primaries++;
    if (!d.bPrimary) {
      if (d.szName.trimmed().isEmpty()) bad("a secondary index has no name");
      if (inames.contains(d.szName.toUpper())) bad(QString("duplicate index name: %1").arg(d.szName));
      inames.insert(d.szName.toUpper());
    }
    if (d.aiKeyFld.empty() || d.aiKeyFld.size() > 16)
      bad(QString("index %1 needs 1 to 16 key fields").arg(d.szName.isEmpty() ? "primary" : d.szName));
    for (uint16_t k : d.aiKeyFld)
      if (k < 1 || k > meta.fields.size())
        bad(QString("index %1 names field %2, which does not exist").arg(d.szName.isEmpty() ? "primary" : d.szName).arg(k));
  }
  if (primaries > 1) bad("a table has at most one primary index");
}

const std::vector<std::pair<QString, QString>>& DescriptionTables() {
  static const std::vector<std::pair<QString, QString>> tables = {
      {"zelm_table", "zelm_table(key TEXT PRIMARY KEY, value TEXT)"},
      {"zelm_fields", "zelm_fields(num INTEGER PRIMARY KEY, name TEXT, type INTEGER, subtype INTEGER,"
                      " units1 INTEGER, units2 INTEGER)"},
      {"zelm_indexes", "zelm_indexes(num INTEGER PRIMARY KEY, name TEXT, tag TEXT, keyflds TEXT,"
                       " isprimary INTEGER, isunique INTEGER, descending INTEGER, maintained INTEGER, caseins INTEGER,"
                       " expidx INTEGER, subset INTEGER, format TEXT, keyexptype INTEGER, keyexp TEXT, keycond TEXT,"
                       " sqlname TEXT, companions TEXT)"},
  };
  return tables;
}

QString RowsTableDefinition(const TableMeta& meta) {
  QStringList cols;
  for (const FLDDesc& f : meta.fields) cols << Quote(f.szName) + " " + SqlType(f);
  // STRICT: a value of the wrong type (say a text into a quantity through SQL) is refused with an
  // error instead of being stored as something no field can read back.
  return QString("%1(%2) STRICT").arg(Quote(meta.inner), cols.join(", "));
}

static QString IndexSql(const QString& alias, const TableMeta& meta, const IndexMeta& x) {
  QStringList cols;
  for (uint16_t k : x.desc.aiKeyFld) {
    const FLDDesc& f = meta.fields[k - 1];
    QString c = Quote(f.szName);
    if (x.desc.bCaseInsensitive && f.iFldType == fldZSTRING) c += " COLLATE " + meta.ciCollation;
    if (x.desc.bDescending) c += " DESC";
    cols << c;
  }
  return QString("CREATE %1INDEX %2.%3 ON %4(%5)")
      .arg(x.desc.bPrimary || x.desc.bUnique ? "UNIQUE " : "", alias, Quote(x.sqlName), Quote(meta.inner),
           cols.join(", "));
}

void CreateIndexes(Conn* c, const QString& alias, const TableMeta& meta) {
  for (const IndexMeta& x : meta.indexes) c->Exec(IndexSql(alias, meta, x));
}

void CreateSchema(Conn* c, const QString& alias, const TableMeta& meta, bool withIndexes) {
  for (const auto& [name, definition] : DescriptionTables()) c->Exec("CREATE TABLE " + alias + "." + definition);
  {
    Stmt s(c, QString("INSERT INTO %1.zelm_table VALUES(?, ?)").arg(alias));
    const std::pair<const char*, QString> rows[] = {
        {"name", meta.inner}, {"stamp", meta.stamp}, {"type", QString::number(int(meta.type))}, {"format", "1"}};
    for (auto& [k, v] : rows) {
      s.Bind(1, QString(k));
      s.Bind(2, v);
      s.Step();
      sqlite3_reset(s.Raw());
    }
  }
  {
    Stmt s(c, QString("INSERT INTO %1.zelm_fields VALUES(?,?,?,?,?,?)").arg(alias));
    for (size_t i = 0; i < meta.fields.size(); ++i) {
      const FLDDesc& f = meta.fields[i];
      s.BindAll({qlonglong(i + 1), f.szName, int(f.iFldType), int(f.iSubType), int(f.iUnits1), int(f.iUnits2)});
      s.Step();
      sqlite3_reset(s.Raw());
    }
  }
  StoreIndexDescriptions(c, alias, meta);
  c->Exec("CREATE TABLE " + alias + "." + RowsTableDefinition(meta));
  if (withIndexes) CreateIndexes(c, alias, meta);
}

}  // namespace dbe

namespace {

// The folder and name of a table file name that may carry a relative folder ("Data/CLIENT.DB").
void SplitName(const QString& folder, const QString& fileName, QString& dir, QString& name) {
  QString n = fileName.trimmed();
  n.replace('\\', '/');
  QString base = folder.isEmpty() ? QDir::currentPath() : folder;
  const int slash = n.lastIndexOf('/');
  if (slash >= 0) {
    const QString sub = n.left(slash);
    dir = QDir::isAbsolutePath(sub) ? sub : base + "/" + sub;
    name = n.mid(slash + 1);
  } else {
    dir = base;
    name = n;
  }
  dir = QDir::cleanPath(dir);
}

QString TargetPath(const QString& folder, const QString& fileName) {
  const QString found = Dbi::FindTableFile(folder, fileName);
  if (!found.isEmpty()) return found;
  QString dir, name;
  SplitName(folder, fileName, dir, name);
  if (!name.contains('.')) name += ".DB";
  return dir + "/" + name;
}

QString InnerName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const int dot = name.indexOf('.');
  return dot < 0 ? name : name.left(dot);
}

QString TempPathFor(const QString& path) {
  const QFileInfo fi(path);
  return fi.absolutePath() + "/." + fi.fileName() + "." + NewStamp().left(8) + ".tmp";
}

void RemoveTemp(const QString& tmp) {
  QFile::remove(tmp);
  QFile::remove(tmp + "-journal");
}

void SwapFile(const QString& tmp, const QString& path, int32_t counter) {
  // The new file gets the counter, reaches the disk, then takes the table's name in one step.
  int fd = ::open(QFile::encodeName(tmp).constData(), O_RDWR | O_CLOEXEC);
  if (fd < 0) Raise(DBIERR_OSERROR, "Réouverture impossible : " + tmp);
  try {
    WriteCounterRaw(fd, counter);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // A rebuilt table stays as private as it was: the new file takes the old one's permissions,
  // not those the umask gives a new file.
  struct stat old;
  if (::stat(QFile::encodeName(path).constData(), &old) == 0)
    (void)::fchmod(fd, (old.st_mode & 0777) | S_IRUSR | S_IWUSR);
  ::fsync(fd);
  ::close(fd);
  QFile::remove(path + "-journal");  // a journal of the file being replaced must not touch the new one
  if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0)
    Raise(DBIERR_OSERROR, QString("Remplacement impossible de %1 : %2").arg(path, strerror(errno)));
  SyncFolder(QFileInfo(path).absolutePath());
}

void FinishFile(const QString& tmp, const QString& path, const TableMeta& meta, int32_t counter) {
  ReplaceCompanions(path, meta, [&] { SwapFile(tmp, path, counter); });
}

int32_t CounterOf(TableFile* r) {
  unsigned char b[4];
  if (r->lockFd < 0 || ::pread(r->lockFd, b, 4, Dbi::kAutoIncOffset) != 4) return 0;
  return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

}  // namespace

namespace dbe {

void AttachAs(Conn& c, const QString& path, const QString& alias, bool scratch) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(c.db, QString("ATTACH ? AS %1").arg(alias).toUtf8().constData(), -1, &s, nullptr);
  if (rc != SQLITE_OK) c.Fail(rc, "attach");
  QByteArray p = path.toUtf8();
  sqlite3_bind_text(s, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
  rc = sqlite3_step(s);
  sqlite3_finalize(s);
  if (rc != SQLITE_DONE) c.Fail(rc, "attach " + path);
  // A file being built aside needs no journal: it is synced once, whole, before it takes the
  // table's name.
  if (scratch) c.Exec(QString("PRAGMA %1.journal_mode=OFF; PRAGMA %1.synchronous=OFF").arg(alias));
  else c.Exec(QString("PRAGMA %1.journal_mode=DELETE; PRAGMA %1.synchronous=EXTRA").arg(alias));
}

// Carries a value as SQLite stores it into a field, exactly; false, with the reason, when the
// field cannot hold it as it is (out of range, a fraction into a whole number, a text into a
// number, more decimals than money keeps). The value's former field plays no part: what is
// stored is what is carried.
bool Carry(const QVariant& raw, const FLDDesc& to, QVariant& out, QString& why) {
  out = QVariant();
  if (raw.isNull() || !raw.isValid()) return true;
  const int t = raw.typeId();
  const bool isInt = t == QMetaType::LongLong || t == QMetaType::Int;
  const bool isReal = t == QMetaType::Double;
  const bool isText = t == QMetaType::QString;
  // The value is put in words only when refused: the checks judge every value of a table.
  auto refuse = [&](const QString& reason) {
    const QString shown = isText ? QString("le texte « %1 »").arg(raw.toString().left(60))
                          : isInt ? QString("la valeur %1").arg(raw.toLongLong())
                          : isReal ? QString("la valeur %1").arg(FloatToStr(raw.toDouble()))
                                   : QString("une valeur binaire de %1 octets").arg(raw.toByteArray().size());
    why = shown + " " + reason;
    return false;
  };
  switch (to.iFldType) {
    case fldZSTRING: {
      QString s;
      if (isText) s = raw.toString();
      else if (isInt) s = QString::number(raw.toLongLong());
      else if (isReal) s = FloatToStr(raw.toDouble());  // the shortest text that reads back as it
      else return refuse("n'est pas un texte");
      if (s.size() > to.iUnits1) return refuse(QString("a plus de %1 caractères").arg(to.iUnits1));
      out = ToStorage(to, s);
      return true;
    }
    case fldINT16: case fldINT32: {
      const WholeRange range = WholeRangeOf(to.iFldType);
      qlonglong n = 0;
      if (isInt) {
        n = raw.toLongLong();
      } else if (isText) {
        const auto parsed = TryStrToInt(raw.toString());
        if (!parsed) return refuse("n'est pas un nombre entier");
        n = *parsed;
      } else if (isReal) {
        const double d = raw.toDouble();
        if (!std::isfinite(d) || d != std::floor(d)) return refuse("n'est pas un nombre entier");
        if (d < double(range.lo) || d > double(range.hi)) return refuse(WholeRule(range));
        n = qlonglong(d);
      } else {
        return refuse("n'est pas un nombre entier");
      }
      if (!range.Holds(n)) return refuse(WholeRule(range));
      out = n;
      return true;
    }
    case fldBOOL: {
      if (isInt && (raw.toLongLong() == 0 || raw.toLongLong() == 1)) {
        out = raw.toLongLong();
        return true;
      }
      if (isText) {
        const QString t = raw.toString().trimmed().toUpper();
        if (t == "TRUE" || t == "T" || t == "1") { out = qlonglong(1); return true; }
        if (t == "FALSE" || t == "F" || t == "0") { out = qlonglong(0); return true; }
      }
      return refuse("n'est pas une valeur logique (0 ou 1)");
    }
    case fldFLOAT: {
      double d = 0;
      if (isReal) {
        d = raw.toDouble();
      } else if (isInt) {
        const qlonglong n = raw.toLongLong();
        d = double(n);
        if (d >= 9223372036854775807.0 || qlonglong(d) != n) return refuse("n'a pas d'équivalent exact en nombre décimal");
      } else if (isText) {
        const auto parsed = TryStrToFloat(raw.toString());
        if (!parsed) return refuse("n'est pas un nombre");
        d = *parsed;
      } else {
        return refuse("n'est pas un nombre");
      }
      if (!std::isfinite(d)) return refuse(FiniteRule());
      if (to.iSubType == fldstMONEY) {
        if (!MoneyInRange(d)) return refuse(MoneyRangeRule());
        if (!MoneyKeepsAsIs(d)) return refuse(MoneyDecimalsRule());
      }
      out = d;
      return true;
    }
    case fldDATE: {
      if (isText && DateFromIso(raw.toString()).isValid() && IsoFromDate(DateFromIso(raw.toString())) == raw.toString()) {
        out = raw.toString();
        return true;
      }
      // A text field's date as the operator types it ("31/12/1999").
      const auto parsed = isText ? TryStrToDate(raw.toString()) : std::nullopt;
      if (!parsed) return refuse("n'est pas une date");
      out = ToStorage(to, *parsed);
      return true;
    }
  }
  return refuse("ne va dans aucun champ de ce type");
}

}  // namespace dbe

namespace {

// A described field as the table's header keeps it: numbered where it stands, nothing pending.
FLDDesc KeptField(const FLDDesc& d, size_t position) {
  FLDDesc f = d;
  f.iFldNum = uint16_t(position + 1);
  f.op = CrtOp::None;
  f.bReadOnly = false;
  return f;
}

// A described index as the table's header keeps it: the key cut to the fields it counts.
IndexMeta KeptIndex(const IDXDesc& d) {
  IndexMeta x;
  x.desc = d;
  if (d.iFldsInKey > 0 && d.iFldsInKey < d.aiKeyFld.size()) x.desc.aiKeyFld.resize(d.iFldsInKey);
  return x;
}

bool SameIndex(const IDXDesc& a, const IDXDesc& b) {
  if (a.bPrimary || b.bPrimary) return a.bPrimary && b.bPrimary;
  return a.szName.compare(b.szName, Qt::CaseInsensitive) == 0;
}

}  // namespace

namespace Dbi {

namespace {
QString lastError;
std::vector<std::pair<QString, int64_t>> lastRemoved;
}

QString FindTableFile(const QString& folder, const QString& fileName) {
  // Queries name the same tables over and over, often in another letter case than the file's:
  // remember where each name led, as long as that file is still there.
  static QHash<QString, QString> known;
  const QString key = folder + QChar(0x1f) + fileName;
  auto it = known.constFind(key);
  if (it != known.constEnd() && QFileInfo(it.value()).isFile()) return it.value();
  QString dir, name;
  SplitName(folder, fileName, dir, name);
  if (name.isEmpty()) return {};
  QStringList candidates;
  if (name.contains('.')) candidates << name;
  else candidates << name + ".DB" << name;
  for (const QString& c : candidates) {
    const QString p = FindCI(dir, c);
    if (!p.isEmpty() && QFileInfo(p).isFile()) {
      const QString found = QFileInfo(p).absoluteFilePath();
      if (known.size() > 1000) known.clear();
      known.insert(key, found);
      return found;
    }
  }
  return {};
}

bool IsTableInUse(const QString& folder, const QString& fileName) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) return false;
  if (TableFile* f = Engine::Get().Find(path)) return f->refs > 0;
  const int fd = LockFile(path, true);
  if (fd == -2) return true;
  UnlockFile(fd);
  return false;
}

int ProbeTable(const QString& folder, const QString& fileName, bool exclusive) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) return DBIERR_NOSUCHTABLE;
  try {
    TableFile* f = Engine::Get().Open(path, exclusive ? Engine::Mode::Exclusive : Engine::Mode::Probe);
    int code = DBIERR_NONE;
    for (const IndexMeta& x : f->meta.indexes)
      if (x.missing || !CompanionOk(f->path, f->meta, x)) code = DBIERR_INDEXOUTOFDATE;
    Engine::Get().Close(f);
    return code;
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
}

namespace {
template <class F>
auto WithTable(const QString& folder, const QString& fileName, F fn) {
  return WithTableFile(folder, fileName, Engine::Mode::Shared, fn);
}
}  // namespace

CURProps GetCursorProps(const QString& folder, const QString& fileName) {
  return WithTable(folder, fileName, [&](TableFile* f) {
    CURProps p;
    p.szName = QFileInfo(f->path).fileName();
    p.eType = f->meta.type;
    p.iFields = uint16_t(f->meta.fields.size());
    p.iIndexes = uint16_t(f->meta.indexes.size());
    Stmt s(f->conn, QString("SELECT count(*) FROM %1").arg(f->Q()));
    s.Step();
    p.iRecords = s.Int(0);
    return p;
  });
}

std::vector<FLDDesc> GetFieldDescs(const QString& folder, const QString& fileName) {
  return WithTable(folder, fileName, [&](TableFile* f) { return HeldFields(f->conn, f->alias, f->meta); });
}

std::vector<IDXDesc> GetIndexDescs(const QString& folder, const QString& fileName) {
  return WithTable(folder, fileName, [&](TableFile* f) {
    std::vector<IDXDesc> out;
    // An index the file no longer holds as described (dropped or replaced behind the engine's
    // back) reads as out of date, so that the structure check builds it again.
    // A unique one is read against the rows too: a file altered behind SQLite's back may call an
    // index unique over a key held twice, or over fewer entries than rows.
    for (const IndexMeta& x : f->meta.indexes) {
      out.push_back(x.desc);
      bool sound = IndexAsDescribed(f->conn, f, x);
      if (sound && (x.desc.bPrimary || x.desc.bUnique)) {
        QStringList columns;
        for (uint16_t k : x.desc.aiKeyFld) columns << f->meta.fields[k - 1].szName;
        const bool ci = x.desc.bCaseInsensitive && std::any_of(x.desc.aiKeyFld.begin(), x.desc.aiKeyFld.end(), [&](uint16_t k) {
          return f->meta.fields[k - 1].iFldType == fldZSTRING;
        });
        sound = ci ? DuplicateKeys(folder, fileName, x.desc) == 0
                   : RepeatedKeysInIndex(f->path, f->meta.inner, x.sqlName, columns) == 0;
      }
      out.back().bOutOfDate = !sound;
    }
    return out;
  });
}

int CreateTable(const QString& folder, const CRTblDesc& desc, bool overwrite) {
  QString tmp;
  lastError.clear();
  try {
    if (desc.szTblName.trimmed().isEmpty()) Raise(DBIERR_INVALIDPARAM, "aucun nom de table");
    const QString path = TargetPath(folder, desc.szTblName);
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
      Raise(DBIERR_OSERROR, "le dossier n'existe pas : " + QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
      Raise(DBIERR_OSERROR, "un dossier (ou autre chose qu'un fichier) porte le nom de la table : " +
                                QDir::toNativeSeparators(path));
    if (QFileInfo::exists(path) && !overwrite) Raise(DBIERR_TABLEEXISTS, TableDetail(path));
    TableMeta meta;
    meta.inner = InnerName(path);
    meta.stamp = NewStamp();
    meta.type = desc.eType == TableType::Default ? TableType::Paradox : desc.eType;
    for (const FLDDesc& d : desc.fields) {
      if (d.op != CrtOp::Drop) meta.fields.push_back(KeptField(d, meta.fields.size()));
    }
    for (const IDXDesc& d : desc.indexes) {
      if (d.op == CrtOp::Drop) continue;
      if (d.iFldsInKey > d.aiKeyFld.size()) Raise(DBIERR_INVALIDPARAM, "an index lists fewer key fields than it counts");
      meta.indexes.push_back(KeptIndex(d));
    }
    // The primary index comes first, as the engine numbers indexes.
    std::stable_partition(meta.indexes.begin(), meta.indexes.end(), [](const IndexMeta& x) { return x.desc.bPrimary; });
    NameIndexes(path, meta);
    ValidateMeta(meta);
    Reservation r(path);
    tmp = TempPathFor(path);
    {
      Conn c(QString{});
      AttachAs(c, tmp, "dst", true);
      c.Exec("BEGIN");
      CreateSchema(&c, "dst", meta, true);
      c.Exec("COMMIT");
    }
    FinishFile(tmp, path, meta, 0);
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    lastError = e.Message();
    if (!tmp.isEmpty()) RemoveTemp(tmp);
    return e.ErrorCode();
  }
}

int DoRestructure(const QString& folder, const CRTblDesc& desc) {
  QString tmp;
  lastError.clear();
  lastRemoved.clear();
  try {
    const QString path = FindTableFile(folder, desc.szTblName);
    if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(desc.szTblName));
    Reservation r(path);
    const int32_t counter = CounterOf(r.f);
    Conn c(QString{});
    AttachAs(c, path, "src");
    const TableMeta old = ReadMeta(&c, "src");
    // The fields as the rows table really has them: a description altered beside it (a field
    // renamed or retyped there only) must not decide where a value comes from or what it is.
    const std::vector<FLDDesc> held = HeldFields(&c, "src", old);
    auto heldPosition = [&held](const QString& name) {
      for (size_t i = 0; i < held.size(); ++i)
        if (held[i].szName.compare(name, Qt::CaseInsensitive) == 0) return int(i);
      return -1;
    };

    // New fields and where their data comes from.
    TableMeta meta;
    meta.inner = old.inner;
    meta.stamp = NewStamp();
    meta.type = old.type;
    std::vector<int> source;  // held column (0-based) per new field, -1 for a new one
    std::vector<int> newOfHeld(held.size(), -1);
    if (desc.fields.empty()) {
      for (const FLDDesc& f : old.fields) {
        const int src = heldPosition(f.szName);
        if (src >= 0) newOfHeld[src] = int(meta.fields.size());
        source.push_back(src);
        meta.fields.push_back(KeptField(f, meta.fields.size()));
      }
    } else {
      for (const FLDDesc& d : desc.fields) {
        if (d.op == CrtOp::Drop) continue;
        int src = -1;
        if (d.op != CrtOp::Add && d.iFldNum > 0) {
          if (d.iFldNum > held.size())
            Raise(DBIERR_INVALIDPARAM, QString("le champ %1 renvoie au champ %2, que la table n'a pas").arg(d.szName).arg(d.iFldNum));
          src = d.iFldNum - 1;
          newOfHeld[src] = int(meta.fields.size());
        }
        source.push_back(src);
        meta.fields.push_back(KeptField(d, meta.fields.size()));
      }
    }

    // New indexes: the listed ones as given, the others kept when their fields remain.
    std::vector<bool> handled(old.indexes.size(), false);
    for (const IDXDesc& d : desc.indexes) {
      int match = -1;
      for (size_t i = 0; i < old.indexes.size(); ++i)
        if (SameIndex(old.indexes[i].desc, d)) { match = int(i); break; }
      // The restructure number names the table's index that this one replaces or drops, whatever
      // the description says of it.
      if (match < 0 && d.op != CrtOp::Add && d.iIndexId >= 1 && d.iIndexId <= old.indexes.size())
        match = d.iIndexId - 1;
      if (match >= 0) handled[match] = true;
      if (d.op == CrtOp::Drop) continue;
      meta.indexes.push_back(KeptIndex(d));
    }
    for (size_t i = 0; i < old.indexes.size(); ++i) {
      if (handled[i]) continue;
      IndexMeta x = old.indexes[i];
      bool ok = true;
      for (uint16_t& k : x.desc.aiKeyFld) {
        const int h = k >= 1 && k <= old.fields.size() ? heldPosition(old.fields[k - 1].szName) : -1;
        const int n = h >= 0 ? newOfHeld[h] : -1;
        if (n < 0) ok = false;
        else k = uint16_t(n + 1);
      }
      bool clash = false;
      for (const IndexMeta& y : meta.indexes) clash |= SameIndex(y.desc, x.desc);
      if (ok && !clash) meta.indexes.push_back(x);
    }
    std::stable_partition(meta.indexes.begin(), meta.indexes.end(), [](const IndexMeta& x) { return x.desc.bPrimary; });
    NameIndexes(path, meta);
    ValidateMeta(meta);

    // Build aside, carry every row, check the count, then swap.
    tmp = TempPathFor(path);
    AttachAs(c, tmp, "dst", true);
    c.Exec("BEGIN");
    CreateSchema(&c, "dst", meta, false);
    bool rowids = true, rowsTable = false;
    {
      Stmt s(&c, QString("SELECT wr FROM pragma_table_list(%1) WHERE schema = 'src' AND type = 'table'")
                     .arg(QuoteLiteral(old.inner)));
      if (s.Step()) {
        rowsTable = true;
        rowids = s.Int(0) == 0;
      }
    }
    const QString tableName = QFileInfo(path).fileName();
    QStringList heldCols, newCols, marks;
    for (const FLDDesc& f : held) heldCols << Quote(f.szName);
    for (const FLDDesc& f : meta.fields) {
      newCols << Quote(f.szName);
      marks << "?";
    }
    std::vector<int64_t> valuesLeft(held.size(), 0);  // values of the columns no field takes
    int64_t carried = 0;
    if (rowsTable && !held.empty()) {
      Stmt rd(&c, rowids ? QString("SELECT rowid, %1 FROM src.%2 ORDER BY rowid").arg(heldCols.join(", "), Quote(old.inner))
                         : QString("SELECT NULL, %1 FROM src.%2").arg(heldCols.join(", "), Quote(old.inner)));
      Stmt wr(&c, QString("INSERT INTO dst.%1(rowid, %2) VALUES(?, %3)").arg(Quote(meta.inner), newCols.join(", "), marks.join(", ")));
      while (rd.Step()) {
        wr.Bind(1, rd.Value(0));
        for (size_t j = 0; j < meta.fields.size(); ++j) {
          QVariant out;
          if (source[j] >= 0) {
            QString why;
            if (!Carry(rd.Value(1 + source[j]), meta.fields[j], out, why))
              Raise(DBIERR_RESTRUCTFAIL, QString("Table %1, champ %2, fiche %3 : %4.")
                                             .arg(tableName, meta.fields[j].szName)
                                             .arg(carried + 1)
                                             .arg(why));
          }
          wr.Bind(int(j) + 2, out);
        }
        for (size_t h = 0; h < held.size(); ++h)
          if (newOfHeld[h] < 0 && !rd.IsNull(int(h) + 1)) valuesLeft[h]++;
        wr.Step();
        sqlite3_reset(wr.Raw());
        carried++;
      }
    }
    int64_t total = 0;
    if (rowsTable) {
      // Counted in the table itself: an index of the file may miss rows.
      Stmt n(&c, QString("SELECT count(*) FROM src.%1 NOT INDEXED").arg(Quote(old.inner)));
      n.Step();
      total = n.Int(0);
    }
    if (total != carried)
      Raise(DBIERR_RESTRUCTFAIL, QString("%1 fiches sur %2 reprises.").arg(carried).arg(total));
    for (const IndexMeta& x : meta.indexes) {
      try {
        c.Exec(IndexSql("dst", meta, x));
      } catch (const EDBEngineError& e) {
        if (e.ErrorCode() == DBIERR_KEYVIOL)
          Raise(DBIERR_RESTRUCTFAIL, QString("Index %1 : deux fiches ont la même clé.")
                                         .arg(x.desc.bPrimary ? QString("primaire") : x.desc.szName));
        throw;
      }
    }
    c.Exec("COMMIT");
    c.Exec("DETACH src");
    c.Exec("DETACH dst");
    FinishFile(tmp, path, meta, counter);
    for (size_t h = 0; h < held.size(); ++h)
      if (valuesLeft[h] > 0) lastRemoved.push_back({held[h].szName, valuesLeft[h]});
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    lastError = e.Message();
    if (!tmp.isEmpty()) RemoveTemp(tmp);
    return e.ErrorCode();
  }
}

QString LastErrorText() { return lastError; }

std::vector<std::pair<QString, int64_t>> LastRemovedColumns() { return lastRemoved; }

int PackTable(const QString& folder, const QString& fileName) {
  lastError.clear();
  QString tmp;
  try {
    const QString path = FindTableFile(folder, fileName);
    if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(fileName));
    Reservation r(path);
    const int32_t counter = CounterOf(r.f);
    // Packed aside, given the counter (a pack clears it), then put in place in one step: a kill
    // at any moment leaves the table as it was or packed, never without its counter.
    tmp = TempPathFor(path);
    {
      Conn c(QString{});
      AttachAs(c, path, "t");
      ReadMeta(&c, "t");  // a file that is not a table is left alone
      Stmt v(&c, "VACUUM t INTO ?");
      v.Bind(1, tmp);
      v.Step();
    }
    SwapFile(tmp, path, counter);
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    lastError = e.Message();
    if (!tmp.isEmpty()) RemoveTemp(tmp);
    return e.ErrorCode();
  }
}

bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) return false;
  if (TableFile* f = Engine::Get().Find(path)) {
    if (f->conn) {
      value = f->counter;
      return true;
    }
    unsigned char b[4];
    if (f->lockFd < 0 || ::pread(f->lockFd, b, 4, kAutoIncOffset) != 4) return false;
    value = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    return true;
  }
  return ReadCounterRaw(path, value);
}

void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(fileName));
  if (Engine::Get().Find(path)) Raise(DBIERR_FILEBUSY, TableDetail(path));
  const int fd = LockFile(path, true);
  if (fd == -2) Raise(DBIERR_FILEBUSY, TableDetail(path));
  if (fd < 0) Raise(DBIERR_OSERROR, "Ouverture impossible : " + path);
  try {
    WriteCounterRaw(fd, value);
  } catch (...) {
    UnlockFile(fd);
    throw;
  }
  UnlockFile(fd);
}

int DeleteTableAuxFiles(const QString& folder, const QString& fileName) {
  QString dir, name;
  SplitName(folder, fileName, dir, name);
  const int dot = name.indexOf('.');
  const QString base = (dot < 0 ? name : name.left(dot)).toUpper();
  if (base.isEmpty()) return 0;
  const bool inUse = IsTableInUse(folder, fileName);
  QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  int deleted = 0;
  for (const QString& e : entries) {
    const QString u = e.toUpper();
    if (!u.startsWith(base + ".")) continue;
    const QString ext = u.mid(base.size() + 1);
    if (ext == "DB" || ext == "DBF" || ext == "MB") continue;
    if (ext.contains("-JOURNAL") || ext.contains("-WAL") || ext.contains("-SHM")) continue;
    if (inUse) break;  // the files of an open table cannot be deleted
    if (!QFile::remove(dir + "/" + e)) break;
    deleted++;
  }
  return deleted;
}

}  // namespace Dbi
