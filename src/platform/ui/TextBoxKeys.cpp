#include "platform/ui/TextBoxKeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace {
// Alt held without Ctrl (Ctrl+Alt is AltGr on some desktops); AltGr, reported as the group
// switch, types its own characters ("@", "€").
bool HeldWithAlt(const QKeyEvent* e) {
  const auto mods = e->modifiers();
  return (mods & Qt::AltModifier) && !(mods & (Qt::ControlModifier | Qt::MetaModifier | Qt::GroupSwitchModifier));
}

bool IsTextBox(QObject* o) {
  if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) {
    // A memo's keys may come to its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w) o = area;
  }
  return qobject_cast<QLineEdit*>(o) || qobject_cast<QAbstractSpinBox*>(o) || qobject_cast<QComboBox*>(o) ||
         qobject_cast<QTextEdit*>(o) || qobject_cast<QPlainTextEdit*>(o);
}

class TextBoxKeyRule : public QObject {
 public:
  using QObject::QObject;

 protected:
  // An application filter: the windows' own key handlers, installed later, see the key first.
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->text().isEmpty() || !HeldWithAlt(key) || !IsTextBox(o)) return false;
    QKeyEvent bare(key->type(), key->key(), key->modifiers(), key->nativeScanCode(), key->nativeVirtualKey(),
                   key->nativeModifiers(), QString(), key->isAutoRepeat(), key->count());
    QCoreApplication::sendEvent(o, &bare);
    // The bare key went the whole way (the box, then its parents up to the window): not again.
    key->accept();
    return true;
  }
};

QPointer<TextBoxKeyRule> installed;
}  // namespace

void InstallTextBoxKeyRule(QCoreApplication* app) {
  if (installed) return;
  installed = new TextBoxKeyRule(app);
  app->installEventFilter(installed);
}
