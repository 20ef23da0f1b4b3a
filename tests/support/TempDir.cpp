#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

#include "support/TestSupport.h"

TempDir::TempDir() {
  path_ = QDir::tempPath() + "/zelm-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + "/";
  QDir().mkpath(path_);
}

TempDir::~TempDir() { QDir(path_).removeRecursively(); }
