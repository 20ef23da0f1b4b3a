// One running copy per data folder: two copies saving into the same tables put back each other's
// rows. The lock is the kernel's, on the folders themselves: it goes with the process however the
// process ends (kill -9 included), and needs no right to write there. A folder is locked as its
// links resolve, so two program folders whose Data lead to one folder hold the same lock.
#pragma once
#include <QString>
#include <vector>

class TInstanceLock {
 public:
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // Adds a folder to those held. False when another process holds it. A folder that does not
  // exist or cannot be opened to tell is not refused here: the start reports what is wrong with
  // it. A folder already held here (through another path) is not locked twice.
  bool Acquire(const QString& folder);

 private:
  std::vector<int> fds_;
};
