// One running copy per program folder: its data are the folder's, and two copies saving into the
// same tables put back each other's rows. The lock is the kernel's, on the folder itself: it goes
// with the process however the process ends (kill -9 included), and needs no right to write there.
#pragma once
#include <QString>

class TInstanceLock {
 public:
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // False when another process holds the folder. A folder that cannot be opened to tell is not
  // refused here: the start reports what is wrong with it.
  bool Acquire(const QString& folder);

 private:
  int fd_ = -1;
};
