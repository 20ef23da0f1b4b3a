#pragma once
#include <QString>
#include <memory>
#include <ostream>

#include "platform/ui/Dialogs.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// A fresh folder for one test, removed with it. Path() ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  QString Path() const { return path_; }
  QString File(const QString& name) const { return path_ + name; }
 private:
  QString path_;
};

// Installs a scripted dialog service for the life of the object.
class ScopedDialogs {
 public:
  ScopedDialogs() { SetDialogs(&dlg_); }
  ~ScopedDialogs() { SetDialogs(nullptr); }
  ScriptedDialogs* operator->() { return &dlg_; }
  ScriptedDialogs& operator*() { return dlg_; }
 private:
  ScriptedDialogs dlg_;
};
