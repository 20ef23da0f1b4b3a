// What a string grid has in view: scrolling by whole cells, cell geometry, repainting.
#include "platform/ui/Grids.h"

#include <algorithm>

// Columns and rows scroll alike: these take one axis, `avail` the pixels past its fixed cells and
// `extent` the extent of a cell.
namespace {

// How many cells from `first` on fit whole.
template <class Extent>
int CellsThatFit(int first, int count, int avail, Extent extent) {
  int used = 0, n = 0;
  for (int i = first; i < count; ++i) {
    used += extent(i);
    if (used > avail) break;
    ++n;
  }
  return n;
}

// The largest first scrolled cell that still fills the view up to the last cell.
template <class Extent>
int LastFirstCell(int fixed, int count, int avail, Extent extent) {
  int used = 0, i = count - 1;
  while (i >= fixed) {
    const int e = extent(i);
    if (used + e > avail && used > 0) break;
    used += e;
    --i;
  }
  return std::max(fixed, std::min(i + 1, count - 1));
}

// The first scrolled cell that brings `cell` whole into view, moving as little as it can.
template <class Extent>
int FirstShowing(int first, int fixed, int cell, int avail, Extent extent) {
  if (cell < fixed) return first;
  if (cell < first) return cell;
  int used = 0;
  for (int i = first; i <= cell; ++i) used += extent(i);
  while (used > avail && first < cell) used -= extent(first++);
  return first;
}

// Where cell i starts: after the cells before it, fixed ones first, then those scrolled into view
// from `first` on. -1 when it is scrolled out: before `first`, or starting past `limit`.
template <class Extent>
int CellStart(int i, int fixed, int first, int limit, Extent extent) {
  if (i >= fixed && i < first) return -1;
  int p = 0;
  if (i < fixed) {
    for (int k = 0; k < i; ++k) p += extent(k);
    return p;
  }
  for (int k = 0; k < fixed; ++k) p += extent(k);
  for (int k = first; k < i; ++k) {
    p += extent(k);
    if (p > limit) return -1;
  }
  return p;
}

// The cell under pixel p: a fixed one, else one scrolled into view; -1 outside the cells.
template <class Extent>
int CellAt(int p, int fixed, int first, int count, Extent extent) {
  int pos = 0;
  for (int i = 0; i < fixed; ++i) {
    const int e = extent(i);
    if (p >= pos && p < pos + e) return i;
    pos += e;
  }
  for (int i = first; i < count && pos <= p; ++i) {
    const int e = extent(i);
    if (p >= pos && p < pos + e) return i;
    pos += e;
  }
  return -1;
}

}  // namespace

// ---- scrolling ----

int TStringGrid::MaxTopRow() const {
  return LastFirstCell(fixedRows_, rows_, viewport()->height() - FixedHeight(), [this](int r) { return RowExtent(r); });
}

int TStringGrid::MaxLeftCol() const {
  return LastFirstCell(fixedCols_, cols_, viewport()->width() - FixedWidth(), [this](int c) { return ColExtent(c); });
}

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
  return CellsThatFit(topRow_, rows_, viewport()->height() - FixedHeight(), [this](int r) { return RowExtent(r); });
}

int TStringGrid::VisibleColCount() const {
  return CellsThatFit(leftCol_, cols_, viewport()->width() - FixedWidth(), [this](int c) { return ColExtent(c); });
}

void TStringGrid::ScrollInView(int c, int r) {
  const int left =
      FirstShowing(leftCol_, fixedCols_, c, viewport()->width() - FixedWidth(), [this](int i) { return ColExtent(i); });
  const int top =
      FirstShowing(topRow_, fixedRows_, r, viewport()->height() - FixedHeight(), [this](int i) { return RowExtent(i); });
  SetTopLeft(left, top);
}

// ---- geometry ----

QRect TStringGrid::CellRect(int c, int r) const {
  if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return QRect();
  const int x = CellStart(c, fixedCols_, leftCol_, viewport()->width(), [this](int i) { return ColExtent(i); });
  const int y = CellStart(r, fixedRows_, topRow_, viewport()->height(), [this](int i) { return RowExtent(i); });
  if (x < 0 || y < 0) return QRect();
  return QRect(x, y, colWidths_[c], rowHeights_[r]);
}

void TStringGrid::MouseToCell(int x, int y, int& c, int& r) const {
  c = CellAt(x, fixedCols_, leftCol_, cols_, [this](int i) { return ColExtent(i); });
  r = CellAt(y, fixedRows_, topRow_, rows_, [this](int i) { return RowExtent(i); });
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
