#include "platform/ui/DBGrids.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "platform/sys/Formats.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"

TField* TColumn::Field() const {
  if (!grid_) return nullptr;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active()) return nullptr;
  return ds->FindField(FieldName);
}

// ---- selected rows ----

bool TBookmarkList::CurrentRowSelected() const {
  if (!grid_) return false;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty()) return false;
  const TBookmark bm = ds->GetBookmark();
  return std::find(items_.begin(), items_.end(), bm) != items_.end();
}

void TBookmarkList::SetCurrentRowSelected(bool on) {
  if (!grid_) return;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty() || ds->State() == dsInsert) return;
  const TBookmark bm = ds->GetBookmark();
  auto it = std::find(items_.begin(), items_.end(), bm);
  if (on && it == items_.end()) {
    items_.push_back(bm);
    rows_.push_back(grid_->cur_);
  } else if (!on && it != items_.end()) {
    rows_.erase(rows_.begin() + (it - items_.begin()));
    items_.erase(it);
  }
  grid_->Invalidate();
}

void TBookmarkList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  rows_.clear();
  if (grid_) grid_->Invalidate();
}

void TBookmarkList::Refresh() {
  if (!grid_) return;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active()) {
    Clear();
    return;
  }
  for (size_t i = items_.size(); i-- > 0;) {
    if (!ds->BookmarkValid(items_[i])) {
      items_.erase(items_.begin() + i);
      rows_.erase(rows_.begin() + i);
    }
  }
  grid_->RecomputeSelectionRows();
  grid_->Invalidate();
}

// ---- grid ----

TDBGrid::TDBGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  selected_.grid_ = this;
  color_ = StdColors::Window();
  fixedColor_ = StdColors::BtnFace();
  fontColor_ = StdColors::WindowText();
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  viewport()->setMouseTracking(true);
  editor_ = new TInplaceEdit(this, [this](const QString& t) { EditorTextEdited(t); });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
    if (syncing_) return;
    top_ = v;
    cacheValid_ = cacheValid_ && top_ >= cacheFirst_ && top_ + VisibleRows() <= cacheFirst_ + int(cache_.size());
    PlaceEditor();
    Invalidate();
  });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
    if (syncing_) return;
    hOffset_ = v;
    PlaceEditor();
    Invalidate();
  });
}

TDBGrid::~TDBGrid() { SetSource(nullptr); }

TColumn& TDBGrid::AddColumn(const QString& field, const QString& title, int width) {
  TColumn c;
  c.FieldName = field;
  c.Title = title;
  c.Width = width;
  c.grid_ = this;
  columns_.push_back(c);
  for (auto& col : columns_) col.grid_ = this;
  UpdateScrollBars();
  Invalidate();
  return columns_.back();
}

void TDBGrid::ClearColumns() {
  columns_.clear();
  lookups_.clear();
  selCol_ = 0;
  Invalidate();
}

void TDBGrid::SetOptions(TDBGridOptions o) {
  options_ = o;
  if (o & dgRowSelect) HideEditor();
  if (!(o & dgMultiSelect)) selected_.Clear();
  UpdateScrollBars();
  Invalidate();
}

void TDBGrid::SetColor(const QColor& c) {
  color_ = c;
  Invalidate();
}

void TDBGrid::SetDefaultRowHeight(int h) {
  rowHeight_ = std::max(1, h);
  UpdateScrollBars();
  Invalidate();
}

std::vector<TColumn*> TDBGrid::ShownColumns() {
  std::vector<TColumn*> out;
  if (columns_.empty()) {
    // No columns given: every visible field, as the dataset has them.
    TDataSet* ds = DataSet();
    if (ds && ds->Active()) {
      if (int(autoColumns_.size()) != ds->FieldCount()) {
        autoColumns_.clear();
        for (int i = 0; i < ds->FieldCount(); ++i) {
          TColumn c;
          c.FieldName = ds->Fields(i)->FieldName();
          c.Width = std::max(40, std::min(200, ds->Fields(i)->Size() * 8 + 8));
          c.grid_ = this;
          autoColumns_.push_back(c);
        }
      }
      for (auto& c : autoColumns_)
        if (TField* f = c.Field(); f && f->Visible) out.push_back(&c);
    }
    return out;
  }
  for (auto& c : columns_)
    if (c.Visible) out.push_back(&c);
  return out;
}

