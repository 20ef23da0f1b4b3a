#include "support/FrenchLocale.h"

#include <QDir>
#include <QProcess>
#include <QUuid>
#include <clocale>
#include <cstdlib>
#include <cstring>

ScopedFrenchLocale::ScopedFrenchLocale() {
  if (std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    active_ = true;
  } else {
    dir_ = QDir::tempPath() + "/zelm-locale-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(dir_);
    QProcess p;
    p.start("localedef", {"-i", "fr_FR", "-f", "UTF-8", dir_ + "/fr_FR.UTF-8"});
    if (p.waitForFinished(60000) && QDir(dir_ + "/fr_FR.UTF-8").exists()) {
      setenv("LOCPATH", dir_.toLocal8Bit().constData(), 1);
      active_ = std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr;
    }
  }
  // The test is only worth something when the decimal point really is a comma.
  if (active_ && std::strcmp(std::localeconv()->decimal_point, ",") != 0) active_ = false;
}

ScopedFrenchLocale::~ScopedFrenchLocale() {
  std::setlocale(LC_ALL, "C");
  if (!dir_.isEmpty()) {
    unsetenv("LOCPATH");
    QDir(dir_).removeRecursively();
  }
}
