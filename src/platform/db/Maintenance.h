// What the maintenance of the data folder asks of the engine: which tables this program has
// open, and a read lock that keeps every writer out while the files are copied.
#pragma once
#include <QString>
#include <QStringList>
#include <memory>

namespace Dbi {
// The table files (names as given) that a dataset or query of this program holds open, or that
// a transaction of this program is writing.
QStringList TablesOpenHere(const QString& folder, const QStringList& fileNames);
// The table files that another program holds open (or locked).
QStringList TablesOpenElsewhere(const QString& folder, const QStringList& fileNames);
}  // namespace Dbi

// Holds a read transaction on each table file for its lifetime: no program can write them
// meanwhile, a write in progress is waited for (up to the timeout), and a journal left by a
// write cut short is rolled back first, so a copy taken under the lock holds whole tables.
class TTablesReadLock {
 public:
  TTablesReadLock(const QString& folder, const QStringList& fileNames, int timeoutMs = 10000);
  ~TTablesReadLock();
  TTablesReadLock(const TTablesReadLock&) = delete;
  TTablesReadLock& operator=(const TTablesReadLock&) = delete;
  // False when a table could not be locked; Failure() names it, in French.
  bool Locked() const { return failure_.isEmpty(); }
  QString Failure() const { return failure_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  QString failure_;
};
