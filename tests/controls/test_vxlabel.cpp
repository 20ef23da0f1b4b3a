#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>

#include "controls/VxLabel.h"

namespace {

constexpr TColor kBack = RGB(230, 240, 250);

QFont TestFont(int px = 20) {
  QFont f("DejaVu Sans");
  f.setPixelSize(px);
  f.setStyleStrategy(QFont::NoAntialias);  // exact pixels
  return f;
}

// A label whose text sits well inside it, on a plain background.
void Prepare(TVxLabel& l, const QString& caption = "Hg") {
  l.setFont(TestFont());
  l.SetAutoSize(false);
  l.resize(80, 44);
  l.SetColor(kBack);
  l.SetFontColor(clBlack);
  l.SetHighlightColor(clRed);
  l.SetShadowColor(clBlue);
  l.SetTextMargin(6);
  l.SetCaption(caption);
}

QImage Render(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

struct Copy {
  int dx, dy;
  TColor color;
};

// What the label should show: the plain text's pixels copied at the given offsets, in order.
QImage Composite(const QImage& plain, const std::vector<Copy>& copies) {
  const QRgb back = ToQColor(kBack).rgb();
  QImage out(plain.size(), QImage::Format_RGB32);
  out.fill(back);
  for (const Copy& c : copies)
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x)
        if (plain.pixel(x, y) != back && QRect(QPoint(), out.size()).contains(x + c.dx, y + c.dy))
          out.setPixel(x + c.dx, y + c.dy, ToQColor(c.color).rgb());
  return out;
}

::testing::AssertionResult SamePixels(const QImage& got, const QImage& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes differ";
  int bad = 0;
  QString first;
  for (int y = 0; y < got.height(); ++y)
    for (int x = 0; x < got.width(); ++x)
      if (got.pixel(x, y) != want.pixel(x, y)) {
        if (!bad++) first = QString("(%1,%2) %3 instead of %4").arg(x).arg(y).arg(got.pixel(x, y), 0, 16).arg(want.pixel(x, y), 0, 16);
      }
  if (bad) return ::testing::AssertionFailure() << bad << " pixels differ, first " << first.toStdString();
  return ::testing::AssertionSuccess();
}

QImage Plain() {
  TVxLabel l;
  Prepare(l);
  return Render(l);
}

int TextPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) != ToQColor(kBack).rgb();
  return n;
}

}  // namespace

TEST(VxLabel, TextStylesDrawTheirCopiesAtTheirOffsets) {
  const QImage plain = Plain();
  ASSERT_GT(TextPixels(plain), 40);
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x)
      ASSERT_TRUE(plain.pixel(x, y) == ToQColor(kBack).rgb() || plain.pixel(x, y) == qRgb(0, 0, 0));

  struct Case {
    TTextStyle style;
    bool light;
    int depth;
    std::vector<Copy> copies;
  };
  const Case cases[] = {
      {TTextStyle::tsRaised, false, 2, {{1, 1, clBlue}, {-1, -1, clRed}, {0, 0, clBlack}}},
      {TTextStyle::tsRaised, true, 2, {{-1, -1, clRed}, {0, 0, clBlack}}},
      {TTextStyle::tsRecessed, false, 2, {{1, 1, clRed}, {-1, -1, clBlue}, {0, 0, clBlack}}},
      {TTextStyle::tsRecessed, true, 2, {{1, 1, clRed}, {0, 0, clBlack}}},
      {TTextStyle::tsShadow, false, 2, {{2, 2, clBlue}, {0, 0, clBlack}}},
      {TTextStyle::tsShadow, false, 4, {{4, 4, clBlue}, {0, 0, clBlack}}},
      {TTextStyle::tsNormal, false, 5, {{0, 0, clBlack}}},  // a depth alone draws no shadow
  };
  for (const Case& c : cases) {
    TVxLabel l;
    Prepare(l);
    l.SetTextStyle(c.style);
    l.SetLightTextStyle(c.light);
    l.SetShadowDepth(c.depth);
    EXPECT_TRUE(SamePixels(Render(l), Composite(plain, c.copies))) << int(c.style) << " light " << c.light;
  }
}

TEST(VxLabel, DisabledTextIsEngravedWithoutStyle) {
  const QImage plain = Plain();
  TVxLabel l;
  Prepare(l);
  l.SetTextStyle(TTextStyle::tsShadow);
  l.setEnabled(false);
  EXPECT_TRUE(SamePixels(Render(l), Composite(plain, {{1, 1, clBtnHighlight}, {0, 0, clBtnShadow}})));
}

