#include "controls/Gradient.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) { return int(std::llround(double(a) * double(b) / double(c))); }

QImage NewPattern(int w, int h) { return QImage(w, h, QImage::Format_BGR888); }

inline void Put(uchar* row, int x, const TGradientColors& c, int e) { std::memcpy(row + 3 * x, &c[e], 3); }

// The squared distances of a centred axis of 362 entries: both middle entries are 0.
const std::array<int, 362>& Centred() {
  static const std::array<int, 362> d = [] {
    std::array<int, 362> t{};
    for (int i = 0; i <= 180; ++i) t[i] = (180 - i) * (180 - i);
    for (int i = 181; i <= 361; ++i) t[i] = (i - 181) * (i - 181);
    return t;
  }();
  return d;
}

enum class Axis { Centred, Plain, Mirrored };  // D(v), v², (180 - v)²

inline int Sq(Axis a, int v) {
  switch (a) {
    case Axis::Centred: return Centred()[v];
    case Axis::Plain: return v * v;
    case Axis::Mirrored: return (180 - v) * (180 - v);
  }
  return 0;
}

void Radial(const TGradientColors& c, QImage& p, int w, int h, Axis ax, Axis ay) {
  p = NewPattern(w, h);
  std::vector<int> dx(w);
  for (int x = 0; x < w; ++x) dx[x] = Sq(ax, x);
  for (int y = 0; y < h; ++y) {
    const int dy = Sq(ay, y);
    uchar* row = p.scanLine(y);
    for (int x = 0; x < w; ++x) Put(row, x, c, int(std::lround(std::sqrt(double(dx[x] + dy)))));
  }
}

// Fills a w x h pattern with E(x, y) given by f.
template <class F>
void Fill(const TGradientColors& c, QImage& p, int w, int h, F f) {
  p = NewPattern(w, h);
  for (int y = 0; y < h; ++y) {
    uchar* row = p.scanLine(y);
    for (int x = 0; x < w; ++x) Put(row, x, c, f(x, y));
  }
}

void RadialC(const TGradientColors& c, QImage& p) { Radial(c, p, 362, 362, Axis::Centred, Axis::Mirrored); }
void RadialT(const TGradientColors& c, QImage& p) { Radial(c, p, 362, 181, Axis::Centred, Axis::Plain); }
void RadialB(const TGradientColors& c, QImage& p) { Radial(c, p, 362, 181, Axis::Centred, Axis::Mirrored); }
void RadialL(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 362, Axis::Plain, Axis::Centred); }
void RadialR(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 362, Axis::Mirrored, Axis::Centred); }
void RadialTL(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 181, Axis::Plain, Axis::Plain); }
void RadialTR(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 181, Axis::Mirrored, Axis::Plain); }
void RadialBL(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 181, Axis::Plain, Axis::Mirrored); }
void RadialBR(const TGradientColors& c, QImage& p) { Radial(c, p, 181, 181, Axis::Mirrored, Axis::Mirrored); }

void LinearH(const TGradientColors& c, QImage& p) { Fill(c, p, 256, 1, [](int x, int) { return x; }); }
void LinearV(const TGradientColors& c, QImage& p) { Fill(c, p, 1, 256, [](int, int y) { return y; }); }
void ReflectedH(const TGradientColors& c, QImage& p) {
  Fill(c, p, 1, 512, [](int, int y) { return y < 256 ? 255 - y : y - 256; });
}
void ReflectedV(const TGradientColors& c, QImage& p) {
  Fill(c, p, 512, 1, [](int x, int) { return x < 256 ? 255 - x : x - 256; });
}

void DiagonalLF(const TGradientColors& c, QImage& p) { Fill(c, p, 128, 129, [](int x, int y) { return x + y; }); }
void DiagonalLB(const TGradientColors& c, QImage& p) { Fill(c, p, 128, 129, [](int x, int y) { return y - x + 127; }); }
void DiagonalRF(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 256, [](int x, int y) { const int s = x + y; return s < 255 ? 255 - s : s - 255; });
}
void DiagonalRB(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 256, [](int x, int y) { return y < x ? x - y : y - x; });
}

