// One running copy per data folder: two copies saving into the same tables put back each other's
// rows. The lock is the kernel's, on the folders themselves: it goes with the process however the
// process ends (kill -9 included), and needs no right to write there. A folder is locked as its
// links resolve, so two program folders whose Data lead to one folder hold the same lock.
#pragma once
#include <QString>
#include <vector>

class TInstanceLock {
 public:
  enum class Result {
    Ok,             // held here now (or already), or not there to be held
    Busy,           // another process holds it
    Unreadable,     // there, but it cannot be listed or entered: nothing in it could be read
  };
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // Adds a folder to those held. A folder that is not there (a first start makes it; a link that
  // leads nowhere, a file of that name) is not refused here: the start reports what is wrong with
  // it. A folder already held here (through another path) is not locked twice.
  Result Acquire(const QString& folder);

 private:
  std::vector<int> fds_;
};
