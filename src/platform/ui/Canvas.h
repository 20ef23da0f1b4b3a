// The drawing surface handed to owner-drawing handlers of grids: brush, pen and font to set,
// then fills, lines and text, as the windows' painting code expects.
#pragma once
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// A colour written #RRGGBB in the layouts.
inline QColor RGBColor(unsigned rrggbb) { return QColor((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF); }

// The platform's named colours the windows use.
namespace StdColors {
inline QColor Silver() { return RGBColor(0xC0C0C0); }
inline QColor Navy() { return RGBColor(0x000080); }
inline QColor Maroon() { return RGBColor(0x800000); }
inline QColor Lime() { return RGBColor(0x00FF00); }
inline QColor Blue() { return RGBColor(0x0000FF); }
inline QColor Red() { return RGBColor(0xFF0000); }
inline QColor Yellow() { return RGBColor(0xFFFF00); }
inline QColor Black() { return RGBColor(0x000000); }
inline QColor White() { return RGBColor(0xFFFFFF); }
inline QColor Gray() { return RGBColor(0x808080); }
QColor Window();     // the window background colour
QColor BtnFace();    // the button face colour
QColor Highlight();  // the selection colour
QColor HighlightText();
QColor WindowText();
}  // namespace StdColors

// A widget's background and text colours (an invalid colour leaves that one as it is).
void SetWidgetColors(QWidget* w, const QColor& background, const QColor& text);

class TCanvas {
 public:
  struct TBrush { QColor Color = Qt::white; };
  struct TPen { QColor Color = Qt::black; int Width = 1; };
  struct TFont {
    QColor Color = Qt::black;
    bool Bold = false, Italic = false, Underline = false;
    QString Name;
    int PixelSize = 0;  // 0: the owner's font size
  };

  TBrush Brush;
  TPen Pen;
  TFont Font;

  // Only valid while the owner paints; handlers must not keep the canvas.
  void Begin(QPainter* p, const QFont& base);
  void End() { painter_ = nullptr; }
  QPainter* Painter() const { return painter_; }

  void FillRect(const QRect& r);
  void Rectangle(const QRect& r);  // outlined with the pen, filled with the brush
  void MoveTo(int x, int y) { pos_ = QPoint(x, y); }
  void LineTo(int x, int y);
  // Text whose top left corner is at (x, y), over the brush colour.
  void TextOut(int x, int y, const QString& text);
  // Fills r with the brush, then writes the text at (x, y), clipped to r.
  void TextRect(const QRect& r, int x, int y, const QString& text);
  // Text aligned inside r (Qt alignment flags), clipped to r, without filling.
  void DrawText(const QRect& r, int flags, const QString& text);
  int TextWidth(const QString& text) const;
  int TextHeight(const QString& text) const;
  QFont CurrentFont() const;

 private:
  void Apply() const;
  QPainter* painter_ = nullptr;
  QFont base_;
  QPoint pos_;
};
