#include "platform/ui/Grids.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "platform/ui/EventGuard.h"

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

TStringGrid::TStringGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  color_ = StdColors::Window();
  fixedColor_ = StdColors::BtnFace();
  fontColor_ = StdColors::WindowText();
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  colWidths_.assign(cols_, defColWidth_);
  rowHeights_.assign(rows_, defRowHeight_);
  cells_.assign(size_t(cols_) * rows_, QString());
  editor_ = new TInplaceEdit(this, [this](const QString& t) { EditorTextEdited(t); });
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
  if (fixedCols_ >= cols_) fixedCols_ = cols_ - 1 < 0 ? 0 : cols_ - 1;
  if (col_ >= cols_) col_ = anchorCol_ = cols_ - 1;
  if (anchorCol_ >= cols_) anchorCol_ = col_;
  if (leftCol_ >= cols_) leftCol_ = std::max(fixedCols_, cols_ - 1);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetRowCount(int n) {
  n = std::max(n, 1);
  if (n == rows_) return;
  HideEditor();
  ResizeStorage(cols_, n);
  if (fixedRows_ >= rows_) fixedRows_ = rows_ - 1 < 0 ? 0 : rows_ - 1;
  if (row_ >= rows_) row_ = anchorRow_ = rows_ - 1;
  if (anchorRow_ >= rows_) anchorRow_ = row_;
  if (topRow_ >= rows_) topRow_ = std::max(fixedRows_, rows_ - 1);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedCols(int n) {
  n = std::clamp(n, 0, cols_ - 1);
  fixedCols_ = n;
  if (col_ < n) col_ = anchorCol_ = n;
  if (leftCol_ < n) leftCol_ = n;
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedRows(int n) {
  n = std::clamp(n, 0, rows_ - 1);
  fixedRows_ = n;
  if (row_ < n) row_ = anchorRow_ = n;
  if (topRow_ < n) topRow_ = n;
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

// The largest top row that still fills the view down to the last row.
int TStringGrid::MaxTopRow() const {
  const int avail = viewport()->height() - FixedHeight();
  int used = 0, r = rows_ - 1;
  while (r >= fixedRows_) {
    const int e = RowExtent(r);
    if (used + e > avail && used > 0) break;
    used += e;
    --r;
  }
  return std::max(fixedRows_, std::min(r + 1, rows_ - 1));
}

int TStringGrid::MaxLeftCol() const {
  const int avail = viewport()->width() - FixedWidth();
  int used = 0, c = cols_ - 1;
  while (c >= fixedCols_) {
    const int e = ColExtent(c);
    if (used + e > avail && used > 0) break;
    used += e;
    --c;
  }
  return std::max(fixedCols_, std::min(c + 1, cols_ - 1));
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

// ---- scrolling ----

void TStringGrid::SetTopLeft(int left, int top) {
  left = std::clamp(left, fixedCols_, std::max(fixedCols_, cols_ - 1));
  top = std::clamp(top, fixedRows_, std::max(fixedRows_, rows_ - 1));
  if (left == leftCol_ && top == topRow_) return;
  const int oldLeft = leftCol_, oldTop = topRow_;
  leftCol_ = left;
  topRow_ = top;
  UpdateScrollBars();
  PlaceEditor();
  if (!ScrollView(oldLeft, oldTop)) Invalidate();
  if (OnTopLeftChanged) OnTopLeftChanged(this);
}

// Moves what is on screen by the rows or columns scrolled, so that only the cells coming into view
// are painted; false when the whole view must be painted again.
bool TStringGrid::ScrollView(int oldLeft, int oldTop) {
  if (updateCount_ > 0 || !isVisible() || (oldLeft != leftCol_ && oldTop != topRow_)) return false;
  const int vw = viewport()->width(), vh = viewport()->height();
  if (oldTop != topRow_) {
    int dy = 0;
    for (int i = std::min(oldTop, topRow_); i < std::max(oldTop, topRow_); ++i) dy += RowExtent(i);
    const QRect area(0, FixedHeight(), vw, vh - FixedHeight());
    if (dy >= area.height()) return false;
    viewport()->scroll(0, topRow_ > oldTop ? -dy : dy, area);
  } else {
    int dx = 0;
    for (int i = std::min(oldLeft, leftCol_); i < std::max(oldLeft, leftCol_); ++i) dx += ColExtent(i);
    const QRect area(FixedWidth(), 0, vw - FixedWidth(), vh);
    if (dx >= area.width()) return false;
    viewport()->scroll(leftCol_ > oldLeft ? -dx : dx, 0, area);
  }
  return true;
}

void TStringGrid::SetTopRow(int r) { SetTopLeft(leftCol_, r); }
void TStringGrid::SetLeftCol(int c) { SetTopLeft(c, topRow_); }

int TStringGrid::VisibleRowCount() const {
  const int avail = viewport()->height() - FixedHeight();
  int used = 0, n = 0;
  for (int r = topRow_; r < rows_; ++r) {
    used += RowExtent(r);
    if (used > avail) break;
    ++n;
  }
  return n;
}

int TStringGrid::VisibleColCount() const {
  const int avail = viewport()->width() - FixedWidth();
  int used = 0, n = 0;
  for (int c = leftCol_; c < cols_; ++c) {
    used += ColExtent(c);
    if (used > avail) break;
    ++n;
  }
  return n;
}

void TStringGrid::ScrollInView(int c, int r) {
  int left = leftCol_, top = topRow_;
  if (c >= fixedCols_) {
    if (c < left) left = c;
    else {
      const int avail = viewport()->width() - FixedWidth();
      int used = 0;
      for (int i = left; i <= c; ++i) used += ColExtent(i);
      while (used > avail && left < c) used -= ColExtent(left++);
    }
  }
  if (r >= fixedRows_) {
    if (r < top) top = r;
    else {
      const int avail = viewport()->height() - FixedHeight();
      int used = 0;
      for (int i = top; i <= r; ++i) used += RowExtent(i);
      while (used > avail && top < r) used -= RowExtent(top++);
    }
  }
  SetTopLeft(left, top);
}

// ---- geometry ----

QRect TStringGrid::CellRect(int c, int r) const {
  if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return QRect();
  if (c >= fixedCols_ && c < leftCol_) return QRect();
  if (r >= fixedRows_ && r < topRow_) return QRect();
  int x = 0;
  if (c < fixedCols_) {
    for (int i = 0; i < c; ++i) x += ColExtent(i);
  } else {
    x = FixedWidth();
    for (int i = leftCol_; i < c; ++i) {
      x += ColExtent(i);
      if (x > viewport()->width()) return QRect();
    }
  }
  int y = 0;
  if (r < fixedRows_) {
    for (int i = 0; i < r; ++i) y += RowExtent(i);
  } else {
    y = FixedHeight();
    for (int i = topRow_; i < r; ++i) {
      y += RowExtent(i);
      if (y > viewport()->height()) return QRect();
    }
  }
  return QRect(x, y, colWidths_[c], rowHeights_[r]);
}

void TStringGrid::MouseToCell(int x, int y, int& c, int& r) const {
  c = r = -1;
  int pos = 0;
  for (int i = 0; i < fixedCols_ && c < 0; ++i) {
    const int e = ColExtent(i);
    if (x >= pos && x < pos + e) c = i;
    pos += e;
  }
  for (int i = leftCol_; i < cols_ && c < 0 && pos <= x; ++i) {
    const int e = ColExtent(i);
    if (x >= pos && x < pos + e) c = i;
    pos += e;
  }
  pos = 0;
  for (int i = 0; i < fixedRows_ && r < 0; ++i) {
    const int e = RowExtent(i);
    if (y >= pos && y < pos + e) r = i;
    pos += e;
  }
  for (int i = topRow_; i < rows_ && r < 0 && pos <= y; ++i) {
    const int e = RowExtent(i);
    if (y >= pos && y < pos + e) r = i;
    pos += e;
  }
  if (c < 0 || r < 0) c = r = -1;
}

void TStringGrid::Invalidate() {
  if (updateCount_ == 0) viewport()->update();
}

void TStringGrid::InvalidateCell(int c, int r) {
  if (updateCount_ > 0) return;
  const QRect rc = CellRect(c, r);
  if (!rc.isEmpty()) viewport()->update(rc.adjusted(-1, -1, lineWidth_ + 1, lineWidth_ + 1));
}

void TStringGrid::InvalidateRange(const TGridRect& s) {
  if (updateCount_ > 0) return;
  QRect area;
  // Only the part in view (a large selection need not be walked cell by cell).
  const int top = std::max(s.Top, s.Top >= fixedRows_ ? topRow_ : s.Top);
  const int bottom = std::min(s.Bottom, topRow_ + VisibleRowCount() + 1);
  const int left = std::max(s.Left, s.Left >= fixedCols_ ? leftCol_ : s.Left);
  const int right = std::min(s.Right, leftCol_ + VisibleColCount() + 1);
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c) {
      const QRect rc = CellRect(c, r);
      if (!rc.isEmpty()) area |= rc;
    }
  if (!area.isEmpty()) viewport()->update(area.adjusted(-1, -1, lineWidth_ + 1, lineWidth_ + 1));
}

void TStringGrid::InvalidateRow(int r) {
  if (updateCount_ > 0 || r < 0 || r >= rows_ || rowHeights_[r] <= 0) return;
  if (r >= fixedRows_ && r < topRow_) return;
  int y = 0;
  if (r < fixedRows_) {
    for (int i = 0; i < r; ++i) y += RowExtent(i);
  } else {
    y = FixedHeight();
    for (int i = topRow_; i < r && y <= viewport()->height(); ++i) y += RowExtent(i);
  }
  if (y > viewport()->height()) return;
  viewport()->update(QRect(0, y - 1, viewport()->width(), rowHeights_[r] + lineWidth_ + 2));
}

void TStringGrid::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) {
    UpdateScrollBars();
    PlaceEditor();
    viewport()->update();
  }
}

// ---- painting ----

void TStringGrid::DrawCell(QPainter& p, int c, int r, const QRect& rect) {
  TGridDrawState state = 0;
  const bool fixed = IsFixed(c, r);
  if (fixed) state |= gdFixed;
  else {
    if (Selection().Contains(c, r)) state |= gdSelected;
    if (c == col_ && r == row_ && (hasFocus() || editor_->hasFocus())) state |= gdFocused;
  }
  canvas_.Begin(&p, font());
  canvas_.Font = TCanvas::TFont();
  canvas_.Font.Color = fontColor_;
  canvas_.Pen = TCanvas::TPen();
  if (fixed) {
    canvas_.Brush.Color = fixedColor_;
  } else if ((state & gdSelected) &&
             (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect)))) {
    canvas_.Brush.Color = StdColors::Highlight();
    canvas_.Font.Color = StdColors::HighlightText();
  } else {
    canvas_.Brush.Color = color_;
  }
  p.save();
  if (defaultDrawing_) canvas_.TextRect(rect, rect.left() + 2, rect.top() + 2, Cells(c, r));
  else canvas_.FillRect(rect);
  if (OnDrawCell) OnDrawCell(this, c, r, rect, state);
  if (defaultDrawing_ && (state & gdFocused) && !(options_ & goRowSelect) && !editorOpen_) {
    QPen pen(Qt::DotLine);
    pen.setColor(Qt::black);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
  }
  p.restore();
  canvas_.End();
}