int TDBGrid::IndicatorWidth() const { return (options_ & dgIndicator) ? 12 : 0; }
int TDBGrid::TitleHeight() const { return (options_ & dgTitles) ? rowHeight_ + 1 : 0; }
int TDBGrid::RowExtent() const { return rowHeight_ + ((options_ & dgRowLines) ? 1 : 0); }
int TDBGrid::DisplayCount() const { return count_ + (insertPos_ >= 0 ? 1 : 0); }

int TDBGrid::VisibleRows() const {
  return std::max(1, (viewport()->height() - TitleHeight()) / RowExtent());
}

void TDBGrid::Invalidate() { viewport()->update(); }

// ---- data source events ----

void TDBGrid::ActiveChanged() {
  HideEditor();
  top_ = 0;
  hOffset_ = 0;
  insertPos_ = -1;
  autoColumns_.clear();
  selected_.items_.clear();
  selected_.rows_.clear();
  Sync(true);
}

void TDBGrid::StateChanged() {
  TDataSet* ds = DataSet();
  const TDataSetState s = ds ? ds->State() : dsInactive;
  if (s == dsInsert && insertPos_ < 0) {
    insertPos_ = ds->Eof() ? count_ : std::clamp(cur_, 0, count_);
  } else if (s != dsInsert) {
    insertPos_ = -1;
  }
  if (s == dsBrowse && editorOpen_ && !writingEditor_) {
    editorPending_ = false;
    if (!(options_ & dgAlwaysShowEditor)) HideEditor();
  }
  Sync(true);
}

void TDBGrid::DataSetChanged() {
  Sync(true);
  if (!selected_.items_.empty()) RecomputeSelectionRows();
}

void TDBGrid::DataSetScrolled(int) { Sync(false); }

void TDBGrid::RecordChanged(TField* field) {
  if (editorOpen_ && !writingEditor_) {
    auto shown = ShownColumns();
    if (selCol_ < int(shown.size()) && (!field || shown[selCol_]->Field() == field)) {
      TField* f = shown[selCol_]->Field();
      if (f) editor_->setText(f->AsString());
    }
  }
  Invalidate();
}

void TDBGrid::UpdateData() {
  if (!editorOpen_ || !editorPending_) return;
  auto shown = ShownColumns();
  TField* f = selCol_ < int(shown.size()) ? shown[selCol_]->Field() : nullptr;
  if (!f) return;
  writingEditor_ = true;
  struct Reset { bool& b; ~Reset() { b = false; } } reset{writingEditor_};
  f->AsString = editor_->text();  // a text that is no value fails the post
  editorPending_ = false;
}

void TDBGrid::Sync(bool reread) {
  if (syncing_) return;
  syncing_ = true;
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) {
    count_ = 0;
    cur_ = -1;
    insertPos_ = -1;
  } else {
    count_ = ds->RecordCount();
    if (ds->State() == dsInsert) {
      if (insertPos_ < 0 || insertPos_ > count_) insertPos_ = std::clamp(cur_, 0, count_);
      cur_ = insertPos_;
    } else {
      insertPos_ = -1;
      const int rn = count_ > 0 ? ds->RecNo() : 0;
      cur_ = rn > 0 ? rn - 1 : (count_ > 0 ? 0 : -1);
    }
  }
  if (reread) {
    cacheValid_ = false;
    lookups_.clear();
  }
  syncing_ = false;
  if (cur_ >= 0) EnsureVisible(cur_);
  else top_ = 0;
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TDBGrid::EnsureVisible(int rec) {
  const int vis = VisibleRows();
  if (rec < top_) top_ = rec;
  else if (rec >= top_ + vis) top_ = rec - vis + 1;
  // No empty rows below the last record while rows above could be shown.
  top_ = std::clamp(top_, 0, std::max(0, DisplayCount() - vis));
}

void TDBGrid::UpdateScrollBars() {
  syncing_ = true;
  const int vis = VisibleRows();
  verticalScrollBar()->setRange(0, std::max(0, DisplayCount() - vis));
  verticalScrollBar()->setPageStep(vis);
  verticalScrollBar()->setValue(top_);
  int total = 0;
  for (TColumn* c : ShownColumns()) total += c->Width + ((options_ & dgColLines) ? 1 : 0);
  const int avail = viewport()->width() - IndicatorWidth();
  horizontalScrollBar()->setRange(0, std::max(0, total - avail));
  horizontalScrollBar()->setPageStep(std::max(1, avail));
  horizontalScrollBar()->setSingleStep(20);
  hOffset_ = std::clamp(hOffset_, 0, horizontalScrollBar()->maximum());
  horizontalScrollBar()->setValue(hOffset_);
  syncing_ = false;
}

