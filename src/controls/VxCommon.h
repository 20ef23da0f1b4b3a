// What the 3-D label and the frame controller share: the one blink timer, colour arithmetic in
// hue-lightness-saturation space, frame and bevel painting, angled fonts.
#pragma once
#include <QFont>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/Graphics.h"

class QPainter;

// ---- Blinking -------------------------------------------------------------------------------

constexpr unsigned CM_BASE = 0xB000;
constexpr unsigned CM_BLINKQUERY = CM_BASE + 1000;  // reply 1 when the control blinks
constexpr unsigned CM_BLINKSTATE = CM_BASE + 1001;  // WParam: the new state, 1 or 0

// A control that answers the control messages synchronously.
class TVxMessageTarget {
 public:
  virtual ~TVxMessageTarget() = default;
  virtual intptr_t Perform(unsigned Msg, intptr_t WParam, intptr_t LParam = 0) = 0;
};

// The one blink list of the process. Its timer runs while at least one label exists.
class TVxBlinkingControlsList : public QObject {
  Q_OBJECT
 public:
  TVxBlinkingControlsList();
  ~TVxBlinkingControlsList() override;
  virtual int Count() const { return int(controls_.size()); }
  void Add(TVxMessageTarget* control);
  void Remove(TVxMessageTarget* control);

  bool BlinkState() const { return state_; }
  uint16_t IntervalOff() const { return intervalOff_; }
  void SetIntervalOff(uint16_t v) { intervalOff_ = v; }
  uint16_t IntervalOn() const { return intervalOn_; }
  void SetIntervalOn(uint16_t v) { intervalOn_ = v; }
  QTimer* Timer() { return timer_.get(); }

  // The timer's tick: flips the state and tells every blinking control.
  void TimerTick();

 private:
  bool state_ = true;
  std::vector<TVxMessageTarget*> controls_;
  std::unique_ptr<QTimer> timer_;
  uint16_t intervalOff_ = 500;
  uint16_t intervalOn_ = 500;
};

// The list of the process; nullptr while no label exists.
TVxBlinkingControlsList* BlinkingControlsList();
// A label joins at construction (the list is made on first use) and leaves at destruction (the
// list is freed when it becomes empty).
void JoinBlinkingControls(TVxMessageTarget* control);
void LeaveBlinkingControls(TVxMessageTarget* control);

// ---- Frames ---------------------------------------------------------------------------------

enum TSide : unsigned { sdLeft = 1, sdTop = 2, sdRight = 4, sdBottom = 8 };
using TSides = unsigned;
constexpr TSides AllSides = sdLeft | sdTop | sdRight | sdBottom;

enum class TFrameStyleEx {
  fsNone, fsFlat, fsGroove, fsBump, fsLowered, fsButtonDown, fsRaised, fsButtonUp, fsStatus,
  fsPopup, fsFlatBold, fsFlatRounded
};
// The frame controller's styles: fsNone .. fsFlatBold.
using TFrameStyle = TFrameStyleEx;

// ---- Colours --------------------------------------------------------------------------------

// Hue, saturation and lightness on the scale 0..240.
void ColorToHLS(TColor color, int& Hue, int& Saturation, int& Lightness);
TColor HLSToColor(int Hue, int Saturation, int Lightness);
TColor LightenColor(TColor color, int amount);  // amount 0..255
TColor DarkenColor(TColor color, int amount);   // amount 0..255
// 0: unchanged; > 0 lightens, < 0 darkens; beyond +-255 counts as +-255.
TColor AdjustColor(TColor color, int adjustment);

// ---- Painting (each returns the rectangle left inside what it painted) -----------------------

TRect PaintSides(QPainter& canvas, TRect rect, TColor upperLeft, TColor lowerRight, TSides sides);
TRect PaintSidesRepeated(QPainter& canvas, TRect rect, TColor upperLeft, TColor lowerRight, TSides sides,
                         int count);
TRect Paint3DFrame(QPainter& canvas, TRect rect, TFrameStyleEx style, TSides sides);
TRect PaintRoundedFrame(QPainter& canvas, TRect rect, TColor color, TSides sides);
TRect PaintControlBorder(QPainter& canvas, TRect bounds, TFrameStyleEx outer, TFrameStyleEx inner,
                         int borderWidth, TSides sides, int bevelWidth, TColor borderColor,
                         TColor borderHighlight, TColor borderShadow, TColor flatColor,
                         int flatColorAdjustment, TColor controlColor, TColor parentColor,
                         bool transparent);

// ---- Fonts ----------------------------------------------------------------------------------

// A font to draw at an angle: the escapement is in tenths of a degree, counter-clockwise.
struct TAngledFont {
  QFont Font;
  int Escapement = 0;
  int Orientation = 0;
};
// The font's height as the platform counts it: negative for a character height in pixels.
int FontHeight(const QFont& font);
void SetFontHeight(QFont& font, int height);
TAngledFont CreateAngledFont(const QFont& font, int angle);
// Only outline (TrueType) fonts can be drawn at an angle.
bool FontIsTrueType(const QFont& font);

// ---- Frame controller and settings store ----------------------------------------------------

enum class TFramingPreference { fpCustomFraming, fpXPThemes };

