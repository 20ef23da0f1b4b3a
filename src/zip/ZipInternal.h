// What the component's own source files share; callers use ZipArch.h only.
#pragma once
#include <QString>

#include <deque>
#include <set>
#include <string>

class TZipArchiver;

// Every component alive: a callback naming another object is ignored.
std::set<TZipArchiver*>& LiveComponents();

// The texts of a command record, alive for as long as the library's call.
class RecordTexts {
 public:
  const char* operator()(const QString& s) {
    texts_.push_back(s.toUtf8().toStdString());
    return texts_.back().c_str();
  }

 private:
  std::deque<std::string> texts_;
};
