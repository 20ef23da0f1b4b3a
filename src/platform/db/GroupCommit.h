// All-or-nothing commit of one transaction over several table files, whatever connections they
// sit on.
//
// SQLite makes a commit over attached files atomic with a super-journal: every file's rollback
// journal names it, the files are written, and deleting it is the moment of commit (a journal
// that names a missing super-journal belongs to a committed transaction; one that names an
// existing super-journal is rolled back). SQLite only does so within one connection whose main
// database is a file, and a connection holds at most 10 files. Here the engine does it over any
// number of connections, with SQLite's own on-disk rules, so that the recovery is SQLite's:
//   1. a super-journal listing every journal of the transaction is written and synced in the
//      table folder (".zelm-<random>-mj"), folder synced;
//   2. each connection commits in turn; the engine's VFS appends the super-journal record to each
//      rollback journal when SQLite syncs it, before any page of the file is written, and holds
//      the journal's deletion (the end of that file's commit) while other connections have yet
//      to write theirs: the next connection commits from inside the held deletion;
//   3. once every file is written, the super-journal is deleted and the folder synced: the
//      commit point. The held journal deletions then complete.
// Killed before 3, every file rolls back from its journal on its next open; after, none does.
// A failure before 3 keeps the journals, so the files roll back from them at once.
#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct sqlite3;

namespace dbe {

// Name of the VFS every engine connection opens with (installed at first use).
const char* GroupVfsName();

// Commits the open transactions of `conns` as one. journals: the rollback journal paths of every
// file attached to them. Returns, per connection, the SQLite result of its COMMIT (SQLITE_OK when
// stored); all are OK or none is. When the super-journal cannot be written (read-only folder),
// returns an empty vector and commits nothing.
std::vector<int> CommitTogether(const QString& folder, const std::vector<sqlite3*>& conns,
                                const std::vector<QString>& journals);

// The auto-increment counter a file's transaction has handed out: written into the header with
// the transaction's first page, so that it is stored (or rolled back) with the rows. Held until
// dropped (once stored, or at the rollback). path: the file as attached.
void HoldCounter(const QString& path, int32_t value);
void DropCounter(const QString& path);

// Removes the super-journals of a folder that no journal names any more (a writer killed before
// its files named it); one still named stays until that file has rolled back.
void SweepSuperJournals(const QString& folder);

}  // namespace dbe
