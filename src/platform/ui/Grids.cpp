#include "platform/ui/Grids.h"

#include <QScrollBar>
#include <algorithm>

TStringGrid::TStringGrid(QWidget* parent) : TCustomGrid(parent) {
  colWidths_.assign(cols_, defColWidth_);
  rowHeights_.assign(rows_, defRowHeight_);
  cells_.assign(size_t(cols_) * rows_, QString());
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
    if (!updatingScroll_) SetTopLeft(leftCol_, fixedRows_ + v);
  });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
    if (!updatingScroll_) SetTopLeft(fixedCols_ + v, topRow_);
  });
  UpdateScrollBars();
}

TStringGrid::~TStringGrid() = default;

// ---- sizes ----

// Columns and rows follow the same rules, one axis at a time: after the axis took `count` cells,
// its fixed cells, the current and anchor cells and the first cell in view stay within it.
static void FitAxis(int count, int& fixed, int& cur, int& anchor, int& first) {
  if (fixed >= count) fixed = count - 1 < 0 ? 0 : count - 1;
  if (cur >= count) cur = anchor = count - 1;
  if (anchor >= count) anchor = cur;
  if (first >= count) first = std::max(fixed, count - 1);
}

// ...and after it took `fixed` fixed cells, the current cell and the first in view are past them.
static void KeepPastFixed(int fixed, int& cur, int& anchor, int& first) {
  if (cur < fixed) cur = anchor = fixed;
  if (first < fixed) first = fixed;
}

void TStringGrid::ResizeStorage(int cols, int rows) {
  if (cols == cols_ && rows == rows_) return;
  std::vector<QString> cells(size_t(cols) * rows);
  const int cc = std::min(cols, cols_), rr = std::min(rows, rows_);
  for (int r = 0; r < rr; ++r)
    for (int c = 0; c < cc; ++c) cells[size_t(r) * cols + c] = std::move(cells_[size_t(r) * cols_ + c]);
  cells_.swap(cells);
  colWidths_.resize(cols, defColWidth_);
  rowHeights_.resize(rows, defRowHeight_);
  cols_ = cols;
  rows_ = rows;
}

