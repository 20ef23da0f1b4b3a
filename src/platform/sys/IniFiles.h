// Settings files with the usual INI semantics: sections and keys found ignoring case, every
// other line of the file kept as it was when a value is written. Each call reads the file and
// each write stores it at once, so two objects on one file always agree.
#pragma once
#include <QString>
#include <QStringList>

#include "platform/sys/Errors.h"

class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

class TIniFile {
 public:
  explicit TIniFile(const QString& fileName);
  const QString& FileName() const { return fileName_; }

  QString ReadString(const QString& section, const QString& ident, const QString& def) const;
  // Reads a whole number; a missing or non-numeric value gives the default.
  int ReadInteger(const QString& section, const QString& ident, int def) const;
  void WriteString(const QString& section, const QString& ident, const QString& value);
  void WriteInteger(const QString& section, const QString& ident, int value);
  void WriteBool(const QString& section, const QString& ident, bool value);

  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& ident) const;
  QStringList ReadSection(const QString& section) const;  // the keys of a section
  QStringList ReadSections() const;
  void EraseSection(const QString& section);
  void DeleteKey(const QString& section, const QString& ident);
  // Adds an empty section when it is missing (the registry store keeps keys this way).
  void EnsureSection(const QString& section);
  void UpdateFile() {}  // every write is already stored

 private:
  struct Doc;
  Doc Load() const;
  void Save(const Doc& d);
  QString fileName_;
};
