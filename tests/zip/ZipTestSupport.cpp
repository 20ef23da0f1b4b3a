#include "ZipTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <random>

void WriteFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray RandomBytes(int n, unsigned seed) {
  std::mt19937 g(seed);
  QByteArray b(n, '\0');
  for (int i = 0; i < n; ++i) b[i] = static_cast<char>(g() & 0xFF);
  return b;
}

QByteArray TextBytes(int n, unsigned seed) {
  static const char* words[] = {"journal", "titre", "client", "region", "prise", "retour", "quotidien",
                                "hebdomadaire", "0012", "45.50", "Lundi", "Samedi", "\n"};
  std::mt19937 g(seed);
  QByteArray b;
  b.reserve(n + 16);
  while (b.size() < n) {
    b += words[g() % 13];
    b += ' ';
  }
  b.truncate(n);
  return b;
}

RunResult RunTool(const QString& program, const QStringList& args, const QString& workdir,
                  const QByteArray& input) {
  QProcess p;
  if (!workdir.isEmpty()) p.setWorkingDirectory(workdir);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  p.waitForStarted();
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  RunResult r;
  if (!p.waitForFinished(60000)) return r;
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(p.readAll());
  return r;
}

bool HaveTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

void Recorder::Attach(TZipArchiver& z) {
  z.OnProgress = [this](QObject*, ProgressType t, const QString& name, qint64 size) {
    switch (t) {
      case TotalFiles2Process: progress << QString("T:%1").arg(size); break;
      case TotalSize2Process: progress << QString("S:%1").arg(size); break;
      case NewFile: progress << QString("N:%1:%2").arg(name).arg(size); break;
      case ProgressUpdate: bytes += size; if (progress.isEmpty() || progress.last() != "U") progress << "U"; break;
      case EndOfBatch: progress << "E"; break;
    }
  };
  z.OnMessage = [this](QObject*, int code, const QString& text) { messages.emplace_back(code, text); };
  z.OnExtractSkipped = [this](QObject*, const QString& f, UnZipSkipTypes t, int) {
    skipped << QString("%1:%2").arg(f).arg(int(t));
  };
}

int Recorder::Count(const QString& prefix) const {
  int n = 0;
  for (const QString& s : progress)
    if (s.startsWith(prefix)) ++n;
  return n;
}

bool Recorder::HasMessage(const QString& part) const {
  for (const auto& m : messages)
    if (m.second.contains(part)) return true;
  return false;
}

std::unique_ptr<TZipArchiver> NewZip(bool unattended) {
  auto z = std::make_unique<TZipArchiver>();
  z->Unattended = unattended;
  return z;
}

void SetMTime(const QString& path, const QDateTime& t) {
  QFile f(path);
  if (f.open(QIODevice::ReadWrite)) f.setFileTime(t, QFileDevice::FileModificationTime);
}
