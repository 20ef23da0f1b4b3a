#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "platform/sys/Errors.h"

#include "controls/VxCommon.h"
#include "controls/VxLabel.h"

namespace {

// A canvas of w x h pixels, white to start with.
struct Canvas {
  QImage img;
  QPainter p;
  Canvas(int w, int h) : img(w, h, QImage::Format_RGB32) {
    img.fill(Qt::white);
    p.begin(&img);
  }
  QImage Done() {
    p.end();
    return img;
  }
};

QRgb Rgb(TColor c) { return ToQColor(c).rgb(); }

// The pixels of an image as rows of characters, one per colour in the legend; '.' for white.
QStringList Picture(const QImage& img, const std::vector<std::pair<TColor, char>>& legend) {
  QStringList rows;
  for (int y = 0; y < img.height(); ++y) {
    QString row;
    for (int x = 0; x < img.width(); ++x) {
      char ch = img.pixel(x, y) == qRgb(255, 255, 255) ? '.' : '?';
      for (const auto& [c, l] : legend)
        if (img.pixel(x, y) == Rgb(c)) ch = l;
      row += ch;
    }
    rows << row;
  }
  return rows;
}

}  // namespace

TEST(VxColours, LightenDarkenAdjust) {
  EXPECT_EQ(AdjustColor(RGB(12, 34, 56), 0), RGB(12, 34, 56));
  EXPECT_EQ(AdjustColor(clBtnFace, 0), clBtnFace);
  EXPECT_EQ(LightenColor(clWhite, 40), clWhite);
  EXPECT_EQ(DarkenColor(RGB(200, 30, 90), 255), clBlack);
  EXPECT_EQ(LightenColor(RGB(200, 30, 90), 255), clWhite);
  // A grey moves along the grey axis.
  EXPECT_EQ(LightenColor(clGray, 60), RGB(191, 191, 191));
  EXPECT_EQ(DarkenColor(clSilver, 60), RGB(129, 129, 129));
  // Beyond +-255 clamps instead of failing.
  EXPECT_EQ(AdjustColor(RGB(10, 100, 200), 300), LightenColor(RGB(10, 100, 200), 255));
  EXPECT_EQ(AdjustColor(RGB(10, 100, 200), -1000), clBlack);
  EXPECT_EQ(AdjustColor(RGB(10, 100, 200), -30), DarkenColor(RGB(10, 100, 200), 30));
  // System colours are turned into RGB first.
  EXPECT_EQ(DarkenColor(clBtnHighlight, 0), clWhite);
}

