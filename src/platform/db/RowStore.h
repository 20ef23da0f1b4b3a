// The rows of a query's result, kept by position. A few thousand stay in memory; beyond that they
// go to a private temporary file, written once in order and read back a page at a time, so that
// a result of any size costs a bounded amount of memory.
#pragma once
#include <QList>
#include <QVariant>
#include <string>
#include <vector>

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

  // Values held without a file (a day of takings, 24 000 rows of a few columns, stays in memory:
  // a few megabytes). Settable for tests.
  static inline int inMemoryCells = 100000;
  static constexpr int kPage = 512;  // rows read back at once

 private:
  void Spill();
  void Encode(const QList<QVariant>& row);
  void WritePending();
  int columns_ = 0;
  int count_ = 0;
  std::vector<QList<QVariant>> mem_;  // all rows while few; else the page in hand
  int pageStart_ = -1;                // first row of the page in hand (-1: rows are in mem_)
  int fd_ = -1;                       // the file, once the rows left memory
  std::string pending_;               // encoded rows not yet written
  int64_t written_ = 0;               // bytes in the file
  std::vector<int64_t> pageAt_;       // where each page of kPage rows starts in the file
};

}  // namespace dbe
