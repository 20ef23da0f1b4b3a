// The component itself: its life, its properties and the file helpers its operations share.
#include "zip/ZipArch.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

#include "platform/sys/Drives.h"
#include "platform/ui/Cursor.h"
#include "zip/ZipInternal.h"

using namespace ziprec;

const char* const kStoreSuffixExt[18] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh",  "arj", "taz",
                                         "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

std::set<TZipArchiver*>& LiveComponents() {
  static std::set<TZipArchiver*> s;
  return s;
}

TZipArchiver::TZipArchiver(QObject* Owner) : QObject(Owner) {
  for (int e = assGIF; e <= assJAR; ++e) AddStoreSuffixes << static_cast<AddStoreSuffixEnum>(e);
  Handle = qApp;
  LiveComponents().insert(this);
}

TZipArchiver::~TZipArchiver() {
  UnloadZipLib();
  UnloadUnzLib();
  LiveComponents().erase(this);
}

QString TZipArchiver::ProgramFolder() {
  QString d = QCoreApplication::applicationDirPath();
  if (d.isEmpty()) d = QFileInfo("/proc/self/exe").canonicalPath();
  return d;
}

QString TZipArchiver::FileOf(const QString& name) const { return DrivePath(name); }

void TZipArchiver::SetZipFileName(const QString& Value) {
  FZipFileName = Value;
  List();
}

void TZipArchiver::SetDLLDirectory(const QString& Value) {
  if (Value == FDLLDirectory) return;
  QString v = Value;
  if (v.endsWith('/') || v.endsWith('\\')) v.chop(1);
  FDLLDirectory = v;
}

void TZipArchiver::SetMinZipLibVers(int Value) {
  if (Value >= 170) FMinZipLibVers = Value;
}

void TZipArchiver::SetMinUnzLibVers(int Value) {
  if (Value >= 170) FMinUnzLibVers = Value;
}

void TZipArchiver::SetPasswordReqCount(unsigned Value) { FPasswordReqCount = Value > 15 ? 15 : Value; }

void TZipArchiver::StartWaitCursor() {
  if (FWaitCount == 0) {
    FSavedCursor = static_cast<int>(ScreenCursor());
    SetScreenCursor(TCursor::crHourGlass);
  }
  ++FWaitCount;
}

void TZipArchiver::StopWaitCursor() {
  if (FWaitCount > 0) {
    --FWaitCount;
    if (FWaitCount == 0) SetScreenCursor(static_cast<TCursor>(FSavedCursor));
  }
}

QString TZipArchiver::MakeTempFileName(const QString& Prefix, const QString& Extension) {
  QString folder;
  if (!TempDir.isEmpty()) {
    TempDir = AppendSlash(TempDir);
    folder = FileOf(TempDir);
  } else {
    folder = AppendSlash(QDir::tempPath());
  }
  QTemporaryFile t(folder + Prefix + "XXXXXX.tmp");
  t.setAutoRemove(true);
  if (!t.open()) return QString();
  const QString name = t.fileName();
  t.close();
  t.remove();
  const QFileInfo fi(name);
  return fi.path() + "/" + fi.completeBaseName() + Extension;
}

int TZipArchiver::CopyBuffer(QFile& InFile, QFile& OutFile, qint64 Length) {
  char buf[8192];
  qint64 left = Length;
  while (Length < 0 || left > 0) {
    const qint64 want = Length < 0 ? qint64(sizeof(buf)) : std::min<qint64>(left, sizeof(buf));
    const qint64 got = InFile.read(buf, want);
    if (got <= 0) break;
    if (OutFile.write(buf, got) != got) return -2;
    ProcessMessages();
    if (ShowProgress && OnProgress) OnProgress(this, ProgressUpdate, QString(), got);
    if (Length >= 0) left -= got;
    if (got < want) break;
  }
  return 0;
}

void TZipArchiver::WriteJoin(const char* Buffer, qint64 Length, int Ident) {
  if (OutFileHandle.write(Buffer, Length) != Length) throw EZipArchiver::CreateFromId(Ident, true);
  if (ShowProgress && OnProgress) OnProgress(this, ProgressUpdate, QString(), Length);
}

int TZipArchiver::EraseFile(const QString& FileName, DeleteOpts How) {
  QString name = FileOf(FileName);
  if (!name.contains('/')) name = QDir::currentPath() + "/" + name;
  QFileInfo fi(name);
  if (!fi.exists() && !fi.isSymLink()) return -1;
  if (How == htdAllowUndo) {
    if (MoveToTrash(name)) return 0;
  }
  QFile f(name);
  return f.remove() ? 0 : (f.error() == QFileDevice::NoError ? 1 : static_cast<int>(f.error()));
}