void TStringGrid::SetColCount(int n) {
  n = std::max(n, 1);
  if (n == cols_) return;
  HideEditor();
  ResizeStorage(n, rows_);
  FitAxis(cols_, fixedCols_, col_, anchorCol_, leftCol_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetRowCount(int n) {
  n = std::max(n, 1);
  if (n == rows_) return;
  HideEditor();
  ResizeStorage(cols_, n);
  FitAxis(rows_, fixedRows_, row_, anchorRow_, topRow_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedCols(int n) {
  n = std::clamp(n, 0, cols_ - 1);
  fixedCols_ = n;
  KeepPastFixed(n, col_, anchorCol_, leftCol_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedRows(int n) {
  n = std::clamp(n, 0, rows_ - 1);
  fixedRows_ = n;
  KeepPastFixed(n, row_, anchorRow_, topRow_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetDefaultColWidth(int w) {
  defColWidth_ = w;
  colWidths_.assign(cols_, w);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int h) {
  defRowHeight_ = h;
  rowHeights_.assign(rows_, h);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetColWidths(int c, int w) {
  if (c < 0 || c >= cols_ || colWidths_[c] == w) return;
  colWidths_[c] = std::max(w, 0);
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TStringGrid::SetRowHeights(int r, int h) {
  if (r < 0 || r >= rows_ || rowHeights_[r] == h) return;
  rowHeights_[r] = std::max(h, 0);
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TStringGrid::SetGridLineWidth(int w) {
  lineWidth_ = std::max(w, 0);
  UpdateScrollBars();
  Invalidate();
}

int TStringGrid::ColExtent(int c) const {
  const int w = colWidths_[c];
  if (w <= 0) return 0;
  const bool line = c < fixedCols_ ? (options_ & goFixedVertLine) : (options_ & goVertLine);
  return w + (line ? lineWidth_ : 0);
}

int TStringGrid::RowExtent(int r) const {
  const int h = rowHeights_[r];
  if (h <= 0) return 0;
  const bool line = r < fixedRows_ ? (options_ & goFixedHorzLine) : (options_ & goHorzLine);
  return h + (line ? lineWidth_ : 0);
}

int TStringGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) w += ColExtent(c);
  return w;
}

int TStringGrid::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRows_; ++r) h += RowExtent(r);
  return h;
}

void TStringGrid::UpdateScrollBars() {
  updatingScroll_ = true;
  const bool v = scrollBars_ == TScrollStyle::ssBoth || scrollBars_ == TScrollStyle::ssVertical;
  const bool h = scrollBars_ == TScrollStyle::ssBoth || scrollBars_ == TScrollStyle::ssHorizontal;
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  const int maxTop = MaxTopRow(), maxLeft = MaxLeftCol();
  verticalScrollBar()->setRange(0, maxTop - fixedRows_);
  verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
  verticalScrollBar()->setValue(topRow_ - fixedRows_);
  horizontalScrollBar()->setRange(0, maxLeft - fixedCols_);
  horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
  horizontalScrollBar()->setValue(leftCol_ - fixedCols_);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
  updatingScroll_ = false;
}

void TStringGrid::SetScrollBars(TScrollStyle s) {
  scrollBars_ = s;
  UpdateScrollBars();
}

void TStringGrid::SetOptions(TGridOptions o) {
  options_ = o;
  if (!(o & goEditing)) HideEditor();
  UpdateScrollBars();
  Invalidate();
}

// ---- cells ----

QString TStringGrid::Cells(int c, int r) const {
  if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return QString();
  return cells_[size_t(r) * cols_ + c];
}

void TStringGrid::SetCells(int c, int r, const QString& text) {
  if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return;
  QString& cell = cells_[size_t(r) * cols_ + c];
  if (cell == text) return;
  cell = text;
  if (editorOpen_ && c == col_ && r == row_ && editor_->text() != text) editor_->setText(text);
  InvalidateCell(c, r);
}

void TStringGrid::ClearRow(int r) {
  if (r < 0 || r >= rows_) return;
  for (int c = 0; c < cols_; ++c) cells_[size_t(r) * cols_ + c].clear();
  if (editorOpen_ && r == row_) editor_->clear();
  Invalidate();
}

void TStringGrid::ClearCells() {
  for (auto& s : cells_) s.clear();
  if (editorOpen_) editor_->clear();
  Invalidate();
}

void TStringGrid::MoveRow(int from, int to) {
  if (from < 0 || to < 0 || from >= rows_ || to >= rows_ || from == to) return;
  HideEditor();
  std::vector<QString> moved(cells_.begin() + size_t(from) * cols_, cells_.begin() + size_t(from + 1) * cols_);
  const int h = rowHeights_[from];
  if (from < to) {
    for (int r = from; r < to; ++r) {
      std::move(cells_.begin() + size_t(r + 1) * cols_, cells_.begin() + size_t(r + 2) * cols_,
                cells_.begin() + size_t(r) * cols_);
      rowHeights_[r] = rowHeights_[r + 1];
    }
  } else {
    for (int r = from; r > to; --r) {
      std::move(cells_.begin() + size_t(r - 1) * cols_, cells_.begin() + size_t(r) * cols_,
                cells_.begin() + size_t(r) * cols_);
      rowHeights_[r] = rowHeights_[r - 1];
    }
  }
  std::move(moved.begin(), moved.end(), cells_.begin() + size_t(to) * cols_);
  rowHeights_[to] = h;
  Invalidate();
}

// ---- current cell ----

TGridRect TStringGrid::Selection() const {
  TGridRect s;
  s.Left = std::min(col_, anchorCol_);
  s.Right = std::max(col_, anchorCol_);
  s.Top = std::min(row_, anchorRow_);
  s.Bottom = std::max(row_, anchorRow_);
  if (options_ & goRowSelect) {
    s.Left = fixedCols_;
    s.Right = cols_ - 1;
  }
  return s;
}

void TStringGrid::SetSelection(const TGridRect& s) {
  HideEditor();
  anchorCol_ = std::clamp(s.Left, fixedCols_, cols_ - 1);
  anchorRow_ = std::clamp(s.Top, fixedRows_, rows_ - 1);
  col_ = std::clamp(s.Right, fixedCols_, cols_ - 1);
  row_ = std::clamp(s.Bottom, fixedRows_, rows_ - 1);
  ScrollInView(col_, row_);
  Invalidate();
}

bool TStringGrid::FocusCell(int c, int r) {
  c = std::clamp(c, fixedCols_, cols_ - 1);
  r = std::clamp(r, fixedRows_, rows_ - 1);
  bool moved = true;
  if (c != col_ || r != row_) {
    bool can = true;
    if (OnSelectCell) OnSelectCell(this, c, r, can);
    if (can) MoveCurrent(c, r, true);
    moved = can;
  }
  if (OnClick) OnClick(this);
  return moved;
}

void TStringGrid::MoveCurrent(int c, int r, bool moveAnchor) {
  const bool wasEditing = editorOpen_;
  HideEditor();
  const TGridRect before = Selection();
  col_ = c;
  row_ = r;
  if (moveAnchor) {
    anchorCol_ = c;
    anchorRow_ = r;
  }
  ScrollInView(c, r);
  // Only the cells that change their look are painted again (a scroll moved the others).
  InvalidateRange(before);
  InvalidateRange(Selection());
  if (wasEditing && (options_ & goAlwaysShowEditor)) ShowEditor();
}

void TStringGrid::SetCol(int c) { FocusCell(c, row_); }
void TStringGrid::SetRow(int r) { FocusCell(col_, r); }
