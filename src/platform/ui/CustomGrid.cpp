#include "platform/ui/CustomGrid.h"

#include <QKeyEvent>

#include "platform/ui/EventGuard.h"

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  color_ = StdColors::Window();
  fixedColor_ = StdColors::BtnFace();
  fontColor_ = StdColors::WindowText();
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  editor_ = new TInplaceEdit(this, [this](const QString& t) { EditorTextEdited(t); });
}

void TCustomGrid::OpenEditor(const QString& text, const QString* typed) {
  editorOpen_ = true;
  editor_->Begin(font(), text, typed);
  PlaceEditor();
  editor_->Reveal();
  if (typed) EditorTextEdited(*typed);
}

bool TCustomGrid::CloseEditor() {
  if (!editorOpen_) return false;
  editorOpen_ = false;
  if (editor_->End()) setFocus();
  return true;
}

void TCustomGrid::PlaceEditor() {
  if (!editorOpen_) return;
  editor_->PlaceOver(EditorCell());
}

void TCustomGrid::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e, false)) QAbstractScrollArea::keyPressEvent(e);
}

QChar TCustomGrid::TypedChar(const QKeyEvent* e) {
  const QChar ch = KeyPressChar(e);
  if (ch == QChar(13) || ch == QChar(27) || ch == QChar(8)) return ch;
  return IsCommandChord(e) ? QChar() : ch;
}
