// Files and folders the way the program's masks expect them: names matched ignoring case,
// "*" and "?" with their DOS meaning, as the archives' masks (platform/zipengine/ZipMask.h).
// SQLite's side files (-journal, -wal, -shm) belong to the engine: masks never match them.
#pragma once
#include <QString>
#include <QStringList>

bool MatchesMask(const QString& name, const QString& mask);
bool IsEngineSideFile(const QString& name);

// Names (no folder) of the entries of a folder that match a mask, files and folders alike,
// "." and ".." excluded, sorted ignoring case.
QStringList FindFiles(const QString& folder, const QString& mask);

bool FileExists(const QString& path);
bool DirectoryExists(const QString& path);
bool CreateDir(const QString& path);       // one level; false when it cannot be made
bool ForceDirectories(const QString& path);
bool DeleteFile(const QString& path);

// The read-only attribute: a file or folder its owner may not write.
bool IsReadOnly(const QString& path);
bool SetReadOnly(const QString& path, bool readOnly);

QString ExtractFileName(const QString& path);
QString ExtractFilePath(const QString& path);  // with the trailing "/"
QString IncludeTrailingPathDelimiter(const QString& path);
