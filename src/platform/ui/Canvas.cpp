#include "platform/ui/Canvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace StdColors {
QColor Window() { return QApplication::palette().color(QPalette::Base); }
QColor BtnFace() { return QApplication::palette().color(QPalette::Button); }
QColor Highlight() { return QApplication::palette().color(QPalette::Highlight); }
QColor HighlightText() { return QApplication::palette().color(QPalette::HighlightedText); }
QColor WindowText() { return QApplication::palette().color(QPalette::WindowText); }
}  // namespace StdColors

void SetWidgetColors(QWidget* w, const QColor& background, const QColor& text) {
  QPalette pal = w->palette();
  if (background.isValid()) {
    pal.setColor(QPalette::Base, background);
    pal.setColor(QPalette::Button, background);
    pal.setColor(QPalette::Window, background);
  }
  if (text.isValid()) {
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::WindowText, text);
  }
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

void TCanvas::Begin(QPainter* p, const QFont& base) {
  painter_ = p;
  base_ = base;
}

QFont TCanvas::CurrentFont() const {
  QFont f = base_;
  if (!Font.Name.isEmpty()) f.setFamily(Font.Name);
  if (Font.PixelSize > 0) f.setPixelSize(Font.PixelSize);
  f.setBold(Font.Bold);
  f.setItalic(Font.Italic);
  f.setUnderline(Font.Underline);
  return f;
}

void TCanvas::Apply() const {
  painter_->setFont(CurrentFont());
  painter_->setPen(QPen(Font.Color));
}

void TCanvas::FillRect(const QRect& r) {
  if (painter_) painter_->fillRect(r, Brush.Color);
}

void TCanvas::Rectangle(const QRect& r) {
  if (!painter_) return;
  painter_->save();
  painter_->setPen(QPen(Pen.Color, Pen.Width));
  painter_->setBrush(Brush.Color);
  painter_->drawRect(r.adjusted(0, 0, -1, -1));
  painter_->restore();
}

void TCanvas::LineTo(int x, int y) {
  if (painter_) {
    painter_->save();
    painter_->setPen(QPen(Pen.Color, Pen.Width));
    // The end point is not drawn, as line drawing on the original platform did.
    QPoint to(x, y);
    if (pos_ != to) {
      QPoint d = to - pos_;
      QPoint end = to - QPoint(d.x() > 0 ? 1 : d.x() < 0 ? -1 : 0, d.y() > 0 ? 1 : d.y() < 0 ? -1 : 0);
      painter_->drawLine(pos_, end);
    }
    painter_->restore();
  }
  pos_ = QPoint(x, y);
}

void TCanvas::TextOut(int x, int y, const QString& text) {
  if (!painter_) return;
  Apply();
  QFontMetrics fm(CurrentFont());
  painter_->drawText(QPoint(x, y + fm.ascent()), text);
}

void TCanvas::TextRect(const QRect& r, int x, int y, const QString& text) {
  if (!painter_) return;
  painter_->save();
  painter_->fillRect(r, Brush.Color);
  painter_->setClipRect(r, Qt::IntersectClip);
  Apply();
  QFontMetrics fm(CurrentFont());
  painter_->drawText(QPoint(x, y + fm.ascent()), text);
  painter_->restore();
}

void TCanvas::DrawText(const QRect& r, int flags, const QString& text) {
  if (!painter_) return;
  painter_->save();
  painter_->setClipRect(r, Qt::IntersectClip);
  Apply();
  painter_->drawText(r, flags, text);
  painter_->restore();
}

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(CurrentFont()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& text) const {
  return QFontMetrics(CurrentFont()).height();
}
