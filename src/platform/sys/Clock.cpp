#include "platform/sys/Clock.h"

namespace {
QDateTime g_fixed;
}

QDateTime Now() { return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime(); }
QDate Date() { return Now().date(); }
void SetClock(const QDateTime& fixed) { g_fixed = fixed; }
