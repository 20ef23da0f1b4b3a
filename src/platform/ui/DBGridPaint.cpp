// What a data grid shows: cell texts, geometry, painting.
#include "platform/ui/DBGrids.h"

#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "platform/sys/Formats.h"

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
