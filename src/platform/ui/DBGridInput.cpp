// A data grid under the keyboard and the mouse: moving, selecting, the cell editor.
#include "platform/ui/DBGrids.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"

// ---- moving ----

void TDBGrid::MoveToRecord(int rec) {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active() || rec < 0 || rec == cur_) return;
  if (!WriteEditor()) return;
  int target = rec;
  if (ds->State() == dsInsert) {
    const int ins = insertPos_;
    if (!ds->Modified()) {
      ds->Cancel();
    } else {
      ds->Post();
    }
    if (ins >= 0 && rec > ins) target = rec - 1;
    Sync(true);
  } else if (ds->State() == dsEdit) {
    ds->Post();
    Sync(true);
  }
  target = std::clamp(target, 0, std::max(0, count_ - 1));
  if (target != cur_) ds->MoveBy(target - cur_);
}

void TDBGrid::SetSelectedIndex(int i) {
  auto shown = ShownColumns();
  if (shown.empty()) return;
  i = std::clamp(i, 0, int(shown.size()) - 1);
  if (i == selCol_) return;
  if (!WriteEditor()) return;
  HideEditor();
  selCol_ = i;
  // Scroll the column into view.
  const QRect r = CellRect(i, std::max(cur_, top_));
  const int ind = IndicatorWidth();
  if (!r.isNull()) {
    if (r.left() < ind) hOffset_ -= ind - r.left();
    else if (r.right() > viewport()->width()) hOffset_ += r.right() - viewport()->width() + 1;
  }
  UpdateScrollBars();
  Invalidate();
  if (OnColEnter) OnColEnter(this);
}

bool TDBGrid::CanEdit(int dataCol) {
  if (!(options_ & dgEditing) || readOnly_ || (options_ & dgRowSelect)) return false;
  auto shown = ShownColumns();
  if (dataCol < 0 || dataCol >= int(shown.size())) return false;
  if (shown[dataCol]->ReadOnly || shown[dataCol]->LookupDataSet) return false;
  TField* f = shown[dataCol]->Field();
  return f && !f->ReadOnly;
}

void TDBGrid::RecomputeSelectionRows() {
  TDataSet* ds = DataSet();
  if (selectionBusy_ || !ds || !ds->Active() || ds->State() != dsBrowse) return;
  selectionBusy_ = true;
  const TBookmark here = ds->IsEmpty() ? TBookmark() : ds->GetBookmark();
  ds->DisableControls();
  try {
    for (size_t i = 0; i < selected_.items_.size(); ++i) {
      if (ds->BookmarkValid(selected_.items_[i])) {
        ds->GotoBookmark(selected_.items_[i]);
        selected_.rows_[i] = ds->RecNo() - 1;
      } else {
        selected_.rows_[i] = -1;
      }
    }
    if (here.valid && ds->BookmarkValid(here)) ds->GotoBookmark(here);
  } catch (...) {
    ds->EnableControls();
    selectionBusy_ = false;
    throw;
  }
  ds->EnableControls();
  selectionBusy_ = false;
  Invalidate();
}

void TDBGrid::ClickSelect(int rec, Qt::KeyboardModifiers mods) {
  if (!(options_ & dgMultiSelect)) return;
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty()) return;
  if (mods & Qt::ControlModifier) {
    selected_.SetCurrentRowSelected(!selected_.CurrentRowSelected());
    anchorRec_ = cur_;
  } else if ((mods & Qt::ShiftModifier) && anchorRec_ >= 0) {
    // Every row between the anchor and the row clicked.
    const int from = std::min(anchorRec_, rec), to = std::max(anchorRec_, rec);
    selected_.items_.clear();
    selected_.rows_.clear();
    const TBookmark here = ds->GetBookmark();
    selectionBusy_ = true;
    ds->DisableControls();
    for (int i = from; i <= to && i < count_; ++i) {
      ds->SetRecNo(i + 1);
      selected_.items_.push_back(ds->GetBookmark());
      selected_.rows_.push_back(i);
    }
    ds->GotoBookmark(here);
    ds->EnableControls();
    selectionBusy_ = false;
  } else {
    selected_.items_.clear();
    selected_.rows_.clear();
    selected_.SetCurrentRowSelected(true);
    anchorRec_ = cur_;
  }
  Invalidate();
}

