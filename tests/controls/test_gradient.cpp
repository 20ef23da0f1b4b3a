#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>

#include "controls/Gradient.h"

namespace {

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The red channel of a pixel; with a black-to-white table it is the table entry.
int Entry(const QImage& img, int x, int y) { return qRed(img.pixel(x, y)); }

TRGBTriple Triple(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return {uint8_t(GetBValue(rgb)), uint8_t(GetGValue(rgb)), uint8_t(GetRValue(rgb))};
}

// A custom-style gradient that records the tables it is given, one per rebuild.
struct Recorder {
  TGradient g;
  std::vector<TGradientColors> tables;
  Recorder() {
    g.OnCustom = [this](QObject* sender, TGradientColors& colors, QImage& pattern) {
      EXPECT_EQ(sender, &g);
      tables.push_back(colors);
      pattern = QImage(1, 1, QImage::Format_BGR888);
    };
    g.SetStyle(TGradientStyle::gsCustom);
    tables.clear();
  }
  const TGradientColors& Last() const { return tables.back(); }
};

// A gradient from black to white, so that every pixel shows its table entry.
void Grey(TGradient& g, TGradientStyle style, int w, int h) {
  g.BeginUpdate();
  g.SetColorBegin(clBlack);
  g.SetColorEnd(clWhite);
  g.SetStyle(style);
  g.EndUpdate();
  g.resize(w, h);
}

}  // namespace

TEST(Gradient, ColourTableEndsShiftAndReverse) {
  Recorder r;
  r.g.SetReverse(true);
  r.g.SetReverse(false);
  ASSERT_EQ(r.tables.size(), 2u);
  EXPECT_EQ(r.tables[0][0], Triple(clBtnFace));  // reversed
  EXPECT_EQ(r.tables[0][255], Triple(clWhite));
  EXPECT_EQ(r.Last()[0], Triple(clWhite));
  EXPECT_EQ(r.Last()[255], Triple(clBtnFace));

  r.g.SetColorBegin(clBlack);
  r.g.SetColorEnd(clWhite);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(r.Last()[i].rgbtRed, i) << i;

  // The start colour moves half way to the end colour (127.5 rounds away from zero).
  r.g.SetShift(50);
  EXPECT_EQ(r.Last()[0].rgbtGreen, 128);
  EXPECT_EQ(r.Last()[255].rgbtGreen, 255);
  r.g.SetShift(-50);
  EXPECT_EQ(r.Last()[0].rgbtGreen, 0);
  EXPECT_EQ(r.Last()[255].rgbtGreen, 127);

  // Clamped to -100..100; the same clamped value again builds nothing.
  r.g.SetShift(120);
  EXPECT_EQ(r.g.Shift(), 100);
  const size_t builds = r.tables.size();
  r.g.SetShift(100);
  r.g.SetShift(127);
  EXPECT_EQ(r.tables.size(), builds);
  r.g.SetShift(-128);
  EXPECT_EQ(r.g.Shift(), -100);
  r.g.SetRotation(300);
  EXPECT_EQ(r.g.Rotation(), 100);
}

TEST(Gradient, RotationBendsTheRamp) {
  Recorder r;
  r.g.SetColorBegin(RGB(10, 0, 200));
  r.g.SetColorEnd(RGB(250, 255, 0));
  const int rs = 10, re = 250, bs = 200, be = 0;

  r.g.SetRotation(100);  // K = 255: end colour at 0 back to the start colour at 255
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(r.Last()[i].rgbtRed, rs + (255 - i) * (re - rs) / 255) << i;
    ASSERT_EQ(r.Last()[i].rgbtBlue, bs + (255 - i) * (be - bs) / 255) << i;
  }
  r.g.SetRotation(-100);  // M = 255: the same ramp through the other rule
  for (int i = 0; i < 256; ++i) ASSERT_EQ(r.Last()[i].rgbtRed, re - i * (re - rs) / 255) << i;
  EXPECT_EQ(r.Last()[0].rgbtRed, re);
  EXPECT_EQ(r.Last()[255].rgbtRed, rs);

  r.g.SetRotation(50);  // K = 128
  const auto& t = r.Last();
  for (int i = 0; i <= 126; ++i) ASSERT_EQ(t[i].rgbtRed, rs + i * (re - rs) / 127) << i;
  for (int i = 127; i <= 255; ++i) ASSERT_EQ(t[i].rgbtRed, rs + (255 - i) * (re - rs) / 128) << i;
  EXPECT_EQ(t[127].rgbtRed, re);
  EXPECT_EQ(t[127].rgbtGreen, 255);
  EXPECT_EQ(t[255].rgbtRed, rs);

  r.g.SetRotation(-50);  // M = 128: end colour at 0, start colour at 128, end colour at 255
  EXPECT_EQ(r.Last()[0].rgbtRed, re);
  EXPECT_EQ(r.Last()[128].rgbtRed, rs);
  EXPECT_EQ(r.Last()[255].rgbtRed, re);
}

