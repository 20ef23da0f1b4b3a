#include "platform/ui/DBGrids.h"

#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

TField* TColumn::Field() const {
  if (!grid_) return nullptr;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active()) return nullptr;
  return ds->FindField(FieldName);
}

TDBGrid::TDBGrid(QWidget* parent) : TCustomGrid(parent) {
  selected_.grid_ = this;
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