void TStringGrid::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QRegion dirty = e->region();
  const int vw = viewport()->width(), vh = viewport()->height();
  const QColor lineColor = RGBColor(0xA0A0A0);
  // Columns and rows in view: fixed ones first, then the scrolled ones.
  std::vector<std::pair<int, int>> xs, ys;  // (index, position)
  int x = 0;
  for (int c = 0; c < fixedCols_; ++c) { xs.push_back({c, x}); x += ColExtent(c); }
  for (int c = leftCol_; c < cols_ && x < vw; ++c) { xs.push_back({c, x}); x += ColExtent(c); }
  const int right = x;
  int y = 0;
  for (int r = 0; r < fixedRows_; ++r) { ys.push_back({r, y}); y += RowExtent(r); }
  for (int r = topRow_; r < rows_ && y < vh; ++r) { ys.push_back({r, y}); y += RowExtent(r); }
  const int bottom = y;
  // The area past the last cell keeps the control's colour.
  if (right < vw) p.fillRect(QRect(right, 0, vw - right, vh), color_);
  if (bottom < vh) p.fillRect(QRect(0, bottom, std::min(right, vw), vh - bottom), color_);
  // Lines first: a cell paints only its own rectangle, and owner drawing may go over the lines.
  if (lineWidth_ > 0) {
    for (auto [r, ry] : ys) {
      const int h = rowHeights_[r];
      if (h <= 0 || RowExtent(r) == h) continue;
      p.fillRect(QRect(0, ry + h, right, lineWidth_), lineColor);
    }
    for (auto [c, cx] : xs) {
      const int w = colWidths_[c];
      if (w <= 0 || ColExtent(c) == w) continue;
      p.fillRect(QRect(cx + w, 0, lineWidth_, bottom), lineColor);
    }
  }
  const int fixedW = FixedWidth(), fixedH = FixedHeight();
  for (auto [r, ry] : ys) {
    const int h = rowHeights_[r];
    if (h <= 0) continue;
    for (auto [c, cx] : xs) {
      const int w = colWidths_[c];
      if (w <= 0) continue;
      if (!dirty.intersects(QRect(cx, ry, w, h))) continue;  // only what was asked for
      const bool scrolledArea = c >= fixedCols_ || r >= fixedRows_;
      p.save();
      if (scrolledArea) p.setClipRect(QRect(c >= fixedCols_ ? fixedW : 0, r >= fixedRows_ ? fixedH : 0, vw, vh));
      DrawCell(p, c, r, QRect(cx, ry, w, h));
      p.restore();
    }
  }
  if (drag_ == Drag::RowMove && dragTo_ >= 0) {
    const QRect rc = CellRect(fixedCols_ > 0 ? 0 : leftCol_, dragTo_);
    if (!rc.isEmpty()) {
      const int ly = dragTo_ > dragFrom_ ? rc.bottom() : rc.top();
      p.fillRect(QRect(0, ly - 1, right, 3), Qt::black);
    }
  }
}

void TStringGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
  PlaceEditor();
}

// ---- editor ----

bool TStringGrid::EditorMode() const { return editorOpen_; }

void TStringGrid::SetEditorMode(bool on) {
  if (on) ShowEditor();
  else HideEditor();
}

void TStringGrid::ShowEditor(const QString* initial) {
  if (!(options_ & goEditing) || (options_ & goRowSelect) || IsFixed(col_, row_)) return;
  ScrollInView(col_, row_);
  editorOpen_ = true;
  editStartText_ = Cells(col_, row_);
  editor_->Begin(font(), editStartText_, initial);
  PlaceEditor();
  editor_->Reveal();
  if (initial) EditorTextEdited(*initial);
}

void TStringGrid::HideEditor() {
  if (!editorOpen_) return;
  editorOpen_ = false;
  if (editor_->End()) setFocus();
  InvalidateCell(col_, row_);
}

void TStringGrid::PlaceEditor() {
  if (!editorOpen_) return;
  editor_->PlaceOver(CellRect(col_, row_));
}

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

// One key press, from the grid or from its editor; true when consumed.
bool TStringGrid::HandleKeyPress(QKeyEvent* e, bool fromEditor) {
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
  const QChar typed = KeyPressChar(e);
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

void TStringGrid::keyPressEvent(QKeyEvent* e) {
  if (!HandleKeyPress(e, false)) QAbstractScrollArea::keyPressEvent(e);
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
      if (HandleKeyPress(ke, true)) return true;
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
