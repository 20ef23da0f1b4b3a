// Renders a window with every gradient style and every label style into a PNG, so that a person
// can look at them: shots_controls <file.png>
#include <QApplication>
#include <QMetaEnum>
#include <QPixmap>

#include "controls/Gradient.h"
#include "controls/QVNumEdit.h"
#include "controls/VxLabel.h"

namespace {

const char* const kStyleNames[] = {
    "gsCustom", "gsRadialC", "gsRadialT", "gsRadialB", "gsRadialL", "gsRadialR", "gsRadialTL", "gsRadialTR",
    "gsRadialBL", "gsRadialBR", "gsLinearH", "gsLinearV", "gsReflectedH", "gsReflectedV", "gsDiagonalLF",
    "gsDiagonalLB", "gsDiagonalRF", "gsDiagonalRB", "gsArrowL", "gsArrowR", "gsArrowU", "gsArrowD",
    "gsDiamond", "gsButterfly"};

QFont Font(const char* family, int height, bool bold = false, bool italic = false) {
  QFont f(family);
  SetFontHeight(f, height);
  f.setBold(bold);
  f.setItalic(italic);
  return f;
}

TVxLabel* Label(QWidget* parent, const QString& caption, int x, int y, const QFont& font) {
  auto* l = new TVxLabel(parent);
  l->setFont(font);
  l->move(x, y);
  l->SetCaption(caption);
  return l;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls.png");

  QWidget window;
  window.setWindowTitle("Contrôles");
  window.setFixedSize(1040, 900);
  window.setAutoFillBackground(true);
  QPalette pal = window.palette();
  pal.setColor(QPalette::Window, ToQColor(clBtnFace));
  window.setPalette(pal);

  // Every gradient style, with its name below.
  const int gw = 160, gh = 92;
  for (int i = 0; i < kGradientStyleCount; ++i) {
    const int x = 12 + (i % 6) * (gw + 12), y = 10 + (i / 6) * (gh + 24);
    auto* g = new TGradient(&window);
    g->setGeometry(x, y, gw, gh);
    g->BeginUpdate();
    g->SetColorBegin(clWhite);
    g->SetColorEnd(clNavy);
    g->SetStyle(TGradientStyle(i));
    g->EndUpdate();
    auto* name = Label(&window, kStyleNames[i], x, y + gh + 3, Font("Verdana", -12));
    name->SetTransparent(true);
  }

  // The colour settings on one style.
  struct Variant { const char* caption; TColor begin, end; bool reverse; int shift, rotation; };
  const Variant variants[] = {
      {"Reverse", clWhite, clNavy, true, 0, 0},     {"Shift 50", clWhite, clNavy, false, 50, 0},
      {"Shift -50", clWhite, clNavy, false, -50, 0}, {"Rotation 50", clWhite, clNavy, false, 0, 50},
      {"Rotation -50", clWhite, clNavy, false, 0, -50}, {"clRed / clBlack", clRed, clBlack, false, 0, 0}};
  for (int i = 0; i < 6; ++i) {
    const Variant& v = variants[i];
    const int x = 12 + i * (gw + 12), y = 476;
    auto* g = new TGradient(&window);
    g->setGeometry(x, y, gw, 40);
    g->BeginUpdate();
    g->SetStyle(TGradientStyle::gsLinearH);
    g->SetColorBegin(v.begin);
    g->SetColorEnd(v.end);
    g->SetReverse(v.reverse);
    g->SetShift(v.shift);
    g->SetRotation(v.rotation);
    g->EndUpdate();
    Label(&window, v.caption, x, y + 43, Font("Verdana", -12))->SetTransparent(true);
  }

  // Label styles on a silver reflected gradient, as the windows show them.
  auto* back = new TGradient(&window);
  back->setGeometry(12, 540, 1016, 350);
  back->BeginUpdate();
  back->SetColorEnd(clSilver);
  back->SetReverse(true);
  back->SetStyle(TGradientStyle::gsReflectedH);
  back->EndUpdate();

  struct Style { const char* caption; TTextStyle style; bool light; bool enabled; TColor font; };
  const Style styles[] = {
      {"tsNormal", TTextStyle::tsNormal, false, true, clBlack},
      {"tsRaised", TTextStyle::tsRaised, false, true, clGray},
      {"tsRaised léger", TTextStyle::tsRaised, true, true, clGray},
      {"tsRecessed", TTextStyle::tsRecessed, false, true, clGray},
      {"tsRecessed léger", TTextStyle::tsRecessed, true, true, clNavy},
      {"tsShadow", TTextStyle::tsShadow, false, true, clWhite},
      {"Désactivé", TTextStyle::tsRaised, false, false, clBlack}};
  for (int i = 0; i < 7; ++i) {
    const Style& s = styles[i];
    auto* l = Label(back, s.caption, 16 + (i % 4) * 250, 14 + (i / 4) * 46, Font("Verdana", -22, true));
    l->SetTransparent(true);
    l->SetTextStyle(s.style);
    l->SetLightTextStyle(s.light);
    l->SetFontColor(s.font);
    if (s.style == TTextStyle::tsShadow) l->SetShadowColor(clBlack);
    l->setEnabled(s.enabled);
    l->AdjustBounds();
  }

  // The splash window's version line.
  auto* version = Label(back, "ZELM 2.4", 770, 60, Font("Times New Roman", -37, true));
  version->SetTransparent(true);
  version->SetTextStyle(TTextStyle::tsRaised);
  version->SetFontColor(clGray);
  version->SetShadowColor(clBlack);
  version->AdjustBounds();

  // Turned and curved text.
  const int angles[] = {90, 270, 45, 180};
  for (int i = 0; i < 4; ++i) {
    auto* l = Label(back, QString("Angle %1").arg(angles[i]), 20 + i * 120, 120, Font("Arial", -18, true));
    l->SetTransparent(true);
    l->SetAngle(angles[i]);
    l->SetTextStyle(i == 2 ? TTextStyle::tsShadow : TTextStyle::tsRecessed);
    l->SetLightTextStyle(true);
    l->SetFontColor(clNavy);
    if (i == 3) {
      l->SetAutoSize(false);
      l->setGeometry(l->x(), l->y(), 110, 40);
    }
  }
  auto* curve = Label(back, "Distribution de journaux", 500, 110, Font("Verdana", -16, true));
  curve->SetAutoSize(false);
  curve->setGeometry(500, 112, 220, 220);
  curve->SetTransparent(true);
  curve->SetRotation(TRotation::roCurve);
  curve->SetAngle(100);
  curve->SetTextStyle(TTextStyle::tsRaised);
  curve->SetFontColor(clMaroon);

  // Frames.
  const std::pair<const char*, TFrameStyleEx> frames[] = {
      {"fsFlat", TFrameStyleEx::fsFlat},         {"fsGroove", TFrameStyleEx::fsGroove},
      {"fsBump", TFrameStyleEx::fsBump},         {"fsLowered", TFrameStyleEx::fsLowered},
      {"fsButtonDown", TFrameStyleEx::fsButtonDown}, {"fsRaised", TFrameStyleEx::fsRaised},
      {"fsButtonUp", TFrameStyleEx::fsButtonUp}, {"fsStatus", TFrameStyleEx::fsStatus},
      {"fsPopup", TFrameStyleEx::fsPopup},       {"fsFlatBold", TFrameStyleEx::fsFlatBold},
      {"fsFlatRounded", TFrameStyleEx::fsFlatRounded}};
  for (int i = 0; i < 11; ++i) {
    auto* l = Label(back, frames[i].first, 760 + (i % 2) * 128, 110 + (i / 2) * 38, Font("Verdana", -12));
    l->SetAutoSize(false);
    l->resize(118, 28);
    l->SetAlignment(TAlignment::taCenter);
    l->SetLayout(TTextLayout::tlCenter);
    l->SetBorderOuter(frames[i].second);
    l->SetBevelWidth(2);
    l->SetColor(clWhite);
  }

  // The numeric edit of the lists window.
  auto* caption = Label(back, "N° de liste", 20, 300, Font("Verdana", -13, true));
  caption->SetTransparent(true);
  auto* num = new TQVNumEdit(back);
  num->setGeometry(120, 296, 100, 24);
  num->SetAlignment(TAlignment::taCenter);
  num->SetValue(30000);
  auto* grouped = new TQVNumEdit(back);
  grouped->setGeometry(240, 296, 140, 24);
  grouped->SetNumberFormat(TNumberFormat::Thousands);
  grouped->SetDecimals(2);
  grouped->SetValue(1234567.5);
  auto* eng = new TQVNumEdit(back);
  eng->setGeometry(400, 296, 100, 24);
  eng->SetNumberFormat(TNumberFormat::Engineering);
  eng->SetValue(12345);

  window.show();
  app.processEvents();
  if (!window.grab().save(out)) return 1;
  return 0;
}