// ---- editor ----

void TDBGrid::SetEditorMode(bool on) {
  if (on) ShowEditor();
  else {
    if (WriteEditor()) HideEditor();
  }
}

void TDBGrid::ShowEditor(const QString* initial) {
  if (!CanEdit(selCol_) || cur_ < 0) {
    if (!initial || !CanEdit(selCol_)) return;
  }
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return;
  auto shown = ShownColumns();
  TField* f = shown[selCol_]->Field();
  if (!f) return;
  editorOpen_ = true;
  editorPending_ = false;
  if (ds->IsEmpty() && ds->State() == dsBrowse && initial) {
    ds->Append();  // typing into an empty grid starts its first record
    f = shown[selCol_]->Field();
  }
  // The limit first: set after the text, the previous column's would cut it.
  editor_->setMaxLength(f->DataType() == ftString && f->Size() > 0 ? f->Size() : 32767);
  OpenEditor(f->AsString(), initial);
}

void TDBGrid::HideEditor() {
  if (CloseEditor()) Invalidate();
}

QRect TDBGrid::EditorCell() const { return cur_ < top_ ? QRect() : CellRect(selCol_, cur_); }

void TDBGrid::EditorTextEdited(const QString& text) {
  TDataSet* ds = DataSet();
  if (!editorOpen_ || !ds || !ds->Active()) return;
  auto shown = ShownColumns();
  if (selCol_ >= int(shown.size())) return;
  GuardEvent([&] {
    writingEditor_ = true;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{writingEditor_};
    if (ds->State() == dsBrowse) ds->Edit();
    TField* f = shown[selCol_]->Field();
    if (!f) return;
    editorPending_ = !StoreTyped(f, text);
  });
}

bool TDBGrid::WriteEditor() {
  if (!editorOpen_ || !editorPending_) return true;
  TDataSet* ds = DataSet();
  auto shown = ShownColumns();
  if (!ds || selCol_ >= int(shown.size())) return true;
  TField* f = shown[selCol_]->Field();
  if (!f) return true;
  writingEditor_ = true;
  bool ok = true;
  try {
    f->AsString = editor_->text();
    editorPending_ = false;
  } catch (const Exception&) {
    ok = false;
  }
  writingEditor_ = false;
  if (!ok) {
    MessageDlg("'" + editor_->text() + "' n'est pas une valeur correcte", MsgDlgType::Error, mbOK);
    editor_->setFocus();
  }
  return ok;
}

// ---- keyboard ----

