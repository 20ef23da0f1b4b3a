// The rows of a query's result, kept by position. A few thousand stay in memory; beyond that they
// go to a private temporary database on disk and are read back a page at a time, so that a
// result of any size costs a bounded amount of memory.
#pragma once
#include <QList>
#include <QVariant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace dbe {

class RowStore {
 public:
  explicit RowStore(int columns = 0);
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  // Appends the current row of a statement (storage values as SQLite holds them).
  void Append(sqlite3_stmt* row);
  int Count() const { return count_; }
  int Columns() const { return columns_; }
  // Row i (0-based) as storage values: qlonglong, double, QString or null.
  const QList<QVariant>& Row(int i);

  // Values held without a store on disk (a day of takings, 24 000 rows of a few columns, stays
  // in memory: a few megabytes). Settable for tests.
  static inline int inMemoryCells = 100000;
  static constexpr int kPage = 512;       // rows read back at once

 private:
  void Spill();
  void Insert(const QList<QVariant>& row);
  int columns_ = 0;
  int count_ = 0;
  std::vector<QList<QVariant>> mem_;  // all rows while few; else the page in hand
  int pageStart_ = -1;                // first row of the page in hand (-1: rows are in mem_)
  sqlite3* db_ = nullptr;
  sqlite3_stmt* ins_ = nullptr;
  sqlite3_stmt* get_ = nullptr;
  bool inTx_ = false;
};

}  // namespace dbe