TEST(VxColours, HueLightnessSaturation) {
  int h, s, l;
  ColorToHLS(clGray, h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(l, 120);  // 128/255 * 240 = 120.47
  ColorToHLS(clRed, h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 240);
  EXPECT_EQ(l, 120);
  ColorToHLS(clLime, h, s, l);
  EXPECT_EQ(h, 80);
  ColorToHLS(clBlue, h, s, l);
  EXPECT_EQ(h, 160);
  ColorToHLS(RGB(255, 0, 128), h, s, l);  // a negative hue comes round
  EXPECT_EQ(h, 220);
  EXPECT_EQ(HLSToColor(0, 240, 120), clRed);
  EXPECT_EQ(HLSToColor(0, 0, 0), clBlack);
  EXPECT_EQ(HLSToColor(0, 0, 240), clWhite);
  EXPECT_EQ(HLSToColor(160, 240, 120), RGB(4, 0, 255));  // the hue scale is 239 on the way back
  EXPECT_EQ(HLSToColor(239, 240, 120), clRed);            // sector 6 is drawn as sector 0
}

TEST(VxPainting, SidesAndRepeats) {
  {
    Canvas c(6, 5);
    const TRect r = PaintSides(c.p, Rect(0, 0, 6, 5), clRed, clBlue, AllSides);
    EXPECT_EQ(r, Rect(1, 1, 5, 4));
    EXPECT_EQ(Picture(c.Done(), {{clRed, 'R'}, {clBlue, 'B'}}),
              QStringList({"RRRRRB", "R....B", "R....B", "R....B", "BBBBBB"}));
  }
  {
    Canvas c(6, 5);
    const TRect r = PaintSides(c.p, Rect(0, 0, 6, 5), clRed, clNone, AllSides);
    EXPECT_EQ(r, Rect(1, 1, 5, 4));  // moves in on every side all the same
    EXPECT_EQ(Picture(c.Done(), {{clRed, 'R'}}),
              QStringList({"RRRRRR", "R.....", "R.....", "R.....", "R....."}));
  }
  {
    Canvas c(4, 4);
    EXPECT_EQ(PaintSides(c.p, Rect(0, 0, 4, 4), clRed, clBlue, 0), Rect(0, 0, 4, 4));
    EXPECT_EQ(Picture(c.Done(), {}), QStringList({"....", "....", "....", "...."}));
  }
  {
    Canvas c(10, 10);
    EXPECT_EQ(PaintSidesRepeated(c.p, Rect(0, 0, 10, 10), clRed, clRed, AllSides, 3), Rect(3, 3, 7, 7));
    EXPECT_EQ(PaintSidesRepeated(c.p, Rect(3, 3, 7, 7), clRed, clRed, AllSides, 0), Rect(3, 3, 7, 7));
    const QImage img = c.Done();
    EXPECT_EQ(img.pixel(2, 5), Rgb(clRed));
    EXPECT_EQ(img.pixel(3, 5), qRgb(255, 255, 255));
  }
  {
    Canvas c(5, 4);
    EXPECT_EQ(PaintSides(c.p, Rect(0, 0, 5, 4), clRed, clBlue, sdLeft | sdBottom), Rect(1, 0, 5, 3));
    EXPECT_EQ(Picture(c.Done(), {{clRed, 'R'}, {clBlue, 'B'}}),
              QStringList({"R....", "R....", "R....", "BBBBB"}));
  }
}

TEST(VxPainting, ThreeDFrames) {
  // Distinct system colours, so every line shows whose it is.
  SetSysColor(COLOR_BTNHIGHLIGHT, RGB(250, 250, 250));
  SetSysColor(COLOR_3DLIGHT, RGB(220, 220, 220));
  const std::vector<std::pair<TColor, char>> legend = {
      {clBtnShadow, 's'}, {clBtnHighlight, 'h'}, {cl3DDkShadow, 'd'}, {cl3DLight, 'l'}};
  {
    Canvas c(6, 6);
    EXPECT_EQ(Paint3DFrame(c.p, Rect(0, 0, 6, 6), TFrameStyleEx::fsLowered, AllSides), Rect(2, 2, 4, 4));
    EXPECT_EQ(Picture(c.Done(), legend), QStringList({"sssssh", "sdddlh", "sd..lh", "sd..lh", "sllllh", "hhhhhh"}));
  }
  {
    Canvas c(6, 6);
    EXPECT_EQ(Paint3DFrame(c.p, Rect(0, 0, 6, 6), TFrameStyleEx::fsGroove, AllSides), Rect(2, 2, 4, 4));
    EXPECT_EQ(Picture(c.Done(), legend), QStringList({"sssssh", "shhhsh", "sh..sh", "sh..sh", "sssssh", "hhhhhh"}));
  }
  {
    Canvas c(6, 6);
    EXPECT_EQ(Paint3DFrame(c.p, Rect(0, 0, 6, 6), TFrameStyleEx::fsNone, AllSides), Rect(0, 0, 6, 6));
    EXPECT_EQ(Paint3DFrame(c.p, Rect(0, 0, 6, 6), TFrameStyleEx::fsFlatBold, AllSides), Rect(2, 2, 4, 4));
  }
  {
    Canvas c(6, 5);
    EXPECT_EQ(PaintRoundedFrame(c.p, Rect(0, 0, 6, 5), clRed, AllSides), Rect(2, 2, 4, 3));
    EXPECT_EQ(Picture(c.Done(), {{clRed, 'R'}}), QStringList({"..RR..", ".R..R.", "R....R", ".R..R.", "..RR.."}));
  }
  ResetSysColors();
}

TEST(VxPainting, ControlBorder) {
  // Outer lowered frame, a band of border colour, inner flat frame in the adjusted flat colour.
  Canvas c(10, 10);
  const TRect r = PaintControlBorder(c.p, Rect(0, 0, 10, 10), TFrameStyleEx::fsLowered, TFrameStyleEx::fsFlat, 1,
                                     AllSides, 1, clYellow, clBtnHighlight, clBtnShadow, clNavy, 0, clWhite,
                                     clBtnFace, false);
  EXPECT_EQ(r, Rect(4, 4, 6, 6));
  const QImage img = c.Done();
  EXPECT_EQ(img.pixel(0, 5), Rgb(clBtnShadow));
  EXPECT_EQ(img.pixel(1, 5), Rgb(cl3DDkShadow));
  EXPECT_EQ(img.pixel(2, 5), Rgb(clYellow));
  EXPECT_EQ(img.pixel(3, 5), Rgb(clNavy));
  EXPECT_EQ(img.pixel(4, 5), qRgb(255, 255, 255));

  // Status and popup bevels take the bevel width and the border's own colours.
  Canvas s(8, 8);
  EXPECT_EQ(PaintControlBorder(s.p, Rect(0, 0, 8, 8), TFrameStyleEx::fsStatus, TFrameStyleEx::fsNone, 0, AllSides,
                               2, clNone, clRed, clBlue, clNavy, 30, clWhite, clBtnFace, false),
            Rect(2, 2, 6, 6));
  const QImage simg = s.Done();
  EXPECT_EQ(simg.pixel(1, 4), Rgb(clBlue));  // upper-left takes the shadow colour
  EXPECT_EQ(simg.pixel(6, 4), Rgb(clRed));
}

TEST(VxBlinking, TimerLivesWithTheLabels) {
  ASSERT_EQ(BlinkingControlsList(), nullptr);
  auto* a = new TVxLabel;
  ASSERT_NE(BlinkingControlsList(), nullptr);
  EXPECT_TRUE(BlinkingControlsList()->Timer()->isActive());
  EXPECT_EQ(BlinkingControlsList()->Timer()->interval(), 500);
  auto* b = new TVxLabel;
  EXPECT_EQ(BlinkingControlsList()->Count(), 2);
  delete a;
  EXPECT_EQ(BlinkingControlsList()->Count(), 1);
  delete b;
  EXPECT_EQ(BlinkingControlsList(), nullptr);
}

TEST(VxBlinking, TicksAlternateColoursOfBlinkingLabelsOnly) {
  TVxLabel steady, blinking;
  steady.SetFontColor(clGreen);
  blinking.SetFontColor(clMaroon);
  blinking.SetBlinkColor(clYellow);
  blinking.SetBlinking(true);
  steady.SetBlinkIntervalOn(800);
  blinking.SetBlinkIntervalOff(600);  // shared: the last value written wins
  EXPECT_EQ(steady.BlinkIntervalOff(), 600);
  EXPECT_EQ(blinking.BlinkIntervalOn(), 800);
  EXPECT_EQ(steady.Perform(CM_BLINKQUERY, 0), 0);
  EXPECT_EQ(blinking.Perform(CM_BLINKQUERY, 0), 1);

  TVxBlinkingControlsList* list = BlinkingControlsList();
  ASSERT_TRUE(list->BlinkState());
  list->TimerTick();  // off phase
  EXPECT_FALSE(list->BlinkState());
  EXPECT_EQ(list->Timer()->interval(), 600);
  EXPECT_EQ(blinking.CurrentTextColor(), clMaroon);
  list->TimerTick();  // on phase
  EXPECT_EQ(list->Timer()->interval(), 800);
  EXPECT_EQ(blinking.CurrentTextColor(), clYellow);
  EXPECT_EQ(steady.CurrentTextColor(), clGreen);

  // Switching blinking off shows the normal colour at once.
  blinking.SetBlinking(false);
  EXPECT_EQ(blinking.CurrentTextColor(), clMaroon);
  list->TimerTick();
  list->TimerTick();
  EXPECT_EQ(blinking.CurrentTextColor(), clMaroon);
}

TEST(VxFrameController, PushesItsSettingsToLinkedLabels) {
  TVxFrameController fc;
  TVxLabel label;
  label.SetFrameController(&fc);
  EXPECT_EQ(fc.LinkedCount(), 1);
  EXPECT_EQ(label.BorderOuter(), TFrameStyleEx::fsNone);  // frame not visible: nothing applied

  fc.SetFrameStyle(TFrameStyleEx::fsLowered);
  fc.SetFrameColor(clRed);
  fc.SetFrameVisible(true);
  EXPECT_EQ(label.BorderOuter(), TFrameStyleEx::fsLowered);
  EXPECT_EQ(label.FlatColor(), clRed);
  EXPECT_EQ(label.FlatColorAdjustment(), 0);
  EXPECT_EQ(label.Color(), clWindow);
  EXPECT_EQ(label.BorderHighlight(), LightenColor(label.Color(), 100));
  EXPECT_EQ(label.BorderShadow(), DarkenColor(label.Color(), 50));

  // A label that does not take the frame style keeps its own.
  label.SetBorderOuter(TFrameStyleEx::fsBump);
  label.SetFrameControllerNotifications(AllFrameControllerNotifications & ~fcpBit(TVxFrameControllerProperty::fcpFrameStyle));
  fc.SetFrameStyle(TFrameStyleEx::fsRaised);
  EXPECT_EQ(label.BorderOuter(), TFrameStyleEx::fsBump);

  // Colour moves the focus colour along while they were equal.
  fc.SetColor(clAqua);
  EXPECT_EQ(fc.FocusColor(), clAqua);
  EXPECT_EQ(label.Color(), clAqua);

  // Hot tracking shows the frame on all sides.
  TVxFrameController hot;
  hot.SetFrameSides(sdTop);
  hot.SetFrameHotTrack(true);
  EXPECT_TRUE(hot.FrameVisible());
  EXPECT_EQ(hot.FrameSides(), AllSides);

  {
    TVxFrameController other;
    other.SetFrameStyle(TFrameStyleEx::fsButtonUp);
    other.SetFrameVisible(true);
    label.SetFrameController(&other);
    EXPECT_EQ(fc.LinkedCount(), 0);
    EXPECT_EQ(other.LinkedCount(), 1);
  }
  EXPECT_EQ(label.FrameController(), nullptr);  // freed controller unlinks itself
}

namespace {
class FramedBox : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Color MEMBER color)
  Q_PROPERTY(int FrameStyle MEMBER frameStyle)
  Q_PROPERTY(bool FrameVisible MEMBER frameVisible)
 public:
  int color = 0;
  int frameStyle = -1;
  bool frameVisible = false;
  int sets = 0;
};
}  // namespace