// ---- values ----

QString TDBGrid::FormatValue(const TField* field, const QVariant& v, const QString& picture) {
  if (!field || v.isNull() || !v.isValid()) return QString();
  const QString pic = picture.isEmpty() ? field->DisplayFormat : picture;
  switch (field->DataType()) {
    case ftDate:
      return DateToStr(v.toDate());
    case ftDateTime:
      return DateTimeToStr(v.toDateTime());
    case ftCurrency:
      return pic.isEmpty() ? CurrToStrF(Currency::FromDouble(v.toDouble())) : FormatFloat(pic, v.toDouble());
    case ftFloat:
      return pic.isEmpty() ? FloatToStr(v.toDouble()) : FormatFloat(pic, v.toDouble());
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
      return pic.isEmpty() ? IntToStr(v.toLongLong()) : FormatFloat(pic, v.toDouble());
    case ftBoolean:
      return v.toBool() ? "True" : "False";
    default:
      return v.toString();
  }
}

QList<QVariant> TDBGrid::RowValues(int rec) {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active() || rec < 0) return {};
  const TDataSetState s = ds->State();
  if ((s == dsInsert && rec == insertPos_) || (s == dsEdit && rec == cur_)) {
    QList<QVariant> vals;
    for (int i = 0; i < ds->FieldCount(); ++i) vals.push_back(ds->Fields(i)->Value());
    return vals;
  }
  const int stored = (insertPos_ >= 0 && rec > insertPos_) ? rec - 1 : rec;
  if (stored < 0 || stored >= count_) return {};
  if (!cacheValid_ || stored < cacheFirst_ || stored >= cacheFirst_ + int(cache_.size())) {
    const int storedTop = (insertPos_ >= 0 && top_ > insertPos_) ? top_ - 1 : top_;
    cacheFirst_ = std::max(0, std::min(storedTop, stored));
    const int n = std::max(VisibleRows() + 2, stored - cacheFirst_ + 1);
    // Read while painting: a failure shows empty cells rather than leaving the paint event.
    try {
      cache_ = ds->ReadRows(cacheFirst_, n);
    } catch (const std::exception&) {
      cache_.clear();
    }
    cacheValid_ = true;
  }
  const int i = stored - cacheFirst_;
  if (i < 0 || i >= int(cache_.size())) return {};
  return cache_[i];
}

QString TDBGrid::LookupText(int rec, TColumn& col) {
  TDataSet* ds = DataSet();
  TDataSet* lk = col.LookupDataSet;
  if (!ds || !lk || !lk->Active()) return QString();
  TField* key = ds->FindField(col.KeyField);
  TField* lkKey = lk->FindField(col.LookupKeyField);
  TField* lkResult = lk->FindField(col.LookupResultField);
  if (!key || !lkKey || !lkResult) return QString();
  auto it = lookups_.find(&col);
  if (it == lookups_.end()) {
    QHash<QString, QVariant> map;
    try {
      for (const auto& row : lk->ReadRows(0, lk->RecordCount()))
        map.insert(row.value(lkKey->Index()).toString(), row.value(lkResult->Index()));
    } catch (const std::exception&) {
    }
    it = lookups_.emplace(&col, std::move(map)).first;
  }
  const QList<QVariant> vals = RowValues(rec);
  if (key->Index() >= vals.size()) return QString();
  return FormatValue(lkResult, it->second.value(vals[key->Index()].toString()), col.DisplayFormat);
}

QString TDBGrid::DisplayText(int dataCol, int rec) {
  auto shown = ShownColumns();
  if (dataCol < 0 || dataCol >= int(shown.size())) return QString();
  return CellText(rec, *shown[dataCol]);
}

QString TDBGrid::CellText(int rec, TColumn& col) {
  if (col.LookupDataSet) return LookupText(rec, col);
  TField* f = col.Field();
  if (!f) return QString();
  const QList<QVariant> vals = RowValues(rec);
  if (f->Index() >= vals.size()) return QString();
  return FormatValue(f, vals[f->Index()], col.DisplayFormat);
}

QVariant TDBGrid::DrawFieldValue(const QString& field) const {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return {};
  TField* f = ds->FindField(field);
  if (!f) return {};
  const QList<QVariant> vals = const_cast<TDBGrid*>(this)->RowValues(drawRec_);
  return f->Index() < vals.size() ? vals[f->Index()] : QVariant();
}

