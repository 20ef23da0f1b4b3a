// An in-memory table engine for the check's tests: descriptors and rows live in memory, each table
// also has a small file on disk (for the counter at offset 73 and the companion-file rules).
#pragma once
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QtEndian>
#include <algorithm>

#include "schema/DbEngine.h"

class FakeEngine : public DbEngineCalls {
 public:
  struct Table {
    QString name;
    std::vector<FLDDesc> fields;
    std::vector<IDXDesc> indexes;
    std::vector<QStringList> rows;  // one value per field, in field order
  };

  QMap<QString, Table> tables;      // key: upper-case base name
  QMap<QString, int> probeResult;   // forced probe results, by upper-case base name
  QMap<QString, int> restructureResult;
  QStringList busy;                 // tables open elsewhere (the counter cannot be written)
  std::vector<CRTblDesc> created, restructured;

  static QString Key(const QString& file) {
    const int dot = file.lastIndexOf('.');
    return (dot < 0 ? file : file.left(dot)).toUpper();
  }

  // A table as the engine would hold it, fields and indexes numbered in order.
  Table& Put(const QString& folder, const QString& name, std::vector<FLDDesc> fields,
             std::vector<IDXDesc> indexes = {}) {
    Table t;
    t.name = name;
    for (size_t i = 0; i < fields.size(); ++i) fields[i].iFldNum = static_cast<uint16_t>(i + 1);
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i].iIndexId = static_cast<uint16_t>(i + 1);
    t.fields = fields;
    t.indexes = indexes;
    QFile f(QDir(folder).filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(128, '\0'));
    return tables[Key(name)] = t;
  }

  Table* Find(const QString& file) {
    auto it = tables.find(Key(file));
    return it == tables.end() ? nullptr : &*it;
  }

  int ProbeTable(const QString& folder, const QString& fileName, bool exclusive) override {
    if (probeResult.contains(Key(fileName))) return probeResult.take(Key(fileName));
    if (!Find(fileName) || FindTableFile(folder, fileName).isEmpty()) return DBIERR_NOSUCHTABLE;
    return DBIERR_NONE;
  }
  CURProps GetCursorProps(const QString&, const QString& fileName) override {
    Table* t = Find(fileName);
    if (!t) throw EDBEngineError(DBIERR_NOSUCHTABLE);
    CURProps p;
    p.szName = t->name;
    p.iFields = static_cast<uint16_t>(t->fields.size());
    p.iIndexes = static_cast<uint16_t>(t->indexes.size());
    p.iRecords = static_cast<int64_t>(t->rows.size());
    return p;
  }
  std::vector<FLDDesc> GetFieldDescs(const QString&, const QString& fileName) override {
    Table* t = Find(fileName);
    if (!t) throw EDBEngineError(DBIERR_NOSUCHTABLE);
    return t->fields;
  }
  std::vector<IDXDesc> GetIndexDescs(const QString&, const QString& fileName) override {
    Table* t = Find(fileName);
    if (!t) throw EDBEngineError(DBIERR_NOSUCHTABLE);
    return t->indexes;
  }
  int CreateTable(const QString& folder, const CRTblDesc& desc) override {
    created.push_back(desc);
    Put(folder, desc.szTblName, desc.fields, desc.indexes);
    for (auto& f : Find(desc.szTblName)->fields) f.op = CrtOp::None;
    for (auto& x : Find(desc.szTblName)->indexes) x.op = CrtOp::None;
    return DBIERR_NONE;
  }
  int DoRestructure(const QString&, const CRTblDesc& desc) override {
    restructured.push_back(desc);
    if (restructureResult.contains(Key(desc.szTblName))) return restructureResult[Key(desc.szTblName)];
    Table* t = Find(desc.szTblName);
    if (!t) return DBIERR_NOSUCHTABLE;
    std::vector<QStringList> rows;
    for (const QStringList& r : t->rows) {
      QStringList n;
      for (const FLDDesc& f : desc.fields)
        n << (f.op == CrtOp::Add || f.iFldNum == 0 ? QString() : r.value(f.iFldNum - 1));
      rows.push_back(n);
    }
    t->rows = rows;
    t->fields.clear();
    for (FLDDesc f : desc.fields) {
      f.iFldNum = static_cast<uint16_t>(t->fields.size() + 1);
      f.op = CrtOp::None;
      f.bReadOnly = false;
      t->fields.push_back(f);
    }
    t->indexes.clear();
    for (IDXDesc x : desc.indexes) {
      if (x.op == CrtOp::Drop) continue;
      x.iIndexId = static_cast<uint16_t>(t->indexes.size() + 1);
      x.op = CrtOp::None;
      t->indexes.push_back(x);
    }
    return DBIERR_NONE;
  }
  std::optional<int64_t> HighestValue(const QString&, const QString& fileName,
                                      const QString& fieldName) override {
    Table* t = Find(fileName);
    if (!t) throw EDBEngineError(DBIERR_NOSUCHTABLE);
    int col = -1;
    for (size_t i = 0; i < t->fields.size(); ++i)
      if (t->fields[i].szName.compare(fieldName, Qt::CaseInsensitive) == 0) col = static_cast<int>(i);
    std::optional<int64_t> best;
    for (const QStringList& r : t->rows) {
      const int64_t v = r.value(col).toLongLong();
      if (!best || v > *best) best = v;
    }
    return best;
  }
  bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value) override {
    QFile f(FindTableFile(folder, fileName));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(Dbi::kAutoIncOffset)) return false;
    const QByteArray b = f.read(4);
    if (b.size() < 4) return false;
    value = qFromLittleEndian<qint32>(b.constData());
    return true;
  }
  void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value) override {
    if (busy.contains(Key(fileName))) throw EDBEngineError(DBIERR_FILEBUSY);
    QFile f(FindTableFile(folder, fileName));
    char b[4];
    qToLittleEndian<qint32>(value, b);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(Dbi::kAutoIncOffset) || f.write(b, 4) != 4)
      throw EDBEngineError(DBIERR_FILEBUSY);
  }
};

// Descriptor entries written the way the schema text writes them.
inline FLDDesc Fld(const QString& name, uint16_t type, int16_t units1 = 1, uint16_t sub = 0) {
  FLDDesc f;
  f.szName = name;
  f.iFldType = type;
  f.iSubType = sub;
  f.iUnits1 = units1;
  return f;
}
inline IDXDesc Idx(const QString& name, std::vector<uint16_t> keys, bool primary) {
  IDXDesc x;
  x.szName = name;
  x.iFldsInKey = static_cast<uint16_t>(keys.size());
  x.aiKeyFld = keys;
  x.bPrimary = x.bUnique = primary;
  x.bCaseInsensitive = !primary;
  x.bMaintained = true;
  return x;
}