bool TDBGrid::HandleKey(QKeyEvent* e, bool fromEditor) {
  TDataSet* ds = DataSet();
  int key = e->key();
  const auto mods = e->modifiers();
  if (OnKeyDown) {
    GuardEvent([&] { OnKeyDown(this, key, mods); });
    if (key == 0) return true;
  }
  if (!ds || !ds->Active()) return false;
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !(options_ & dgTabs)) return false;
  if (fromEditor && editor_->MovesCaret(key)) return false;
  bool handled = true;
  GuardEvent([&] {
    const bool canModify = (options_ & dgEditing) && !readOnly_;
    const int page = VisibleRows();
    auto leaveInsert = [&]() -> bool {  // an untouched new row goes away when left
      if (ds->State() == dsInsert && !ds->Modified()) {
        HideEditor();
        ds->Cancel();
        return true;
      }
      return false;
    };
    auto extendSelection = [&] {
      if (!(options_ & dgMultiSelect)) return;
      if (mods & Qt::ShiftModifier) selected_.SetCurrentRowSelected(true);
      else selected_.Clear();
    };
    switch (key) {
      case Qt::Key_Up:
        if (!WriteEditor()) return;
        if (leaveInsert()) return;
        ds->Prior();
        extendSelection();
        break;
      case Qt::Key_Down: {
        if (!WriteEditor()) return;
        if (ds->State() == dsInsert && !ds->Modified()) return;
        const int moved = ds->MoveBy(1);
        if (moved == 0 && canModify && ds->State() == dsBrowse) ds->Append();
        extendSelection();
        break;
      }
      case Qt::Key_PageUp:
        if (!WriteEditor()) return;
        if (leaveInsert()) return;
        ds->MoveBy(-page);
        extendSelection();
        break;
      case Qt::Key_PageDown:
        if (!WriteEditor()) return;
        if (leaveInsert()) return;
        ds->MoveBy(page);
        extendSelection();
        break;
      case Qt::Key_Home:
      case Qt::Key_End:
        if (mods & Qt::ControlModifier) {
          if (!WriteEditor()) return;
          if (leaveInsert()) return;
          key == Qt::Key_Home ? ds->First() : ds->Last();
          extendSelection();
        } else {
          SetSelectedIndex(key == Qt::Key_Home ? 0 : int(ShownColumns().size()) - 1);
        }
        break;
      case Qt::Key_Left:
        if (options_ & dgRowSelect) horizontalScrollBar()->setValue(hOffset_ - 20);
        else SetSelectedIndex(selCol_ - 1);
        break;
      case Qt::Key_Right:
        if (options_ & dgRowSelect) horizontalScrollBar()->setValue(hOffset_ + 20);
        else SetSelectedIndex(selCol_ + 1);
        break;
      case Qt::Key_Tab:
      case Qt::Key_Backtab: {
        const int n = int(ShownColumns().size());
        const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        if (!WriteEditor()) return;
        if (!back && selCol_ < n - 1) SetSelectedIndex(selCol_ + 1);
        else if (back && selCol_ > 0) SetSelectedIndex(selCol_ - 1);
        else if (!back) {
          // Past the last cell: the next row, or a new one after the last (as Down does), so that
          // what is typed next never lands on the row just typed.
          if (ds->State() == dsInsert && !ds->Modified()) break;
          const int moved = ds->MoveBy(1);
          if (moved == 0 && canModify && ds->State() == dsBrowse) ds->Append();
          if (moved != 0 || ds->State() == dsInsert) SetSelectedIndex(0);
        } else if (ds->MoveBy(-1) != 0) {
          SetSelectedIndex(n - 1);
        }
        break;
      }
      case Qt::Key_Insert:
        if (canModify) {
          if (!WriteEditor()) return;
          HideEditor();
          ds->Insert();
        }
        break;
      case Qt::Key_Delete:
        if (!(mods & Qt::ControlModifier)) { handled = false; return; }
        if (canModify && !ds->IsEmpty()) {
          HideEditor();
          if (!(options_ & dgConfirmDelete) ||
              MessageDlg("Supprimer l'enregistrement ?", MsgDlgType::Confirmation, mbYes | mbNo) == ModalResult::Yes)
            ds->Delete();
        }
        break;
      case Qt::Key_F2:
        ShowEditor();
        if (editorOpen_) editor_->deselect(), editor_->end(false);
        break;
      default:
        handled = false;
    }
  });
  if (handled) return true;
  const QChar typed = TypedChar(e);
  if (typed.isNull()) return false;
  QChar ch = typed;
  if (OnKeyPress) {
    GuardEvent([&] { OnKeyPress(this, ch); });
    if (ch.isNull()) return true;
  }
  bool consumed = true;
  GuardEvent([&] {
    if (ch == QChar(13)) {
      if (editorOpen_) {
        if (WriteEditor() && !(options_ & dgAlwaysShowEditor)) HideEditor();
      } else {
        ShowEditor();
      }
    } else if (ch == QChar(27)) {
      HideEditor();
      editorPending_ = false;
      if (ds->State() == dsEdit || ds->State() == dsInsert) ds->Cancel();
    } else if (fromEditor) {
      if (ch != typed) {
        editor_->insert(QString(ch));
        EditorTextEdited(editor_->text());
      } else {
        consumed = false;
      }
    } else if (ch.isPrint() && CanEdit(selCol_)) {
      const QString initial(ch);
      ShowEditor(&initial);
    } else {
      consumed = false;
    }
  });
  return consumed;
}