// ---- geometry ----

QRect TDBGrid::CellRect(int dataCol, int rec) const {
  auto shown = const_cast<TDBGrid*>(this)->ShownColumns();
  if (dataCol < 0 || dataCol >= int(shown.size()) || rec < top_) return QRect();
  int x = IndicatorWidth() - hOffset_;
  for (int i = 0; i < dataCol; ++i) x += shown[i]->Width + ((options_ & dgColLines) ? 1 : 0);
  const int y = TitleHeight() + (rec - top_) * RowExtent();
  if (y > viewport()->height()) return QRect();
  return QRect(x, y, shown[dataCol]->Width, rowHeight_);
}

QRect TDBGrid::TitleRect(int dataCol) const {
  auto shown = const_cast<TDBGrid*>(this)->ShownColumns();
  if (!(options_ & dgTitles) || dataCol < 0 || dataCol >= int(shown.size())) return QRect();
  int x = IndicatorWidth() - hOffset_;
  for (int i = 0; i < dataCol; ++i) x += shown[i]->Width + ((options_ & dgColLines) ? 1 : 0);
  return QRect(x, 0, shown[dataCol]->Width, rowHeight_);
}

int TDBGrid::RowAt(int y) const {
  if (y < TitleHeight()) return -1;
  const int rec = top_ + (y - TitleHeight()) / RowExtent();
  return rec < DisplayCount() ? rec : -1;
}

int TDBGrid::ColumnAt(int x) const {
  auto shown = const_cast<TDBGrid*>(this)->ShownColumns();
  int pos = IndicatorWidth() - hOffset_;
  if (x < IndicatorWidth()) return -1;
  for (int i = 0; i < int(shown.size()); ++i) {
    const int e = shown[i]->Width + ((options_ & dgColLines) ? 1 : 0);
    if (x >= pos && x < pos + e) return i;
    pos += e;
  }
  return -1;
}

// ---- painting ----

void TDBGrid::DefaultDrawColumnCell(const QRect& rect, int, TColumn& column, TGridDrawState) {
  canvas_.FillRect(rect);
  const QString text = CellText(drawRec_, column);
  canvas_.DrawText(rect.adjusted(2, 0, -2, 0), int(column.Alignment | Qt::AlignVCenter), text);
}

bool TDBGrid::RowSelected(int rec) const {
  if (!(options_ & dgMultiSelect)) return false;
  return std::find(selected_.rows_.begin(), selected_.rows_.end(), rec) != selected_.rows_.end();
}

void TDBGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int vw = viewport()->width(), vh = viewport()->height();
  const QColor lineColor = RGBColor(0xA0A0A0);
  p.fillRect(QRect(0, 0, vw, vh), color_);
  auto shown = ShownColumns();
  const bool colLines = options_ & dgColLines, rowLines = options_ & dgRowLines;
  const bool focused = hasFocus() || editor_->hasFocus();
  const int ind = IndicatorWidth();
  TDataSet* ds = DataSet();
  const TDataSetState st = ds ? ds->State() : dsInactive;
  // Title row.
  if (options_ & dgTitles) {
    p.fillRect(QRect(0, 0, vw, rowHeight_), fixedColor_);
    for (int i = 0; i < int(shown.size()); ++i) {
      const QRect r = TitleRect(i);
      if (r.right() < ind || r.left() > vw) continue;
      p.save();
      p.setClipRect(QRect(ind, 0, vw - ind, rowHeight_));
      QString title = shown[i]->Title;
      if (title.isEmpty()) {
        TField* f = shown[i]->Field();
        title = f ? (f->DisplayLabel.isEmpty() ? f->FieldName() : f->DisplayLabel) : shown[i]->FieldName;
      }
      p.setPen(StdColors::WindowText());
      p.setFont(hasTitleFont_ ? titleFont_ : font());
      p.drawText(r.adjusted(2, 0, -2, 0), int(shown[i]->TitleAlignment | Qt::AlignVCenter), title);
      p.fillRect(QRect(r.right() + 1, 0, 1, rowHeight_), lineColor);
      p.restore();
    }
    p.fillRect(QRect(0, rowHeight_, vw, 1), lineColor);
  }
  // Rows.
  const int rows = std::min(DisplayCount() - top_, (vh - TitleHeight()) / RowExtent() + 1);
  for (int i = 0; i < rows; ++i) {
    const int rec = top_ + i;
    const int y = TitleHeight() + i * RowExtent();
    drawRec_ = rec;
    const int stored = (insertPos_ >= 0 && rec > insertPos_) ? rec - 1 : rec;
    drawRecNo_ = (insertPos_ == rec) ? 0 : stored + 1;
    const bool isCur = rec == cur_;
    if (ind > 0) {
      p.fillRect(QRect(0, y, ind, rowHeight_), fixedColor_);
      if (isCur) {
        p.setPen(Qt::black);
        p.setFont(font());
        const QString mark = st == dsInsert ? "*" : st == dsEdit ? "I" : QString(QChar(0x25B6));
        p.drawText(QRect(0, y, ind, rowHeight_), Qt::AlignCenter, mark);
      }
      p.fillRect(QRect(ind - 1, y, 1, rowHeight_), lineColor);
    }
    // Lines first: a cell paints only its own rectangle, and owner drawing may go over the lines.
    if (rowLines) p.fillRect(QRect(0, y + rowHeight_, vw, 1), lineColor);
    for (int c = 0; c < int(shown.size()) && colLines; ++c) {
      const QRect r = CellRect(c, rec);
      if (!r.isEmpty() && r.right() + 1 >= ind) p.fillRect(QRect(r.right() + 1, y, 1, rowHeight_ + (rowLines ? 1 : 0)), lineColor);
    }
    for (int c = 0; c < int(shown.size()); ++c) {
      const QRect r = CellRect(c, rec);
      if (r.isEmpty() || r.right() < ind || r.left() > vw) continue;
      TColumn& col = *shown[c];
      TGridDrawState state = 0;
      if (isCur) {
        if (options_ & dgRowSelect) {
          if (focused || (options_ & dgAlwaysShowSelection)) state |= gdSelected;
          if (focused && c == selCol_) state |= gdFocused;
        } else if (c == selCol_) {
          if (focused) state |= gdFocused | gdSelected;
          else if (options_ & dgAlwaysShowSelection) state |= gdSelected;
        }
      }
      if (RowSelected(rec)) state |= gdSelected;
      canvas_.Begin(&p, font());
      canvas_.Pen = TCanvas::TPen();
      canvas_.Font = TCanvas::TFont();
      canvas_.Font.Bold = col.Bold;
      canvas_.Font.Color = col.FontColor.isValid() ? col.FontColor : fontColor_;
      canvas_.Brush.Color = col.Color.isValid() ? col.Color : color_;
      const bool highlight = (state & gdSelected) &&
                             ((options_ & dgRowSelect) || !(state & gdFocused) || RowSelected(rec));
      if (highlight) {
        canvas_.Brush.Color = StdColors::Highlight();
        canvas_.Font.Color = StdColors::HighlightText();
      }
      p.save();
      p.setClipRect(QRect(ind, TitleHeight(), vw - ind, vh - TitleHeight()));
      if (defaultDrawing_) DefaultDrawColumnCell(r, c, col, state);
      else canvas_.FillRect(r);
      if (OnDrawColumnCell) OnDrawColumnCell(this, r, c, col, state);
      if ((state & gdFocused) && !(options_ & dgRowSelect) && !editorOpen_) {
        QPen pen(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
      }
      p.restore();
      canvas_.End();
    }
  }
  drawRec_ = -1;
  drawRecNo_ = 0;
}

void TDBGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  if (cur_ >= 0) EnsureVisible(cur_);
  else top_ = 0;
  UpdateScrollBars();
  PlaceEditor();
}

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
  editor_->Begin(font(), f->AsString(), initial);
  if (f->DataType() == ftString && f->Size() > 0) editor_->setMaxLength(f->Size());
  else editor_->setMaxLength(32767);
  PlaceEditor();
  editor_->Reveal();
  if (initial) EditorTextEdited(*initial);
}

void TDBGrid::HideEditor() {
  if (!editorOpen_) return;
  editorOpen_ = false;
  if (editor_->End()) setFocus();
  Invalidate();
}

void TDBGrid::PlaceEditor() {
  if (!editorOpen_) return;
  editor_->PlaceOver(cur_ < top_ ? QRect() : CellRect(selCol_, cur_));
}

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
    try {
      f->AsString = text;
      editorPending_ = false;
    } catch (const EAbort&) {
      throw;
    } catch (const Exception&) {
      editorPending_ = true;  // a number still being typed; checked when the cell is left
    }
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
  const QChar typed = KeyPressChar(e);
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

void TDBGrid::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e, false)) QAbstractScrollArea::keyPressEvent(e);
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