TEST(VxFrameController, WritesSameNamedPropertiesOfOtherControls) {
  TVxFrameController fc;
  FramedBox box;
  fc.LinkControl(&box);
  EXPECT_EQ(box.color, clWindow);
  EXPECT_EQ(box.frameStyle, int(TFrameStyleEx::fsFlat));
  fc.SetFrameVisible(true);
  EXPECT_TRUE(box.frameVisible);

  // Assign copies every setting in one update.
  TVxFrameController src;
  src.SetColor(clLime);
  src.SetFrameStyle(TFrameStyleEx::fsPopup);
  fc.Assign(&src);
  EXPECT_EQ(box.color, clLime);
  EXPECT_EQ(box.frameStyle, int(TFrameStyleEx::fsPopup));
  EXPECT_FALSE(box.frameVisible);
  QObject notAController;
  EXPECT_THROW(fc.Assign(&notAController), Exception);

  // Older layouts.
  EXPECT_TRUE(fc.ReadObsoleteProperty("FrameFlat", true));
  EXPECT_TRUE(fc.FrameHotTrack());
  EXPECT_EQ(fc.FrameStyle(), TFrameStyleEx::fsStatus);
  EXPECT_EQ(fc.FrameHotStyle(), TFrameStyleEx::fsLowered);
  EXPECT_TRUE(fc.ReadObsoleteProperty("FrameFocusStyle", "fsGroove"));
  EXPECT_EQ(fc.FrameHotStyle(), TFrameStyleEx::fsGroove);
  EXPECT_TRUE(fc.ReadObsoleteProperty("FrameFlatStyle", "fsNone"));
  EXPECT_FALSE(fc.ReadObsoleteProperty("Other", 1));
}

TEST(VxRegIniFile, SettersAskForARefresh) {
  TVxRegIniFile f;
  EXPECT_TRUE(f.NeedsRefresh());
  EXPECT_EQ(f.PathType(), TVxPathType::ptIniFile);
  EXPECT_EQ(f.RegKey(), TVxRegKey::hkeyCurrentUser);
  EXPECT_EQ(f.RegAccess(), TVxRegAccess(keyAllAccess));
  TVxFrameController fc;
  {
    TVxRegIniFile store;
    fc.SetRegIniFile(&store);
    EXPECT_EQ(fc.RegIniFile(), &store);
  }
  EXPECT_EQ(fc.RegIniFile(), nullptr);
}

#include "test_vxcommon.moc"
