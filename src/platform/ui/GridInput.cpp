// A string grid under the keyboard and the mouse: moving, selecting, sizing, dragging rows, the cell editor.
#include "platform/ui/Grids.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "platform/ui/EventGuard.h"

// ---- editor ----

void TStringGrid::SetEditorMode(bool on) {
  if (on) ShowEditor();
  else HideEditor();
}

void TStringGrid::ShowEditor(const QString* initial) {
  if (!(options_ & goEditing) || (options_ & goRowSelect) || IsFixed(col_, row_)) return;
  ScrollInView(col_, row_);
  editStartText_ = Cells(col_, row_);
  OpenEditor(editStartText_, initial);
}

void TStringGrid::HideEditor() {
  if (CloseEditor()) InvalidateCell(col_, row_);
}

QRect TStringGrid::EditorCell() const { return CellRect(col_, row_); }

void TStringGrid::EditorTextEdited(const QString& text) {
  if (!editorOpen_) return;
  cells_[size_t(row_) * cols_ + col_] = text;
  if (OnSetEditText) {
    const int c = col_, r = row_;
    GuardEvent([&] { OnSetEditText(this, c, r, text); });
  }
}

// ---- keyboard ----

bool TStringGrid::Navigate(int key, Qt::KeyboardModifiers mods) {
  int c = col_, r = row_;
  const int page = std::max(1, VisibleRowCount());
  const bool ctrl = mods & Qt::ControlModifier;
  switch (key) {
    case Qt::Key_Up: --r; break;
    case Qt::Key_Down: ++r; break;
    case Qt::Key_Left: if (options_ & goRowSelect) return true; --c; break;
    case Qt::Key_Right: if (options_ & goRowSelect) return true; ++c; break;
    case Qt::Key_PageUp: r -= page; break;
    case Qt::Key_PageDown: r += page; break;
    case Qt::Key_Home: if (ctrl) r = fixedRows_; c = fixedCols_; break;
    case Qt::Key_End: if (ctrl) r = rows_ - 1; c = cols_ - 1; break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (key == Qt::Key_Backtab || (mods & Qt::ShiftModifier)) {
        if (c > fixedCols_) --c;
        else if (r > fixedRows_) { c = cols_ - 1; --r; }
      } else {
        if (c < cols_ - 1) ++c;
        else if (r < rows_ - 1) { c = fixedCols_; ++r; }
      }
      break;
    default: return false;
  }
  c = std::clamp(c, fixedCols_, cols_ - 1);
  r = std::clamp(r, fixedRows_, rows_ - 1);
  const bool extend = (mods & Qt::ShiftModifier) && (options_ & goRangeSelect) && key != Qt::Key_Tab &&
                      key != Qt::Key_Backtab && !(options_ & goRowSelect);
  if (extend) {
    if (c != col_ || r != row_) {
      bool can = true;
      if (OnSelectCell) OnSelectCell(this, c, r, can);
      if (can) MoveCurrent(c, r, false);
    }
    if (OnClick) OnClick(this);
  } else {
    FocusCell(c, r);
  }
  return true;
}

bool TStringGrid::HandleKey(QKeyEvent* e, bool fromEditor) {
  int key = e->key();
  if (OnKeyDown) {
    GuardEvent([&] { OnKeyDown(this, key, e->modifiers()); });
    if (key == 0) return true;
  }
  const bool tabs = options_ & goTabs;
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !tabs) return false;
  if (fromEditor && editor_->MovesCaret(key)) return false;
  if (key == Qt::Key_F2 && (options_ & goEditing)) {
    ShowEditor();
    if (editorOpen_) editor_->deselect(), editor_->end(false);
    return true;
  }
  // A move refused by a failure (the cell left could not be stored) still consumes its key: passed
  // on, it would come back through the grid's own handler and try the same move again.
  bool moved = true;
  GuardEvent([&] { moved = Navigate(key, e->modifiers()); });
  if (moved) return true;
  // Characters: the key-press event first, then Enter toggles the editor, Escape leaves it,
  // and a character typed outside the editor opens it with that character.
  const QChar typed = TypedChar(e);
  if (typed.isNull()) return false;
  QChar ch = typed;
  if (OnKeyPress) {
    GuardEvent([&] { OnKeyPress(this, ch); });
    if (ch.isNull()) return true;
  }
  if (ch == QChar(13)) {
    if (!(options_ & goAlwaysShowEditor)) {
      if (editorOpen_) HideEditor();
      else ShowEditor();
    }
    return true;
  }
  if (ch == QChar(27)) {
    // Escape takes back what was typed since the editor opened.
    if (editorOpen_ && restoreOnEscape_) {
      const int c = col_, r = row_;
      cells_[size_t(r) * cols_ + c] = editStartText_;
      HideEditor();
      if (OnEditCancel) GuardEvent([&] { OnEditCancel(this, c, r); });
    } else {
      HideEditor();
    }
    return true;
  }
  if (fromEditor) {
    if (ch != typed) {  // the handler changed the character: type the new one
      editor_->insert(QString(ch));
      EditorTextEdited(editor_->text());
      return true;
    }
    return false;  // the editor types it
  }
  if (ch.isPrint() && (options_ & goEditing) && !IsFixed(col_, row_) && !(options_ & goRowSelect)) {
    const QString initial(ch);
    ShowEditor(&initial);
    return true;
  }
  return false;
}

void TStringGrid::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  int key = e->key();
  if (OnKeyUp) GuardEvent([&] { OnKeyUp(this, key, e->modifiers()); });
}

