// A text label drawn raised, recessed or with a drop shadow, straight, at an angle or along an
// arc, inside an optional frame; it can blink on the shared timer and change colour under the
// mouse.
#pragma once
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "controls/Graphics.h"
#include "controls/VxCommon.h"

enum class TTextStyle { tsNormal, tsRaised, tsRecessed, tsShadow };
enum class TRotation { roNone, roFlat, roCurve };
enum class TCenterPoint {
  cpUpperLeft, cpUpperCenter, cpUpperRight, cpLeftCenter, cpCenter, cpRightCenter, cpLowerLeft,
  cpLowerCenter, cpLowerRight
};
enum class TVxCondenseCaption { ccNone, ccAtEnd, ccWithinPath };

class TVxLabel : public QWidget, public TVxMessageTarget, public IVxFrameControllerNotify {
  Q_OBJECT
 public:
  explicit TVxLabel(QWidget* parent = nullptr);
  ~TVxLabel() override;

  // What the label has as a label.
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v);
  // The same, under the names the toolkit's own labels use.
  QString text() const { return caption_; }
  void setText(const QString& v) { SetCaption(v); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);

  // Its own settings.
  int Angle() const { return angle_; }
  void SetAngle(int v);
  bool Blinking() const { return blinking_; }
  void SetBlinking(bool v);
  TColor BlinkColor() const { return blinkColor_; }
  void SetBlinkColor(TColor v);
  uint16_t BlinkIntervalOff() const;
  void SetBlinkIntervalOff(uint16_t v);
  uint16_t BlinkIntervalOn() const;
  void SetBlinkIntervalOn(uint16_t v);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int v);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor v);
  TFrameStyleEx BorderInner() const { return borderInner_; }
  void SetBorderInner(TFrameStyleEx v);
  TFrameStyleEx BorderOuter() const { return borderOuter_; }
  void SetBorderOuter(TFrameStyleEx v);
  TSides BorderSides() const { return borderSides_; }
  void SetBorderSides(TSides v);
  TColor BorderHighlight() const { return borderHighlight_; }
  void SetBorderHighlight(TColor v);
  TColor BorderShadow() const { return borderShadow_; }
  void SetBorderShadow(TColor v);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v);
  TVxCondenseCaption CondenseCaption() const { return condenseCaption_; }
  void SetCondenseCaption(TVxCondenseCaption v);
  TColor FlatColor() const { return flatColor_; }
  void SetFlatColor(TColor v);
  int FlatColorAdjustment() const { return flatColorAdjustment_; }
  void SetFlatColorAdjustment(int v);
  TVxFrameController* FrameController() const { return frameController_; }
  void SetFrameController(TVxFrameController* v);
  TVxFrameControllerNotifications FrameControllerNotifications() const override { return notifications_; }
  void SetFrameControllerNotifications(TVxFrameControllerNotifications v) { notifications_ = v; }
  TCenterPoint CenterPoint() const { return centerPoint_; }
  void SetCenterPoint(TCenterPoint v);
  TColor FlyByColor() const { return flyByColor_; }
  void SetFlyByColor(TColor v);
  bool FlyByEnabled() const { return flyByEnabled_; }
  void SetFlyByEnabled(bool v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool LightTextStyle() const { return lightTextStyle_; }
  void SetLightTextStyle(bool v);
  TRotation Rotation() const { return rotation_; }
  void SetRotation(TRotation v);
  int TextMargin() const { return textMargin_; }
  void SetTextMargin(int v);
  TTextStyle TextStyle() const { return textStyle_; }
  void SetTextStyle(TTextStyle v);
  TColor HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(TColor v);
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor v);
  int ShadowDepth() const { return shadowDepth_; }
  void SetShadowDepth(int v);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // The window's layout code brackets its settings with these.
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  bool Loading() const { return loading_; }
  // The "FrameSides" entry of older layouts: read and ignored. True when the name is known.
  bool ReadObsoleteProperty(const QString& name, const QVariant& value);

  // The colour painting uses now (the font colour, the blink colour or the fly-by colour).
  TColor CurrentTextColor() const { return currentColor_; }

  intptr_t Perform(unsigned Msg, intptr_t WParam, intptr_t LParam = 0) override;
  void FrameControllerNotify(TVxFrameController* controller, TVxFrameControllerProperty property) override;
  // The parent's colour changed.
  void ParentColorChanged();

  virtual QString GetLabelText() const { return caption_; }
  virtual void ApplyFrameController();
  virtual void BlinkStateChanged(bool state);
  virtual void AdjustBounds();
  // The size automatic sizing gives (what a layout asks for).
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  virtual void AdjustAutoSizeRect(TRect& r) const;
  virtual void AdjustTextRect(TRect& r, bool withBorderWidth) const;
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  QSize AutoSizeFor(int width) const;
  void FontChanged();
  void TextChanged();
  void EnsureTrueTypeFont();
  int FrameWidth(TFrameStyleEx style) const;
  TColor ParentColorValue() const;
  int TextFlags() const;
  void PaintStraightText(QPainter& p);
  void PaintCurvedText(QPainter& p);

  QString caption_;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool autoSize_ = true;
  bool transparent_ = false;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TColor fontColor_ = clWindowText;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TAlign align_ = TAlign::alNone;

  int angle_ = 0;
  bool blinking_ = false;
  TColor blinkColor_ = clHighlight;
  int bevelWidth_ = 1;
  TFrameStyleEx borderInner_ = TFrameStyleEx::fsNone;
  TFrameStyleEx borderOuter_ = TFrameStyleEx::fsNone;
  TSides borderSides_ = AllSides;
  TColor borderColor_ = clBtnFace;
  TColor borderHighlight_ = clBtnHighlight;
  TColor borderShadow_ = clBtnShadow;
  int borderWidth_ = 0;
  TVxCondenseCaption condenseCaption_ = TVxCondenseCaption::ccNone;
  TColor flatColor_ = clBtnShadow;
  int flatColorAdjustment_ = 30;
  TVxFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
  QPointer<TVxFrameController> frameController_;
  TCenterPoint centerPoint_ = TCenterPoint::cpCenter;
  TColor flyByColor_ = clHighlight;
  bool flyByEnabled_ = false;
  TTextLayout layout_ = TTextLayout::tlTop;
  bool lightTextStyle_ = false;
  TRotation rotation_ = TRotation::roNone;
  TColor highlightColor_ = clBtnHighlight;
  TColor shadowColor_ = clBtnShadow;
  int shadowDepth_ = 2;
  int textMargin_ = 0;
  TTextStyle textStyle_ = TTextStyle::tsNormal;

  TColor normalColor_ = clWindowText;   // the font colour to return to after blinking
  TColor currentColor_ = clWindowText;  // what painting uses
  TColor keptColor_ = clWindowText;     // the font colour while the fly-by colour is shown
  bool flyByShown_ = false;
  bool settingColor_ = false;           // the constructor is setting the colour
  bool loading_ = false;
};
