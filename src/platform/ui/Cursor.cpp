#include "platform/ui/Cursor.h"

#include <QApplication>
#include <QCursor>

namespace {
TCursor g_cursor = TCursor::crDefault;
}

void SetScreenCursor(TCursor c) {
  if (c == g_cursor) return;
  g_cursor = c;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  if (c == TCursor::crHourGlass) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

TCursor ScreenCursor() { return g_cursor; }

void ProcessMessages() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}
