// The keyset cursor under a TTable. The current record is known by its key in the current order
// (index fields, then the row id); every move asks the file for the next few rows after or before
// that key, so a table of millions of rows opens and moves at once and sees what others stored.
#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <unordered_map>
#include <vector>

#include "platform/db/EngineCore.h"
#include "platform/db/Table.h"

class TableCursor {
 public:
  using Record = TDataSet::Record;
  static constexpr int kPage = 64;      // rows read ahead while walking
  static constexpr int kFirstPage = 2;  // after a jump to an end: most walks from there are short
  static constexpr int kWalkPage = 512;  // read ahead by a walk that goes on page after page
  struct OrderCol {
    int field;    // -1: the row id
    bool nocase;
    bool desc;
  };

  TTable* t = nullptr;
  dbe::TableFile* f = nullptr;
  std::vector<OrderCol> order;  // ends with the row id
  QString filterSql;
  QList<QVariant> filterBinds;
  QString masterSql;
  QList<QVariant> masterBinds;
  bool masterEmpty = false;  // master without a record: nothing visible
  bool callback = false;     // OnFilterRecord applies

  std::vector<Record> page;
  bool atStart = false, atEnd = false;
  uint64_t pageVersion = 0;
  uint64_t cfg = 1;
  uint64_t pageCfg = 0;
  int hint = 0;
  int ahead = kPage;  // rows the next page of a walk reads

  int countCache = -1;
  uint64_t countVersion = 0, countCfg = 0;

  void Changed();
  void Reset() { pc = Pieces(); }

  // SQL pieces, rebuilt when the order, the filter or the file's connection changes.
  struct Pieces {
    QString alias;
    uint64_t cfg = 0;
    QString coll;  // the file's case-insensitive collation
    QString cols, from, orderFwd, orderRev, where;
    QList<QVariant> whereBinds;
    std::vector<QString> colExpr;  // per order column
    QString insert, update, del, byId;
    std::vector<QString> fieldCol;  // quoted field names
  };
  mutable Pieces pc;

  const Pieces& P() const;

  QString ColExpr(const OrderCol& o) const;

  QVariant KeyValue(const Record& r, const OrderCol& o) const;

  QString OrderBy(bool reverse) const { return reverse ? P().orderRev : P().orderFwd; }

  // The fixed conditions (filter, master) with their values.
  QString Where(QList<QVariant>& binds) const;

  Record Read(dbe::Stmt& s) const;

  QString SelectSql(const QString& extra, bool reverse, int limit, int offset = 0) const;

  // Runs a SELECT made by SelectSql; the filter's values come first.
  std::vector<Record> Run(const QString& sql, const QList<QVariant>& extraBinds, dbe::StmtSlot* slot = nullptr) const;

  std::vector<Record> Select(const QString& extra, const QList<QVariant>& extraBinds, bool reverse, int limit,
                             int offset = 0) const;

  // Position in the current order: <0, 0, >0 as a comes before, is, or comes after b.
  int CompareKey(const Record& a, const Record& b) const;

  static int AsciiFoldCompare(const QString& a, const QString& b);

  // The record last handed out, so that an Edit right after a move needs no second read.
  int64_t lastId = -1;
  uint64_t lastVersion = 0, lastCfg = 0;
  void Mark(const Record& r);
  bool Fresh(const Record& r) const { return r.id == lastId && lastVersion == f->version && lastCfg == cfg; }

  // After this cursor wrote a record: a page that starts the table stays good for First when the
  // record lies after its first row.
  bool keepFront = false;
  void BeforeOwnWrite() { keepFront = PageValid() && atStart; }
  void AfterOwnWrite(const Record* written, const Record* oldRec);

  // Results of recent Locates, good while the file and the cursor's order and filter are as they
  // were: the windows look the same few codes up again and again in tables that do not change.
  struct Hit {
    bool found;
    Record rec;
  };
  std::unordered_map<QString, Hit> hits;
  // Their keys in the order they came: a full memory forgets its oldest one, not all at once
  // (freeing hundreds of records would stall the lookup that found it full).
  std::vector<QString> hitOrder;
  size_t hitOldest = 0;
  void ClearHits();
  uint64_t hitsVersion = 0, hitsCfg = 0;
  Hit* FindHit(const QString& k);
  void AddHit(const QString& k, bool found, const Record& r);

  struct CachedSql {
    QString sql;
    dbe::StmtSlot slot;
  };

  // The rows read after a located key, in order: every visible row whose located fields hold
  // the same values but the last, and a last value from lo up to (not including) hi, or to the
  // end when open.
  struct Range {
    uint64_t version = 0, cfg = 0;
    std::vector<int> fields;
    QList<QVariant> prefix;
    QVariant lo, hi;
    bool open = false, valid = false;
    std::vector<Record> rows;
    std::vector<QVariant> last;  // storage value of the last located field, per row
  } range;
  int rangeServed = 0;
  // The last lookup along the order, to see a run of them start.
  struct Prev {
    uint64_t version = 0, cfg = 0;
    std::vector<int> fields;
    QList<QVariant> binds;
  } prev;
  // The lookup follows the last one along the order: same leading values, a later last one.
  bool RunStarts(const std::vector<int>& fields, const QList<QVariant>& binds) const;

  // Located fields that lead the order, compared as the index compares them.
  bool AlongOrder(const std::vector<int>& fields, const std::vector<bool>& nulls) const;

  // SQLite's order of two stored values of one column (texts by their UTF-8 bytes).
  static int CompareStored(const QVariant& a, const QVariant& b);

  void SetRange(const std::vector<int>& fields, const QList<QVariant>& binds, std::vector<Record> rows, int limit);

  // 1 found (out), 0 not there, -1 not known from the range.
  int FromRange(const std::vector<int>& fields, const QList<QVariant>& binds, Record& out) const;
  std::unordered_map<uint64_t, CachedSql> locateSql;
  uint64_t locateAlias = 0, locateCfg = 0;
  QString insertSql;
  dbe::StmtSlot insertSlot;
  std::unordered_map<uint64_t, CachedSql> updateSql;
  QString sqlAlias;

  int Count(const QString& extra, const QList<QVariant>& extraBinds) const;

  // The segments of rows strictly after (forward) or before (backward) a record, in the order
  // they are met; each is one indexed range.
  struct Segment {
    QString cond;
    QList<QVariant> binds;
  };
  std::vector<Segment> Segments(const Record& from, bool forward) const;

  // Up to n visible rows after (or before) a record, nearest first.
  std::vector<Record> Fetch(const Record* from, bool forward, int n, bool* reachedEnd);

  bool PageValid() const { return !page.empty() && pageVersion == f->version && pageCfg == cfg; }

  int FindInPage(int64_t id);

  void SetPage(std::vector<Record> rows, bool start, bool end);

  bool First(Record& out);

  bool Last(Record& out);

  int AheadOf(bool pastPage);
  bool Next(const Record& from, Record& out);

  bool Prior(const Record& from, Record& out);

  bool ById(int64_t id, Record& out);

  int RecordCount();

  int RecNo(const Record& rec);

  std::vector<Record> Rows(int first, int count);
};