TEST(VxLabel, LayoutAndAlignmentPlaceTheText) {
  const QImage plain = Plain();
  const QFontMetrics fm(TestFont());
  TVxLabel l;
  Prepare(l);
  l.SetLayout(TTextLayout::tlBottom);
  const int down = (44 - 12) - fm.height();
  EXPECT_TRUE(SamePixels(Render(l), Composite(plain, {{0, down, clBlack}})));

  // With a drop shadow at the bottom right the text moves up and left so the shadow stays inside.
  l.SetTextStyle(TTextStyle::tsShadow);
  l.SetAlignment(TAlignment::taRightJustify);
  const int right = (80 - 12) - fm.horizontalAdvance("Hg");
  EXPECT_TRUE(SamePixels(Render(l), Composite(plain, {{right, down, clBlue}, {right - 2, down - 2, clBlack}})));
}

TEST(VxLabel, FlatTextAtAngleZeroSitsOnTheMiddleLine) {
  const QImage plain = Plain();  // drawn at the top of the text rectangle, 6 pixels in
  const int fmh = QFontMetrics(TestFont()).height();
  TVxLabel l;
  Prepare(l);
  l.SetRotation(TRotation::roFlat);
  const int top = 44 / 2 - fmh / 2;
  EXPECT_TRUE(SamePixels(Render(l), Composite(plain, {{0, top - 6, clBlack}})));

  // The drop shadow goes half the depth down and right, the text half up and left.
  l.SetTextStyle(TTextStyle::tsShadow);
  l.SetShadowDepth(4);
  const int y = 44 / 2 - (fmh + 2) / 2;
  EXPECT_TRUE(SamePixels(Render(l), Composite(plain, {{2 + 2, y + 2 - 6, clBlue}, {2 - 2, y - 2 - 6, clBlack}})));
}

TEST(VxLabel, AngleIsNormalisedAndTurnsRotationOn) {
  TVxLabel l;
  l.SetAngle(-90);
  EXPECT_EQ(l.Angle(), 270);
  EXPECT_EQ(l.Rotation(), TRotation::roFlat);
  l.SetAngle(450);
  EXPECT_EQ(l.Angle(), 90);
  l.SetAngle(-450);
  EXPECT_EQ(l.Angle(), 270);

  l.SetRotation(TRotation::roCurve);
  EXPECT_EQ(l.Angle(), 270);  // a curve keeps its angle
  l.SetCenterPoint(TCenterPoint::cpLowerLeft);
  l.SetRotation(TRotation::roFlat);
  EXPECT_EQ(l.Angle(), 0);
  EXPECT_EQ(l.CenterPoint(), TCenterPoint::cpCenter);
  l.SetAngle(30);
  l.SetRotation(TRotation::roNone);
  EXPECT_EQ(l.Angle(), 0);

  // A layout that gives the angle before the rotation keeps its angle.
  TVxLabel loaded;
  loaded.BeginLoading();
  loaded.SetAngle(90);
  loaded.SetRotation(TRotation::roFlat);
  loaded.Loaded();
  EXPECT_EQ(loaded.Angle(), 90);
  EXPECT_EQ(loaded.Rotation(), TRotation::roFlat);
  EXPECT_TRUE(FontIsTrueType(loaded.font()));
}

TEST(VxLabel, AutomaticSizeFollowsTextFramesAndShadow) {
  TVxLabel l;
  l.setFont(TestFont());
  l.SetCaption("Hello");
  const QSize base = l.size();
  EXPECT_EQ(l.sizeHint(), base);  // what a layout gives it
  const QFontMetrics fm(TestFont());
  EXPECT_EQ(base.height(), fm.height());
  EXPECT_GE(base.width(), fm.horizontalAdvance("Hello") - 1);
  EXPECT_LE(base.width(), fm.horizontalAdvance("Hello") + 1);

  l.SetTextStyle(TTextStyle::tsShadow);
  l.SetShadowDepth(3);
  l.AdjustBounds();
  EXPECT_EQ(l.size(), base + QSize(3, 3));

  l.SetTextStyle(TTextStyle::tsNormal);
  l.SetBorderOuter(TFrameStyleEx::fsLowered);
  l.SetBorderWidth(1);
  l.SetBorderInner(TFrameStyleEx::fsFlat);
  l.AdjustBounds();
  EXPECT_EQ(l.size(), base + QSize(8, 8));
  l.SetBorderSides(sdLeft);
  l.AdjustBounds();
  EXPECT_EQ(l.size(), base + QSize(4, 0));

  // Upright text at 90 degrees takes the turned size.
  TVxLabel v;
  v.setFont(TestFont());
  v.SetCaption("Hello");
  v.SetAngle(90);
  EXPECT_EQ(v.size(), base.transposed());
  v.SetAngle(180);
  v.AdjustBounds();
  EXPECT_EQ(v.size(), base);

  // Condensing the caption ends automatic sizing.
  l.SetCondenseCaption(TVxCondenseCaption::ccAtEnd);
  EXPECT_FALSE(l.AutoSize());
}