bool TDBGrid::focusNextPrevChild(bool next) {
  if ((options_ & dgTabs) && DataSet() && DataSet()->Active()) return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TDBGrid::eventFilter(QObject* o, QEvent* e) {
  if (o == editor_) {
    if (e->type() == QEvent::KeyPress) {
      if (HandleKey(static_cast<QKeyEvent*>(e), true)) return true;
    } else if (e->type() == QEvent::ShortcutOverride) {
      auto* ke = static_cast<QKeyEvent*>(e);
      if (ke->key() == Qt::Key_Tab && (options_ & dgTabs)) { e->accept(); return true; }
    } else if (e->type() == QEvent::FocusOut) {
      auto* fe = static_cast<QFocusEvent*>(e);
      if (QApplication::focusWidget() != this && fe->reason() != Qt::PopupFocusReason) focusOutEvent(fe);
    }
  }
  return QAbstractScrollArea::eventFilter(o, e);
}

void TDBGrid::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  if (OnEnter && e->reason() != Qt::PopupFocusReason) GuardEvent([&] { OnEnter(this); });
  Invalidate();
}

void TDBGrid::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  if (editor_->hasFocus() || hasFocus()) return;
  GuardEvent([&] {
    TDataSet* ds = DataSet();
    if ((options_ & dgCancelOnExit) && ds && ds->State() == dsInsert && !ds->Modified()) {
      HideEditor();
      ds->Cancel();
    }
    if (OnExit) OnExit(this);
  });
  Invalidate();
}

// ---- mouse ----

void TDBGrid::mousePressEvent(QMouseEvent* e) {
  if (!hasFocus() && !editor_->hasFocus()) setFocus(Qt::MouseFocusReason);
  const QPoint pos = e->position().toPoint();
  if (e->button() != Qt::LeftButton) return;
  if ((options_ & dgTitles) && pos.y() < rowHeight_) {
    const int c = ColumnAt(pos.x());
    if (c >= 0 && (options_ & dgColumnResize)) {
      const QRect r = TitleRect(c);
      if (std::abs(pos.x() - (r.right() + 1)) <= 3) {
        sizeCol_ = c;
        sizeStartX_ = pos.x();
        sizeStartW_ = r.width();
        return;
      }
    }
    titlePressed_ = true;
    titlePressCol_ = c;
    return;
  }
  const int rec = RowAt(pos.y());
  if (rec < 0) return;
  const int col = ColumnAt(pos.x());
  GuardEvent([&] {
    const bool same = rec == cur_ && col == selCol_;
    MoveToRecord(rec);
    if (col >= 0 && col != selCol_) SetSelectedIndex(col);
    ClickSelect(cur_, e->modifiers());
    if (col >= 0 && OnCellClick) OnCellClick(this, *ShownColumns()[col]);
    if (same && CanEdit(col) && !editorOpen_) ShowEditor();
  });
}

void TDBGrid::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (sizeCol_ >= 0) {
    auto shown = ShownColumns();
    if (sizeCol_ < int(shown.size())) {
      shown[sizeCol_]->Width = std::max(1, sizeStartW_ + pos.x() - sizeStartX_);
      UpdateScrollBars();
      PlaceEditor();
      Invalidate();
    }
    return;
  }
  if ((options_ & dgColumnResize) && (options_ & dgTitles) && pos.y() < rowHeight_) {
    const int c = ColumnAt(pos.x());
    const QRect r = TitleRect(c);
    viewport()->setCursor(c >= 0 && std::abs(pos.x() - (r.right() + 1)) <= 3 ? Qt::SplitHCursor : Qt::ArrowCursor);
  }
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* e) {
  if (sizeCol_ >= 0) {
    sizeCol_ = -1;
    viewport()->setCursor(Qt::ArrowCursor);
    return;
  }
  if (titlePressed_) {
    titlePressed_ = false;
    const int c = ColumnAt(e->position().toPoint().x());
    if (c >= 0 && c == titlePressCol_ && e->position().toPoint().y() < rowHeight_ && OnTitleClick) {
      auto shown = ShownColumns();
      GuardEvent([&] { OnTitleClick(this, *shown[c]); });
    }
  }
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if ((options_ & dgTitles) && e->position().toPoint().y() < rowHeight_) return;
  if (OnDblClick) GuardEvent([&] { OnDblClick(this); });
}

void TDBGrid::wheelEvent(QWheelEvent* e) {
  const int steps = e->angleDelta().y() / 40;
  if (steps != 0) verticalScrollBar()->setValue(top_ - steps);
  e->accept();
}
