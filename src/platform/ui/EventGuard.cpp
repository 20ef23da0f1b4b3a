#include "platform/ui/EventGuard.h"

#include <QKeyEvent>
#include <exception>

#include "platform/ui/Application.h"

void GuardEvent(const std::function<void()>& body) {
  try {
    body();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

QChar KeyPressChar(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return QChar(13);
    case Qt::Key_Escape:
      return QChar(27);
    case Qt::Key_Backspace:
      return QChar(8);
    default:
      return e->text().size() == 1 ? e->text().at(0) : QChar();
  }
}

bool FireKeyPress(QWidget* w, QKeyEvent* e, const std::function<void(QWidget*, QChar&)>& handler) {
  if (!handler) return false;
  QChar ch = KeyPressChar(e);
  if (ch.isNull()) return false;
  GuardEvent([&] { handler(w, ch); });
  return ch.isNull();
}