enum class TVxFrameControllerProperty {
  fcpColor, fcpFocusColor, fcpDisabledColor, fcpReadOnlyColor, fcpParentColor,
  fcpFlatButtonColor, fcpFlatButtons, fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack,
  fcpFrameHotStyle, fcpFrameSides, fcpFrameStyle, fcpFrameVisible, fcpFramingPreference, fcpAll
};
// A set of the first fifteen properties, bit n for property n.
using TVxFrameControllerNotifications = unsigned;
constexpr TVxFrameControllerNotifications fcpBit(TVxFrameControllerProperty p) { return 1u << unsigned(p); }
constexpr TVxFrameControllerNotifications AllFrameControllerNotifications = (1u << 15) - 1;

class TVxFrameController;

// What a control implements to apply a controller's settings itself.
class IVxFrameControllerNotify {
 public:
  virtual ~IVxFrameControllerNotify() = default;
  virtual TVxFrameControllerNotifications FrameControllerNotifications() const = 0;
  virtual void FrameControllerNotify(TVxFrameController* controller, TVxFrameControllerProperty property) = 0;
};

enum class TVxPathType { ptIniFile, ptRegistry };
enum class TVxRegKey {
  hkeyClassesRoot, hkeyCurrentUser, hkeyLocalMachine, hkeyUsers, hkeyPerformanceData,
  hkeyCurrentConfig, hkeyDynData
};
enum TVxRegAccessItem : unsigned {
  keyQueryValue = 1, keySetValue = 2, keyCreateSubKey = 4, keyEnumerateSubKeys = 8, keyNotify = 16,
  keyCreateLink = 32, keyRead = 64, keyWrite = 128, keyExecute = 256, keyAllAccess = 512
};
using TVxRegAccess = unsigned;

// A settings store a frame controller can name; nothing in the program opens it.
class TVxRegIniFile : public QObject {
  Q_OBJECT
 public:
  explicit TVxRegIniFile(QObject* owner = nullptr) : QObject(owner) {}
  QString Path() const { return path_; }
  void SetPath(const QString& v);
  TVxPathType PathType() const { return pathType_; }
  void SetPathType(TVxPathType v);
  TVxRegKey RegKey() const { return regKey_; }
  void SetRegKey(TVxRegKey v);
  TVxRegAccess RegAccess() const { return regAccess_; }
  void SetRegAccess(TVxRegAccess v);
  bool NeedsRefresh() const { return needsRefresh_; }

 private:
  QString path_;
  TVxPathType pathType_ = TVxPathType::ptIniFile;
  TVxRegKey regKey_ = TVxRegKey::hkeyCurrentUser;
  TVxRegAccess regAccess_ = keyAllAccess;
  bool needsRefresh_ = true;
};

// Holds one set of frame and colour settings and pushes them to every linked control.
class TVxFrameController : public QObject {
  Q_OBJECT
 public:
  explicit TVxFrameController(QObject* owner = nullptr);
  ~TVxFrameController() override;

  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor v);
  TColor ReadOnlyColor() const { return readOnlyColor_; }
  void SetReadOnlyColor(TColor v);
  TColor FlatButtonColor() const { return flatButtonColor_; }
  void SetFlatButtonColor(TColor v);
  bool FlatButtons() const { return flatButtons_; }
  void SetFlatButtons(bool v);
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor v);
  TColor FrameColor() const { return frameColor_; }
  void SetFrameColor(TColor v);
  TColor FrameHotColor() const { return frameHotColor_; }
  void SetFrameHotColor(TColor v);
  TFrameStyle FrameHotStyle() const { return frameHotStyle_; }
  void SetFrameHotStyle(TFrameStyle v);
  bool FrameHotTrack() const { return frameHotTrack_; }
  void SetFrameHotTrack(bool v);
  TSides FrameSides() const { return frameSides_; }
  void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return frameStyle_; }
  void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return frameVisible_; }
  void SetFrameVisible(bool v);
  TFramingPreference FramingPreference() const { return framingPreference_; }
  void SetFramingPreference(TFramingPreference v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TVxRegIniFile* RegIniFile() const { return regIniFile_; }
  void SetRegIniFile(TVxRegIniFile* v);

  // Linking is done by a control's FrameController setter.
  void LinkControl(QObject* control);
  void UnlinkControl(QObject* control);
  int LinkedCount() const { return controls_ ? int(controls_->size()) : 0; }

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  void Assign(QObject* source);
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  // Entries of older layouts: "FrameFlat", "FrameFocusStyle", "FrameFlatStyle". True when known.
  bool ReadObsoleteProperty(const QString& name, const QVariant& value);

  virtual void NotifyControl(QObject* control, TVxFrameControllerProperty property);
  virtual void UpdateControls(TVxFrameControllerProperty property);

 private:
  TColor color_ = clWindow;
  TColor disabledColor_ = clBtnFace;
  TColor readOnlyColor_ = clInfoBk;
  TColor flatButtonColor_ = clBtnFace;
  bool flatButtons_ = true;
  TColor focusColor_ = clWindow;
  TColor frameColor_ = clBtnShadow;
  TColor frameHotColor_ = clBtnShadow;
  TFrameStyle frameHotStyle_ = TFrameStyleEx::fsFlatBold;
  bool frameHotTrack_ = false;
  TSides frameSides_ = AllSides;
  TFrameStyle frameStyle_ = TFrameStyleEx::fsFlat;
  bool frameVisible_ = false;
  TFramingPreference framingPreference_ = TFramingPreference::fpXPThemes;
  bool parentColor_ = false;
  TVxRegIniFile* regIniFile_ = nullptr;

  std::unique_ptr<std::vector<QObject*>> controls_;
  int updateCount_ = 0;
  bool loading_ = false;
};
