#include "controls/Graphics.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>

namespace {

// The classic scheme of the platform the program was written for.
constexpr std::array<TColor, COLOR_ENDCOLORS + 1> kClassic = {
    RGB(0xD4, 0xD0, 0xC8),  // scroll bar
    RGB(0x3A, 0x6E, 0xA5),  // background (desktop)
    RGB(0x0A, 0x24, 0x6A),  // active caption
    RGB(0x80, 0x80, 0x80),  // inactive caption
    RGB(0xD4, 0xD0, 0xC8),  // menu
    RGB(0xFF, 0xFF, 0xFF),  // window
    RGB(0x00, 0x00, 0x00),  // window frame
    RGB(0x00, 0x00, 0x00),  // menu text
    RGB(0x00, 0x00, 0x00),  // window text
    RGB(0xFF, 0xFF, 0xFF),  // caption text
    RGB(0xD4, 0xD0, 0xC8),  // active border
    RGB(0xD4, 0xD0, 0xC8),  // inactive border
    RGB(0x80, 0x80, 0x80),  // application workspace
    RGB(0x0A, 0x24, 0x6A),  // highlight
    RGB(0xFF, 0xFF, 0xFF),  // highlight text
    RGB(0xD4, 0xD0, 0xC8),  // button face
    RGB(0x80, 0x80, 0x80),  // button shadow
    RGB(0x80, 0x80, 0x80),  // grey text
    RGB(0x00, 0x00, 0x00),  // button text
    RGB(0xD4, 0xD0, 0xC8),  // inactive caption text
    RGB(0xFF, 0xFF, 0xFF),  // button highlight
    RGB(0x40, 0x40, 0x40),  // 3-D dark shadow
    RGB(0xD4, 0xD0, 0xC8),  // 3-D light
    RGB(0x00, 0x00, 0x00),  // info text
    RGB(0xFF, 0xFF, 0xE1),  // info background
    RGB(0xB5, 0xB5, 0xB5),  // (unused index 25)
    RGB(0x00, 0x00, 0x80),  // hot light
    RGB(0xA6, 0xCA, 0xF0),  // gradient active caption
    RGB(0xC0, 0xC0, 0xC0),  // gradient inactive caption
    RGB(0x31, 0x6A, 0xC5),  // menu highlight
    RGB(0xD4, 0xD0, 0xC8),  // menu bar
};

std::array<TColor, COLOR_ENDCOLORS + 1>& Table() {
  static std::array<TColor, COLOR_ENDCOLORS + 1> t = kClassic;
  return t;
}

int g_beeps = 0;

class AlignFilter : public QObject {
 public:
  AlignFilter(QWidget* control, TAlign align) : QObject(control), control_(control), align_(align) {}
  void SetAlign(TAlign a) { align_ = a; }
  void Apply() {
    QWidget* p = control_->parentWidget();
    if (!p || align_ == TAlign::alNone) return;
    const QRect area = p->contentsRect();
    QRect g = control_->geometry();
    switch (align_) {
      case TAlign::alClient: g = area; break;
      case TAlign::alTop: g = QRect(area.left(), area.top(), area.width(), g.height()); break;
      case TAlign::alBottom: g = QRect(area.left(), area.bottom() + 1 - g.height(), area.width(), g.height()); break;
      case TAlign::alLeft: g = QRect(area.left(), area.top(), g.width(), area.height()); break;
      case TAlign::alRight: g = QRect(area.right() + 1 - g.width(), area.top(), g.width(), area.height()); break;
      case TAlign::alNone: break;
    }
    if (g != control_->geometry()) control_->setGeometry(g);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == control_->parentWidget() && e->type() == QEvent::Resize) Apply();
    if (o == control_ && e->type() == QEvent::ParentChange) {
      if (watched_) watched_->removeEventFilter(this);
      watched_ = control_->parentWidget();
      if (watched_) watched_->installEventFilter(this);
      Apply();
    }
    return false;
  }
  void Watch() {
    control_->installEventFilter(this);
    watched_ = control_->parentWidget();
    if (watched_) watched_->installEventFilter(this);
  }

 private:
  QWidget* control_;
  TAlign align_;
  QPointer<QWidget> watched_;
};

}  // namespace

TColor GetSysColor(int index) {
  if (index < 0 || index > COLOR_ENDCOLORS) return clBlack;
  return Table()[index];
}

void SetSysColor(int index, TColor rgb) {
  if (index >= 0 && index <= COLOR_ENDCOLORS) Table()[index] = rgb & 0xFFFFFF;
}

void ResetSysColors() { Table() = kClassic; }

TColor ColorToRGB(TColor c) {
  if (c < 0) return GetSysColor(c & 0xFF);
  return c;
}

QColor ToQColor(TColor c) {
  if (c == clNone) return QColor(0, 0, 0, 0);
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

void MessageBeep() {
  ++g_beeps;
  QApplication::beep();
}

int MessageBeepCount() { return g_beeps; }

void ApplyAlign(QWidget* control, TAlign align) {
  auto* f = control->findChild<AlignFilter*>(QString(), Qt::FindDirectChildrenOnly);
  if (!f) {
    f = new AlignFilter(control, align);
    f->Watch();
  }
  f->SetAlign(align);
  f->Apply();
}