void ArrowL(const TGradientColors& c, QImage& p) {
  Fill(c, p, 129, 256, [](int x, int y) { return y < 128 ? 255 - (x + y) : y - x; });
}
void ArrowR(const TGradientColors& c, QImage& p) {
  Fill(c, p, 129, 256, [](int x, int y) { return y < 128 ? x - y + 127 : x + y - 128; });
}
void ArrowU(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 129, [](int x, int y) { return x < 128 ? 255 - (x + y) : x - y; });
}
void ArrowD(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 129, [](int x, int y) { return x < 128 ? y - x + 127 : x + y - 128; });
}

void Diamond(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 256, [](int x, int y) {
    if (y < 128) return x < 128 ? 255 - (x + y) : x - y;
    return x < 128 ? y - x : x + y - 255;
  });
}
void Butterfly(const TGradientColors& c, QImage& p) {
  Fill(c, p, 256, 256, [](int x, int y) {
    if (y < 128) return x < 128 ? x - y + 128 : 383 - (x + y);
    return x < 128 ? x + y - 128 : y - x + 128;
  });
}

constexpr std::array<TPatternBuilder, kGradientStyleCount> kBuilders = {
    nullptr, RadialC, RadialT, RadialB, RadialL, RadialR, RadialTL, RadialTR, RadialBL, RadialBR,
    LinearH, LinearV, ReflectedH, ReflectedV, DiagonalLF, DiagonalLB, DiagonalRF, DiagonalRB,
    ArrowL, ArrowR, ArrowU, ArrowD, Diamond, Butterfly};

}  // namespace

TPatternBuilder GradientPatternBuilder(TGradientStyle style) {
  const int i = int(style);
  return i >= 0 && i < kGradientStyleCount ? kBuilders[i] : nullptr;
}

TGradient::TGradient(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
  UpdatePattern();
}

TGradient::~TGradient() = default;

void TGradient::Loaded() {
  loading_ = false;
  UpdatePattern();
}

void TGradient::BeginUpdate() { ++updateCount_; }

void TGradient::EndUpdate() {
  if (updateCount_ == 0) return;  // unbalanced
  --updateCount_;
  if (updateCount_ == 0 && updatePending_) UpdatePattern();
}

void TGradient::SetColorBegin(TColor c) {
  if (c == colorBegin_) return;
  colorBegin_ = c;
  useSysColors_ = false;
  UpdatePattern();
}

void TGradient::SetColorEnd(TColor c) {
  if (c == colorEnd_) return;
  colorEnd_ = c;
  useSysColors_ = false;
  UpdatePattern();
}

void TGradient::SetUseSysColors(bool v) {
  if (v == useSysColors_) return;
  useSysColors_ = v;
  if (v) UpdateSysColors();
}

void TGradient::SetStyle(TGradientStyle s) {
  if (s == style_) return;
  style_ = s;
  UpdatePattern();
}

void TGradient::SetReverse(bool v) {
  if (v == reverse_) return;
  reverse_ = v;
  UpdatePattern();
}

void TGradient::SetShift(int v) {
  v = std::clamp(v, -100, 100);
  if (v == shift_) return;
  shift_ = v;
  UpdatePattern();
}

void TGradient::SetRotation(int v) {
  v = std::clamp(v, -100, 100);
  if (v == rotation_) return;
  rotation_ = v;
  UpdatePattern();
}

void TGradient::SetAlign(TAlign a) {
  align_ = a;
  ApplyAlign(this, a);
}

