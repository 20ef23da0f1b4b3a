// A windowless colour-gradient background: builds a small pattern once per change of its settings
// and paints by stretching it over the control.
#pragma once
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "controls/Graphics.h"

enum class TGradientStyle {
  gsCustom, gsRadialC, gsRadialT, gsRadialB, gsRadialL, gsRadialR, gsRadialTL, gsRadialTR,
  gsRadialBL, gsRadialBR, gsLinearH, gsLinearV, gsReflectedH, gsReflectedV, gsDiagonalLF,
  gsDiagonalLB, gsDiagonalRF, gsDiagonalRB, gsArrowL, gsArrowR, gsArrowU, gsArrowD, gsDiamond,
  gsButterfly
};
constexpr int kGradientStyleCount = 24;

using TGradientShift = int8_t;     // -100..100
using TGradientRotation = int8_t;  // -100..100

// One entry of the colour table, in the byte order of a 24-bit bitmap row.
struct TRGBTriple {
  uint8_t rgbtBlue = 0, rgbtGreen = 0, rgbtRed = 0;
  bool operator==(const TRGBTriple&) const = default;
};
using TGradientColors = std::array<TRGBTriple, 256>;

using TCustomGradientEvent = std::function<void(QObject* Sender, TGradientColors& Colors, QImage& Pattern)>;

// A pattern builder sets the pattern's size (24 bits, blue-green-red bytes) and fills every pixel
// with one table entry. The entry of gsCustom is empty.
using TPatternBuilder = void (*)(const TGradientColors& Colors, QImage& Pattern);
TPatternBuilder GradientPatternBuilder(TGradientStyle style);

class TGradient : public QWidget {
  Q_OBJECT
 public:
  explicit TGradient(QWidget* parent = nullptr);
  ~TGradient() override;

  TColor ColorBegin() const { return colorBegin_; }
  void SetColorBegin(TColor c);
  TColor ColorEnd() const { return colorEnd_; }
  void SetColorEnd(TColor c);
  bool UseSysColors() const { return useSysColors_; }
  void SetUseSysColors(bool v);
  TGradientStyle Style() const { return style_; }
  void SetStyle(TGradientStyle s);
  int Shift() const { return shift_; }
  void SetShift(int v);
  int Rotation() const { return rotation_; }
  void SetRotation(int v);
  bool Reverse() const { return reverse_; }
  void SetReverse(bool v);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);

  TCustomGradientEvent OnCustom;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  void BeginUpdate();
  void EndUpdate();

  // The window's layout code brackets its settings with these: changes made in between build
  // the pattern once, in Loaded.
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  bool Loading() const { return loading_; }

  // The pattern as last built (read only).
  const QImage& Pattern() const { return pattern_; }

  virtual void UpdatePattern();
  virtual void UpdateSysColors();
  // The system's colours or settings changed.
  void WMSettingChange();

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool event(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  TColor colorBegin_ = clWhite;
  TColor colorEnd_ = clBtnFace;
  bool useSysColors_ = false;
  TGradientStyle style_ = TGradientStyle::gsRadialC;
  int shift_ = 0;
  int rotation_ = 0;
  bool reverse_ = false;
  TAlign align_ = TAlign::alNone;

  QImage pattern_;
  TGradientColors colors_{};
  int updateCount_ = 0;
  bool updatePending_ = false;
  bool building_ = false;
  bool loading_ = false;
};