TEST(Gradient, BatchedAndLoadedChangesRebuildOnce) {
  Recorder r;
  r.g.BeginUpdate();
  r.g.SetColorBegin(clRed);
  r.g.SetColorEnd(clNavy);
  r.g.SetReverse(true);
  r.g.SetRotation(30);
  r.g.BeginUpdate();
  r.g.SetShift(10);
  r.g.EndUpdate();
  EXPECT_TRUE(r.tables.empty());
  r.g.EndUpdate();
  ASSERT_EQ(r.tables.size(), 1u);
  // Reversed, then navy moved 10 % of the way to red; the rotation brings it back at 255.
  EXPECT_EQ(r.Last()[0], (TRGBTriple{115, 0, 26}));
  EXPECT_EQ(r.Last()[255], (TRGBTriple{115, 0, 26}));

  r.g.EndUpdate();  // unbalanced: ignored
  r.g.BeginUpdate();
  r.g.EndUpdate();
  EXPECT_EQ(r.tables.size(), 1u);

  r.g.BeginLoading();
  r.g.SetReverse(false);
  r.g.SetColorEnd(clLime);
  EXPECT_EQ(r.tables.size(), 1u);
  r.g.Loaded();
  ASSERT_EQ(r.tables.size(), 2u);
  EXPECT_EQ(r.Last()[0], (TRGBTriple{0, 26, 229}));  // red moved 10 % towards lime
}

