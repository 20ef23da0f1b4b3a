// Painting a string grid: lines, cells, owner drawing, the row being dragged.
#include "platform/ui/Grids.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

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