TEST(VxLabel, RightJustifiedAutoSizeKeepsItsRightEdge) {
  QWidget parent;
  auto* l = new TVxLabel(&parent);
  l->setFont(TestFont());
  l->SetAlignment(TAlignment::taRightJustify);
  l->move(200, 10);
  l->setText("12");
  EXPECT_EQ(l->Caption(), "12");
  const int right = l->x() + l->width();
  l->SetCaption("1 234 567");
  EXPECT_GT(l->width(), 30);
  EXPECT_EQ(l->x() + l->width(), right);

  auto* left = new TVxLabel(&parent);
  left->setFont(TestFont());
  left->move(20, 10);
  left->SetCaption("1 234 567");
  EXPECT_EQ(left->x(), 20);
}

TEST(VxLabel, TurnedAndCurvedText) {
  TVxLabel v;
  Prepare(v, "Hello");
  v.resize(40, 100);
  v.SetTextMargin(0);
  v.SetAlignment(TAlignment::taCenter);
  v.SetAngle(90);
  const QImage img = Render(v);
  QRect box;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) != ToQColor(kBack).rgb()) box |= QRect(x, y, 1, 1);
  EXPECT_GT(box.height(), 2 * box.width());  // reads upwards
  EXPECT_NEAR(box.center().y(), 50, 6);

  TVxLabel c;
  Prepare(c, "ABCDEF");
  c.resize(120, 120);
  c.SetRotation(TRotation::roCurve);
  c.SetAngle(60);
  EXPECT_GT(TextPixels(Render(c)), 60);

  // No radius left inside the border: nothing is drawn, nothing fails.
  c.SetBorderWidth(30);
  c.SetBorderColor(kBack);
  EXPECT_EQ(TextPixels(Render(c)), 0);
  c.resize(4, 4);
  c.SetBorderWidth(0);
  c.SetCenterPoint(TCenterPoint::cpCenter);
  Render(c);
}

TEST(VxLabel, FlyByColourWhileTheMouseIsOver) {
  TVxLabel l;
  l.SetFontColor(clNavy);
  int entered = 0, left = 0;
  l.OnMouseEnter = [&](QObject*) { ++entered; };
  l.OnMouseLeave = [&](QObject*) { ++left; };
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&l, &enter);
  EXPECT_EQ(l.CurrentTextColor(), clNavy);  // not enabled

  l.SetFlyByEnabled(true);
  l.SetFlyByColor(clFuchsia);
  QApplication::sendEvent(&l, &enter);
  EXPECT_EQ(l.CurrentTextColor(), clFuchsia);
  QApplication::sendEvent(&l, &leave);
  EXPECT_EQ(l.CurrentTextColor(), clNavy);
  EXPECT_EQ(l.FontColor(), clNavy);
  EXPECT_EQ(entered, 2);
  EXPECT_EQ(left, 1);

  // Switching fly-by off keeps a font colour that it never replaced.
  l.SetFontColor(clTeal);
  l.SetFlyByEnabled(false);
  EXPECT_EQ(l.FontColor(), clTeal);
  l.SetFlyByEnabled(true);
  QApplication::sendEvent(&l, &enter);
  l.SetFlyByEnabled(false);  // while the mouse is over it
  EXPECT_EQ(l.FontColor(), clTeal);
  EXPECT_EQ(l.CurrentTextColor(), clTeal);
}

TEST(VxLabel, ColourFollowsTheParentUntilSet) {
  QWidget parent;
  parent.setProperty("Color", clYellow);
  auto* l = new TVxLabel(&parent);
  EXPECT_TRUE(l->ParentColor());
  EXPECT_EQ(l->Color(), clYellow);
  l->SetColor(clRed);
  EXPECT_FALSE(l->ParentColor());
  l->SetParentColor(true);
  EXPECT_EQ(l->Color(), clYellow);

  TVxLabel alone;
  EXPECT_EQ(alone.Color(), clBtnFace);
  EXPECT_EQ(alone.BlinkColor(), clHighlight);
  EXPECT_EQ(alone.FlatColorAdjustment(), 30);
  EXPECT_EQ(alone.ShadowDepth(), 2);
  EXPECT_EQ(alone.BorderSides(), AllSides);
  EXPECT_TRUE(alone.ReadObsoleteProperty("FrameSides", 3));
}
