#include "platform/sys/Programs.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString FindProgram(const QStringList& names) {
  for (const QString& n : names) {
    const QString p = QStandardPaths::findExecutable(n);
    if (!p.isEmpty()) return p;
  }
  return QString();
}

int StartProgram(const QString& path, const QStringList& args) {
  const QFileInfo fi(path);
  if (!fi.exists()) return EXEC_FILENOTFOUND;
  if (!fi.isExecutable() || fi.isDir()) return EXEC_BADFORMAT;
  return QProcess::startDetached(path, args) ? EXEC_OK : EXEC_BADFORMAT;
}

QStringList CalculatorPrograms() {
  return {"gnome-calculator", "kcalc", "galculator", "mate-calc", "qalculate-gtk", "xcalc"};
}

int StartCalculator() {
  const QString p = FindProgram(CalculatorPrograms());
  if (p.isEmpty()) return EXEC_FILENOTFOUND;
  return StartProgram(p);
}
