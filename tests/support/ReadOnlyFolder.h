#pragma once
#include <QString>

// A folder that cannot be written, as an operator's read-only share is, for as long as the object
// lives: its files and itself lose their write permissions, and the calling thread loses the
// capabilities with which root passes permission checks.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  QString folder_;
  bool capsDropped_ = false;
  unsigned savedCaps_[6] = {};
};
