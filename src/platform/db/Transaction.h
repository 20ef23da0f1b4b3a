// One transaction over the table files of a folder, for the long operations that store many rows
// (a grid save, an import, a purge): every post and statement inside the scope goes into one
// transaction, the flushes inside it (DbiSaveChanges, FlushBuffers) wait for its end, and its end
// is the flush: one sync for the whole operation instead of one per row.
//
//   TDbTransaction tx(Disto);      // or TDbTransaction tx(DataPath)
//   ... Locate / Edit / Post for every cell, DbiSaveChanges after each ...
//   tx.Commit();                   // the flush; the destructor does it when not called
//
// What was posted before an error stays stored: the destructor commits too (a failing commit in
// the destructor is rolled back and reported on the console only; call Commit() to see it).
// An operation that must be all or nothing calls Rollback() when it fails:
//
//   TDbTransaction tx(DataPath);
//   try { ... } catch (...) { tx.Rollback(); throw; }
//   tx.Commit();
//
// The commit stores the rows of every table file of the transaction together, or none of them,
// also when the program is killed or the power fails half way (GroupCommit.h).
//
// Scopes nest; the outermost one commits (or rolls back). Outside any scope every post is durable when Post
// returns. Reads inside a scope share its transaction too, which makes a long run of lookups
// (loading a grid cell by cell) faster: one lock of each file instead of one per lookup.
// Another program cannot write the files read or written until the scope ends.
#pragma once
#include <QString>

class TDataSet;

class TDbTransaction {
 public:
  explicit TDbTransaction(const QString& databaseName);
  explicit TDbTransaction(TDataSet& dataSet);  // the folder of a table or a query
  ~TDbTransaction();
  TDbTransaction(const TDbTransaction&) = delete;
  TDbTransaction& operator=(const TDbTransaction&) = delete;

  void Commit();  // the flush; EDBEngineError when the rows cannot be written
  // Undoes every write of the transaction on every table of the folder, auto-increment counters
  // included; open datasets read the files as they are again at their next move, Locate or
  // Refresh. Nothing of the transaction is stored before its end: a statement that could only
  // run by storing part of it (a join of tables written on different connections, when more
  // tables are written than one connection holds) is refused with DBIERR_FILEBUSY instead.
  // Nested: the whole transaction is rolled back at the outermost end, whose Commit() then raises
  // DBIERR_ROLLEDBACK (raising here instead would let the outer end store the inner half).
  void Rollback();
  bool Active() const { return active_; }

 private:
  QString folder_;
  bool active_ = false;
};
