#include "platform/ui/InplaceEdit.h"

#include <QKeyEvent>

bool IsCommandChord(const QKeyEvent* e) {
  const auto mods = e->modifiers();
  if (mods & Qt::GroupSwitchModifier) return false;
  const auto held = mods & (Qt::ControlModifier | Qt::AltModifier);
  return held == Qt::ControlModifier || held == Qt::AltModifier;
}

TInplaceEdit::TInplaceEdit(QAbstractScrollArea* grid, std::function<void(const QString&)> edited)
    : QLineEdit(grid->viewport()) {
  setFrame(false);
  hide();
  installEventFilter(grid);
  connect(this, &QLineEdit::textEdited, grid, [edited = std::move(edited)](const QString& t) { edited(t); });
}

void TInplaceEdit::Begin(const QFont& f, const QString& text, const QString* typed) {
  setFont(f);
  if (typed) {
    setText(*typed);
  } else {
    setText(text);
    selectAll();
  }
}

void TInplaceEdit::Reveal() {
  show();
  setFocus();
}

bool TInplaceEdit::End() {
  const bool hadFocus = hasFocus();
  hide();
  return hadFocus;
}

void TInplaceEdit::PlaceOver(const QRect& cell) {
  if (cell.isEmpty()) {
    hide();
    return;
  }
  setGeometry(cell);
  if (!isVisible()) show();
}

bool TInplaceEdit::MovesCaret(int key) const {
  if (key == Qt::Key_Left) return cursorPosition() > 0 || hasSelectedText();
  if (key == Qt::Key_Right) return cursorPosition() < text().size() || hasSelectedText();
  return key == Qt::Key_Home || key == Qt::Key_End;
}

void TInplaceEdit::keyPressEvent(QKeyEvent* e) {
  if (!IsCommandChord(e) || e->text().isEmpty()) {
    QLineEdit::keyPressEvent(e);
    return;
  }
  // The line edit would type Alt+F as "f": it gets the key without its text, so that its own
  // commands (copy, paste, undo, word moves) still work and nothing else does.
  QKeyEvent bare(e->type(), e->key(), e->modifiers(), e->nativeScanCode(), e->nativeVirtualKey(),
                 e->nativeModifiers(), QString(), e->isAutoRepeat(), e->count());
  QLineEdit::keyPressEvent(&bare);
  e->setAccepted(bare.isAccepted());
}