TEST(Gradient, SystemColours) {
  Recorder r;
  r.g.SetUseSysColors(true);
  ASSERT_EQ(r.tables.size(), 1u);  // one rebuild for both colours
  EXPECT_TRUE(r.g.UseSysColors());
  EXPECT_EQ(r.g.ColorBegin(), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(r.Last()[255], Triple(GetSysColor(COLOR_GRADIENTACTIVECAPTION)));

  // The gradient follows a change of the system's colours.
  SetSysColor(COLOR_ACTIVECAPTION, RGB(1, 2, 3));
  QEvent change(QEvent::ApplicationPaletteChange);
  QApplication::sendEvent(&r.g, &change);
  EXPECT_EQ(r.Last()[0], (TRGBTriple{3, 2, 1}));
  ResetSysColors();

  r.g.SetColorBegin(clYellow);
  EXPECT_FALSE(r.g.UseSysColors());
  const size_t builds = r.tables.size();
  QApplication::sendEvent(&r.g, &change);  // no longer following
  r.g.SetUseSysColors(false);
  EXPECT_EQ(r.tables.size(), builds);
  r.g.SetUseSysColors(true);
  EXPECT_EQ(r.g.ColorBegin(), GetSysColor(COLOR_ACTIVECAPTION));
}

TEST(Gradient, DefaultsAndCheckerWithoutHandler) {
  TGradient g;
  EXPECT_EQ(g.width(), 100);
  EXPECT_EQ(g.height(), 100);
  EXPECT_EQ(g.Style(), TGradientStyle::gsRadialC);
  EXPECT_EQ(g.Pattern().size(), QSize(362, 362));  // built at once

  g.SetColorBegin(clRed);
  g.SetColorEnd(clBlue);
  g.SetShift(50);  // the checker takes the colours before the shift
  g.SetReverse(true);
  g.SetStyle(TGradientStyle::gsCustom);
  const QImage img = Grab(g);
  const QRgb start = qRgb(0, 0, 255), end = qRgb(255, 0, 0);  // reversed
  EXPECT_EQ(img.pixel(0, 0), start);
  EXPECT_EQ(img.pixel(49, 49), start);
  EXPECT_EQ(img.pixel(50, 0), end);
  EXPECT_EQ(img.pixel(99, 49), end);
  EXPECT_EQ(img.pixel(0, 50), end);
  EXPECT_EQ(img.pixel(99, 99), start);
}

TEST(Gradient, LinearAndReflectedPixels) {
  TGradient g;
  Grey(g, TGradientStyle::gsLinearH, 256, 3);
  QImage img = Grab(g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(Entry(img, x, y), x) << x << "," << y;

  g.resize(512, 2);  // stretched: every entry twice
  img = Grab(g);
  for (int x = 0; x < 512; ++x) ASSERT_EQ(Entry(img, x, 1), x / 2) << x;

  Grey(g, TGradientStyle::gsLinearV, 2, 256);
  img = Grab(g);
  for (int y = 0; y < 256; ++y) ASSERT_EQ(Entry(img, 1, y), y) << y;

  Grey(g, TGradientStyle::gsReflectedH, 4, 512);
  img = Grab(g);
  for (int y = 0; y < 256; ++y) {
    ASSERT_EQ(Entry(img, 0, y), 255 - y) << y;
    ASSERT_EQ(Entry(img, 3, 511 - y), 255 - y) << y;
  }
  EXPECT_EQ(Entry(img, 0, 255), 0);
  EXPECT_EQ(Entry(img, 0, 256), 0);

  Grey(g, TGradientStyle::gsReflectedV, 512, 1);
  img = Grab(g);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(Entry(img, x, 0), 255 - x) << x;
  for (int x = 256; x < 512; ++x) ASSERT_EQ(Entry(img, x, 0), x - 256) << x;
}

TEST(Gradient, RadialCentreAndCorners) {
  TGradient g;
  Grey(g, TGradientStyle::gsRadialC, 362, 362);
  QImage img = Grab(g);
  EXPECT_EQ(Entry(img, 180, 180), 0);
  EXPECT_EQ(Entry(img, 181, 180), 0);
  EXPECT_EQ(Entry(img, 180, 181), 1);  // one row high, two columns wide
  EXPECT_EQ(Entry(img, 0, 361), 255);
  EXPECT_EQ(Entry(img, 0, 0), 255);    // sqrt(64800) = 254.56
  EXPECT_EQ(Entry(img, 361, 180), 180);
  EXPECT_EQ(Entry(img, 180, 0), 180);
  EXPECT_EQ(Entry(img, 180, 361), 181);  // the bottom row is one step farther
  EXPECT_EQ(Entry(img, 100, 120), 100);  // sqrt(80² + 60²)

  // Stretched to twice the size, the centre is still entry 0 and the corner 255.
  g.resize(724, 724);
  img = Grab(g);
  EXPECT_EQ(Entry(img, 361, 361), 0);
  EXPECT_EQ(Entry(img, 0, 723), 255);

  struct Case { TGradientStyle s; int w, h; QPoint zero, far; int farEntry; };
  const Case cases[] = {
      {TGradientStyle::gsRadialT, 362, 181, {180, 0}, {0, 180}, 255},
      {TGradientStyle::gsRadialB, 362, 181, {181, 180}, {361, 0}, 255},
      {TGradientStyle::gsRadialL, 181, 362, {0, 181}, {180, 0}, 255},
      {TGradientStyle::gsRadialR, 181, 362, {180, 180}, {0, 361}, 255},
      {TGradientStyle::gsRadialTL, 181, 181, {0, 0}, {180, 180}, 255},
      {TGradientStyle::gsRadialTR, 181, 181, {180, 0}, {0, 180}, 255},
      {TGradientStyle::gsRadialBL, 181, 181, {0, 180}, {180, 0}, 255},
      {TGradientStyle::gsRadialBR, 181, 181, {180, 180}, {0, 0}, 255},
  };
  for (const Case& c : cases) {
    Grey(g, c.s, c.w, c.h);
    EXPECT_EQ(g.Pattern().size(), QSize(c.w, c.h)) << int(c.s);
    img = Grab(g);
    EXPECT_EQ(Entry(img, c.zero.x(), c.zero.y()), 0) << int(c.s);
    EXPECT_EQ(Entry(img, c.far.x(), c.far.y()), c.farEntry) << int(c.s);
  }
  Grey(g, TGradientStyle::gsRadialTL, 181, 181);
  EXPECT_EQ(Entry(Grab(g), 30, 40), 50);
}

TEST(Gradient, RotationAndShiftShowInThePicture) {
  TGradient g;
  Grey(g, TGradientStyle::gsLinearH, 256, 1);
  g.SetRotation(50);
  QImage img = Grab(g);
  EXPECT_EQ(Entry(img, 0, 0), 0);
  EXPECT_EQ(Entry(img, 127, 0), 255);
  EXPECT_EQ(Entry(img, 126, 0), 126 * 255 / 127);
  EXPECT_EQ(Entry(img, 200, 0), (255 - 200) * 255 / 128);
  EXPECT_EQ(Entry(img, 255, 0), 0);

  g.SetRotation(0);
  g.SetShift(-20);  // end colour 255 - 51
  img = Grab(g);
  EXPECT_EQ(Entry(img, 0, 0), 0);
  EXPECT_EQ(Entry(img, 255, 0), 204);
  EXPECT_EQ(Entry(img, 128, 0), 128 * 204 / 255);
}

TEST(Gradient, EveryBuilderFillsItsPatternWithTableEntries) {
  // Entry i is (blue i, green 255 - i, red 7): a pixel that is no entry shows at once.
  TGradientColors colors;
  for (int i = 0; i < 256; ++i) colors[i] = {uint8_t(i), uint8_t(255 - i), 7};
  struct Size { TGradientStyle s; int w, h; };
  const Size sizes[] = {
      {TGradientStyle::gsRadialC, 362, 362}, {TGradientStyle::gsRadialT, 362, 181},
      {TGradientStyle::gsRadialB, 362, 181}, {TGradientStyle::gsRadialL, 181, 362},
      {TGradientStyle::gsRadialR, 181, 362}, {TGradientStyle::gsRadialTL, 181, 181},
      {TGradientStyle::gsRadialTR, 181, 181}, {TGradientStyle::gsRadialBL, 181, 181},
      {TGradientStyle::gsRadialBR, 181, 181}, {TGradientStyle::gsLinearH, 256, 1},
      {TGradientStyle::gsLinearV, 1, 256}, {TGradientStyle::gsReflectedH, 1, 512},
      {TGradientStyle::gsReflectedV, 512, 1}, {TGradientStyle::gsDiagonalLF, 128, 129},
      {TGradientStyle::gsDiagonalLB, 128, 129}, {TGradientStyle::gsDiagonalRF, 256, 256},
      {TGradientStyle::gsDiagonalRB, 256, 256}, {TGradientStyle::gsArrowL, 129, 256},
      {TGradientStyle::gsArrowR, 129, 256}, {TGradientStyle::gsArrowU, 256, 129},
      {TGradientStyle::gsArrowD, 256, 129}, {TGradientStyle::gsDiamond, 256, 256},
      {TGradientStyle::gsButterfly, 256, 256}};
  EXPECT_EQ(GradientPatternBuilder(TGradientStyle::gsCustom), nullptr);
  for (const Size& s : sizes) {
    QImage p;
    TPatternBuilder b = GradientPatternBuilder(s.s);
    ASSERT_NE(b, nullptr);
    b(colors, p);
    ASSERT_EQ(p.size(), QSize(s.w, s.h)) << int(s.s);
    int lo = 255, hi = 0;
    for (int y = 0; y < p.height(); ++y) {
      const uchar* row = p.constScanLine(y);
      for (int x = 0; x < p.width(); ++x) {
        const uchar* px = row + 3 * x;
        ASSERT_EQ(px[1], 255 - px[0]) << int(s.s) << " at " << x << "," << y;
        ASSERT_EQ(px[2], 7) << int(s.s) << " at " << x << "," << y;
        lo = std::min<int>(lo, px[0]);
        hi = std::max<int>(hi, px[0]);
      }
    }
    EXPECT_EQ(hi, 255) << int(s.s);
    EXPECT_LE(lo, 1) << int(s.s);
  }
}

TEST(Gradient, DiagonalArrowAndQuadrantShapes) {
  TGradient g;
  auto at = [&](TGradientStyle s, int x, int y) {
    Grey(g, s, 1, 1);
    return int(g.Pattern().pixelColor(x, y).red());
  };
  using S = TGradientStyle;
  EXPECT_EQ(at(S::gsDiagonalLF, 127, 128), 255);
  EXPECT_EQ(at(S::gsDiagonalLF, 0, 0), 0);
  EXPECT_EQ(at(S::gsDiagonalLB, 127, 0), 0);
  EXPECT_EQ(at(S::gsDiagonalLB, 0, 128), 255);
  EXPECT_EQ(at(S::gsDiagonalRF, 0, 0), 255);
  EXPECT_EQ(at(S::gsDiagonalRF, 100, 155), 0);
  EXPECT_EQ(at(S::gsDiagonalRF, 255, 255), 255);
  EXPECT_EQ(at(S::gsDiagonalRB, 40, 40), 0);
  EXPECT_EQ(at(S::gsDiagonalRB, 255, 0), 255);
  EXPECT_EQ(at(S::gsDiagonalRB, 0, 255), 255);
  // Arrow tips and far corners.
  EXPECT_EQ(at(S::gsArrowL, 128, 127), 0);
  EXPECT_EQ(at(S::gsArrowL, 128, 128), 0);
  EXPECT_EQ(at(S::gsArrowL, 0, 0), 255);
  EXPECT_EQ(at(S::gsArrowL, 0, 255), 255);
  EXPECT_EQ(at(S::gsArrowR, 0, 127), 0);
  EXPECT_EQ(at(S::gsArrowR, 0, 128), 0);
  EXPECT_EQ(at(S::gsArrowR, 128, 0), 255);
  EXPECT_EQ(at(S::gsArrowR, 128, 255), 255);
  EXPECT_EQ(at(S::gsArrowU, 127, 128), 0);
  EXPECT_EQ(at(S::gsArrowU, 128, 128), 0);
  EXPECT_EQ(at(S::gsArrowU, 0, 0), 255);
  EXPECT_EQ(at(S::gsArrowU, 255, 0), 255);
  EXPECT_EQ(at(S::gsArrowD, 127, 0), 0);
  EXPECT_EQ(at(S::gsArrowD, 128, 0), 0);
  EXPECT_EQ(at(S::gsArrowD, 0, 128), 255);
  EXPECT_EQ(at(S::gsArrowD, 255, 128), 255);
  // The diamond: 255 in the four corners, 1 in the four centre pixels.
  for (QPoint p : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
    EXPECT_EQ(at(S::gsDiamond, p.x(), p.y()), 255);
  for (QPoint p : {QPoint(127, 127), QPoint(128, 127), QPoint(127, 128), QPoint(128, 128)})
    EXPECT_EQ(at(S::gsDiamond, p.x(), p.y()), 1);
  // The butterfly reaches 0 at (0, 128) only.
  Grey(g, S::gsButterfly, 1, 1);
  int zeros = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      if (g.Pattern().pixelColor(x, y).red() == 0) {
        ++zeros;
        EXPECT_EQ(QPoint(x, y), QPoint(0, 128));
      }
  EXPECT_EQ(zeros, 1);
}

TEST(Gradient, AlignedToFillItsParent) {
  QWidget parent;
  parent.resize(300, 200);
  parent.show();
  auto* g = new TGradient(&parent);
  g->SetAlign(TAlign::alClient);
  EXPECT_EQ(g->geometry(), QRect(0, 0, 300, 200));
  parent.resize(410, 90);
  EXPECT_EQ(g->geometry(), QRect(0, 0, 410, 90));
}

TEST(Gradient, DoubleClickReachesItsHandler) {
  TGradient g;
  QObject* sender = nullptr;
  g.OnDblClick = [&](QObject* s) { sender = s; };
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(&g, &dbl);
  EXPECT_EQ(sender, &g);
}