void TGradient::UpdateSysColors() {
  BeginUpdate();
  try {
    SetColorBegin(GetSysColor(COLOR_ACTIVECAPTION));
    try {
      SetColorEnd(GetSysColor(COLOR_GRADIENTACTIVECAPTION));
      useSysColors_ = true;
    } catch (...) {
      SetColorEnd(colorBegin_);
      useSysColors_ = false;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TGradient::WMSettingChange() {
  if (useSysColors_) UpdateSysColors();
}

bool TGradient::event(QEvent* e) {
  const bool r = QWidget::event(e);
  if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::ThemeChange) WMSettingChange();
  return r;
}

void TGradient::UpdatePattern() {
  updatePending_ = true;
  if (loading_ || updateCount_ != 0) return;
  updatePending_ = false;

  TColor start = ColorToRGB(colorBegin_), end = ColorToRGB(colorEnd_);
  if (reverse_) std::swap(start, end);
  int rs = GetRValue(start), gs = GetGValue(start), bs = GetBValue(start);
  int re = GetRValue(end), ge = GetGValue(end), be = GetBValue(end);

  if (shift_ > 0) {
    rs += MulDiv(re - rs, shift_, 100);
    gs += MulDiv(ge - gs, shift_, 100);
    bs += MulDiv(be - bs, shift_, 100);
  } else if (shift_ < 0) {
    re += MulDiv(re - rs, shift_, 100);
    ge += MulDiv(ge - gs, shift_, 100);
    be += MulDiv(be - bs, shift_, 100);
  }

  const int k = MulDiv(255, rotation_, 100);
  auto ramp = [k](int cs, int ce, int i) {
    const int d = ce - cs;
    if (k == 0) return cs + i * d / 255;
    if (k > 0) return i <= 254 - k ? cs + i * d / (255 - k) : cs + (255 - i) * d / k;
    const int m = -k;
    return i <= m ? ce - i * d / m : ce - (255 - i) * d / (255 - m);
  };
  for (int i = 0; i < 256; ++i) {
    colors_[i].rgbtRed = uint8_t(ramp(rs, re, i));
    colors_[i].rgbtGreen = uint8_t(ramp(gs, ge, i));
    colors_[i].rgbtBlue = uint8_t(ramp(bs, be, i));
  }

  building_ = true;
  try {
    if (TPatternBuilder b = GradientPatternBuilder(style_)) {
      b(colors_, pattern_);
    } else if (OnCustom) {
      OnCustom(this, colors_, pattern_);
      if (!pattern_.isNull() && pattern_.format() != QImage::Format_BGR888)
        pattern_ = pattern_.convertToFormat(QImage::Format_BGR888);
    } else {
      pattern_ = NewPattern(2, 2);
      const TRGBTriple a{uint8_t(GetBValue(start)), uint8_t(GetGValue(start)), uint8_t(GetRValue(start))};
      const TRGBTriple z{uint8_t(GetBValue(end)), uint8_t(GetGValue(end)), uint8_t(GetRValue(end))};
      std::memcpy(pattern_.scanLine(0), &a, 3);
      std::memcpy(pattern_.scanLine(0) + 3, &z, 3);
      std::memcpy(pattern_.scanLine(1), &z, 3);
      std::memcpy(pattern_.scanLine(1) + 3, &a, 3);
    }
  } catch (...) {
    building_ = false;
    throw;
  }
  building_ = false;
  update();
}

// Nearest-pixel stretch of the pattern over the control: destination pixel x samples the
// pattern column under its centre.
void TGradient::paintEvent(QPaintEvent* e) {
  if (building_ || pattern_.isNull() || width() <= 0 || height() <= 0) return;
  const QRect r = e->rect().intersected(rect());
  if (r.isEmpty()) return;
  const int sw = pattern_.width(), sh = pattern_.height();
  const int w = width(), h = height();
  QImage out(r.size(), QImage::Format_RGB32);
  std::vector<int> col(r.width());
  for (int x = 0; x < r.width(); ++x) col[x] = int((int64_t(2 * (x + r.left()) + 1) * sw) / (2 * int64_t(w)));
  int lastSrc = -1;
  for (int y = 0; y < r.height(); ++y) {
    const int sy = int((int64_t(2 * (y + r.top()) + 1) * sh) / (2 * int64_t(h)));
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    if (sy == lastSrc) {
      std::memcpy(dst, out.scanLine(y - 1), size_t(r.width()) * 4);
      continue;
    }
    const uchar* src = pattern_.constScanLine(sy);
    for (int x = 0; x < r.width(); ++x) {
      const uchar* p = src + 3 * col[x];
      dst[x] = qRgb(p[2], p[1], p[0]);
    }
    lastSrc = sy;
  }
  QPainter painter(this);
  painter.drawImage(r.topLeft(), out);
}

void TGradient::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick) OnClick(this);
}

void TGradient::mouseDoubleClickEvent(QMouseEvent* e) {
  QWidget::mouseDoubleClickEvent(e);
  if (e->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
}