bool TStringGrid::focusNextPrevChild(bool next) {
  if (options_ & goTabs) return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TStringGrid::eventFilter(QObject* o, QEvent* e) {
  if (o == editor_) {
    if (e->type() == QEvent::KeyPress) {
      auto* ke = static_cast<QKeyEvent*>(e);
      if (HandleKey(ke, true)) return true;
    } else if (e->type() == QEvent::KeyRelease) {
      auto* ke = static_cast<QKeyEvent*>(e);
      if (!ke->isAutoRepeat()) {
        int key = ke->key();
        if (OnKeyUp) GuardEvent([&] { OnKeyUp(this, key, ke->modifiers()); });
      }
      return true;
    } else if (e->type() == QEvent::ShortcutOverride) {
      auto* ke = static_cast<QKeyEvent*>(e);
      if (ke->key() == Qt::Key_Tab && (options_ & goTabs)) { e->accept(); return true; }
    } else if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
      InvalidateCell(col_, row_);
    }
  }
  return QAbstractScrollArea::eventFilter(o, e);
}

void TStringGrid::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  InvalidateCell(col_, row_);
}

void TStringGrid::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  InvalidateCell(col_, row_);
}

// ---- mouse ----

void TStringGrid::mousePressEvent(QMouseEvent* e) {
  if (!hasFocus() && !editor_->hasFocus()) setFocus(Qt::MouseFocusReason);
  const QPoint pos = e->position().toPoint();
  int c, r;
  MouseToCell(pos.x(), pos.y(), c, r);
  pressedInCell_ = c >= 0;
  if (e->button() != Qt::LeftButton || c < 0) return;
  // Column sizing: a press on the right border of a fixed-row cell.
  if ((options_ & goColSizing) && r < fixedRows_) {
    const QRect rc = CellRect(c, r);
    if (std::abs(pos.x() - (rc.right() + 1)) <= 3) {
      drag_ = Drag::ColSize;
      sizeCol_ = c;
      sizeStartX_ = pos.x();
      sizeStartW_ = colWidths_[c];
      return;
    }
  }
  if ((options_ & goRowMoving) && c < fixedCols_ && r >= fixedRows_) {
    drag_ = Drag::RowMove;
    dragFrom_ = dragTo_ = r;
    return;
  }
  if (IsFixed(c, r)) return;
  GuardEvent([&] {
    if ((e->modifiers() & Qt::ShiftModifier) && (options_ & goRangeSelect) && !(options_ & goRowSelect)) {
      bool can = true;
      if (OnSelectCell && (c != col_ || r != row_)) OnSelectCell(this, c, r, can);
      if (can) MoveCurrent(c, r, false);
      if (OnClick) OnClick(this);
    } else {
      const bool same = c == col_ && r == row_;
      FocusCell(c, r);
      // A second click on the current cell opens its editor.
      if (same && (options_ & goEditing) && !editorOpen_) ShowEditor();
    }
  });
  // A refused move leaves the cell being typed: the keys go on into its editor, which the press
  // took the focus from (typed into the grid, a digit would start the cell over).
  if (editorOpen_ && editor_->isVisible() && !editor_->hasFocus()) editor_->setFocus(Qt::MouseFocusReason);
  if (options_ & goRangeSelect) drag_ = Drag::Select;
}

void TStringGrid::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  int c, r;
  MouseToCell(pos.x(), pos.y(), c, r);
  if (drag_ == Drag::ColSize) {
    SetColWidths(sizeCol_, std::max(0, sizeStartW_ + pos.x() - sizeStartX_));
  } else if (drag_ == Drag::RowMove) {
    if (r >= fixedRows_ && r != dragTo_) {
      dragTo_ = r;
      Invalidate();
    }
  } else if (drag_ == Drag::Select && (e->buttons() & Qt::LeftButton) && c >= fixedCols_ && r >= fixedRows_ &&
             (c != col_ || r != row_) && !(options_ & goRowSelect)) {
    bool can = true;
    if (OnSelectCell) GuardEvent([&] { OnSelectCell(this, c, r, can); });
    if (can) MoveCurrent(c, r, false);
  }
  if ((options_ & goColSizing) && drag_ == Drag::None && r >= 0 && r < fixedRows_) {
    const QRect rc = CellRect(c, r);
    viewport()->setCursor(std::abs(pos.x() - (rc.right() + 1)) <= 3 ? Qt::SplitHCursor : Qt::ArrowCursor);
  }
  if (OnMouseMove) GuardEvent([&] { OnMouseMove(this, e->modifiers(), pos.x(), pos.y()); });
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* e) {
  const Drag d = drag_;
  drag_ = Drag::None;
  if (d == Drag::RowMove) {
    int c, r;
    const QPoint pos = e->position().toPoint();
    MouseToCell(pos.x(), pos.y(), c, r);
    if (r >= fixedRows_) dragTo_ = r;
    const int from = dragFrom_, to = dragTo_;
    dragFrom_ = dragTo_ = -1;
    Invalidate();
    if (from >= 0 && to >= 0 && from != to) {
      MoveRow(from, to);
      if (OnRowMoved) GuardEvent([&] { OnRowMoved(this, from, to); });
    }
  } else if (d == Drag::ColSize) {
    viewport()->setCursor(Qt::ArrowCursor);
  }
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (OnDblClick) GuardEvent([&] { OnDblClick(this); });
}

void TStringGrid::wheelEvent(QWheelEvent* e) {
  const int steps = e->angleDelta().y() / 40;
  if (steps != 0) SetTopRow(std::min(topRow_ - steps, MaxTopRow()));
  e->accept();
}
