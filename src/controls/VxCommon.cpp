#include "controls/VxCommon.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/sys/Errors.h"

// ---- Blinking -------------------------------------------------------------------------------

namespace {
TVxBlinkingControlsList* g_blinkList = nullptr;
}

TVxBlinkingControlsList::TVxBlinkingControlsList() : timer_(std::make_unique<QTimer>()) {
  connect(timer_.get(), &QTimer::timeout, this, &TVxBlinkingControlsList::TimerTick);
  timer_->setInterval(intervalOff_);
  timer_->start();
}

TVxBlinkingControlsList::~TVxBlinkingControlsList() = default;

void TVxBlinkingControlsList::Add(TVxMessageTarget* control) { controls_.push_back(control); }

void TVxBlinkingControlsList::Remove(TVxMessageTarget* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it != controls_.end()) controls_.erase(it);
}

void TVxBlinkingControlsList::TimerTick() {
  if (state_) {
    state_ = false;
    timer_->setInterval(intervalOff_);
  } else {
    state_ = true;
    timer_->setInterval(intervalOn_);
  }
  // A control may leave the list while it is told; walk a copy.
  const std::vector<TVxMessageTarget*> controls = controls_;
  for (TVxMessageTarget* c : controls) {
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    if (c->Perform(CM_BLINKQUERY, 0) == 1) c->Perform(CM_BLINKSTATE, state_ ? 1 : 0);
  }
}

TVxBlinkingControlsList* BlinkingControlsList() { return g_blinkList; }

void JoinBlinkingControls(TVxMessageTarget* control) {
  if (!g_blinkList) g_blinkList = new TVxBlinkingControlsList;
  g_blinkList->Add(control);
}

void LeaveBlinkingControls(TVxMessageTarget* control) {
  if (!g_blinkList) return;
  g_blinkList->Remove(control);
  if (g_blinkList->Count() == 0) {
    delete g_blinkList;
    g_blinkList = nullptr;
  }
}

// ---- Colours --------------------------------------------------------------------------------

namespace {
// Round to nearest, halves to even.
int RoundEven(double v) { return int(std::nearbyint(v)); }
}  // namespace

void ColorToHLS(TColor color, int& Hue, int& Saturation, int& Lightness) {
  const TColor rgb = ColorToRGB(color);
  const double r = GetRValue(rgb) / 255.0, g = GetGValue(rgb) / 255.0, b = GetBValue(rgb) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const double l = (mx + mn) / 2;
  double h = 0, s = 0;
  if (mx != mn) {
    const double d = mx - mn;
    s = l >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (r == mx) h = (g - b) / d;
    else if (g == mx) h = 2 + (b - r) / d;
    else h = 4 + (r - g) / d;
    h /= 6;
    if (h < 0) h += 1;
  }
  Hue = RoundEven(h * 240);
  Saturation = RoundEven(s * 240);
  Lightness = RoundEven(l * 240);
}

TColor HLSToColor(int Hue, int Saturation, int Lightness) {
  const double h = Hue / 239.0, s = Saturation / 240.0, l = Lightness / 240.0;
  const double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s;
  if (m2 <= 0) return clBlack;
  const double m1 = 2 * l - m2;
  const int sector = int(6 * h);
  const double f = 6 * h - sector;
  const double v = m2 * ((m2 - m1) / m2) * f;
  const double rising = m1 + v, falling = m2 - v;
  double r, g, b;
  switch (sector) {
    case 1: r = falling; g = m2; b = m1; break;
    case 2: r = m1; g = m2; b = rising; break;
    case 3: r = m1; g = falling; b = m2; break;
    case 4: r = rising; g = m1; b = m2; break;
    case 5: r = m2; g = m1; b = falling; break;
    default: r = m2; g = rising; b = m1; break;
  }
  auto comp = [](double c) { return RoundEven(std::min(c, 1.0) * 255); };
  return RGB(comp(r), comp(g), comp(b));
}

TColor LightenColor(TColor color, int amount) {
  amount = std::clamp(amount, 0, 255);
  int h, s, l;
  ColorToHLS(color, h, s, l);
  return HLSToColor(h, s, std::min(l + amount, 255));
}

TColor DarkenColor(TColor color, int amount) {
  amount = std::clamp(amount, 0, 255);
  int h, s, l;
  ColorToHLS(color, h, s, l);
  return HLSToColor(h, s, std::max(l - amount, 0));
}

TColor AdjustColor(TColor color, int adjustment) {
  if (adjustment == 0) return color;
  adjustment = std::clamp(adjustment, -255, 255);
  return adjustment > 0 ? LightenColor(color, adjustment) : DarkenColor(color, -adjustment);
}

// ---- Painting -------------------------------------------------------------------------------

namespace {

// An axis-parallel line that stops one pixel short of its end point.
void Line(QPainter& p, int x1, int y1, int x2, int y2, const QColor& c) {
  if (y1 == y2) {
    if (x2 > x1) p.fillRect(x1, y1, x2 - x1, 1, c);
    else if (x2 < x1) p.fillRect(x2 + 1, y1, x1 - x2, 1, c);
  } else if (x1 == x2) {
    if (y2 > y1) p.fillRect(x1, y1, 1, y2 - y1, c);
    else p.fillRect(x1, y2 + 1, 1, y1 - y2, c);
  }
}

void Pixel(QPainter& p, int x, int y, TColor c) { p.fillRect(x, y, 1, 1, ToQColor(c)); }

TRect Inset(TRect r, TSides sides, int n) {
  if (sides & sdLeft) r.Left += n;
  if (sides & sdTop) r.Top += n;
  if (sides & sdRight) r.Right -= n;
  if (sides & sdBottom) r.Bottom -= n;
  return r;
}

}  // namespace

TRect PaintSides(QPainter& canvas, TRect r, TColor upperLeft, TColor lowerRight, TSides sides) {
  if (upperLeft != clNone) {
    const QColor c = ToQColor(upperLeft);
    if (sides & sdLeft) Line(canvas, r.Left, r.Top, r.Left, r.Bottom, c);
    if (sides & sdTop) Line(canvas, r.Left, r.Top, r.Right, r.Top, c);
  }
  if (lowerRight != clNone) {
    const QColor c = ToQColor(lowerRight);
    if (sides & sdRight) Line(canvas, r.Right - 1, r.Top, r.Right - 1, r.Bottom, c);
    if (sides & sdBottom) Line(canvas, r.Left, r.Bottom - 1, r.Right, r.Bottom - 1, c);
  }
  return Inset(r, sides, 1);
}

TRect PaintSidesRepeated(QPainter& canvas, TRect r, TColor upperLeft, TColor lowerRight, TSides sides,
                         int count) {
  for (int i = 0; i < count; ++i) r = PaintSides(canvas, r, upperLeft, lowerRight, sides);
  return r;
}

TRect Paint3DFrame(QPainter& canvas, TRect r, TFrameStyleEx style, TSides sides) {
  using F = TFrameStyleEx;
  auto twice = [&](TColor oul, TColor olr, TColor iul, TColor ilr) {
    return PaintSides(canvas, PaintSides(canvas, r, oul, olr, sides), iul, ilr, sides);
  };
  switch (style) {
    case F::fsNone: return r;
    case F::fsFlat: return PaintSides(canvas, r, cl3DDkShadow, cl3DDkShadow, sides);
    case F::fsStatus: return PaintSides(canvas, r, clBtnShadow, clBtnHighlight, sides);
    case F::fsPopup: return PaintSides(canvas, r, clBtnHighlight, clBtnShadow, sides);
    case F::fsFlatBold: return PaintSidesRepeated(canvas, r, clBtnShadow, clBtnShadow, sides, 2);
    case F::fsRaised: return twice(cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow);
    case F::fsLowered: return twice(clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight);
    case F::fsButtonUp: return twice(clBtnHighlight, cl3DDkShadow, cl3DLight, clBtnShadow);
    case F::fsButtonDown: return twice(clBtnText, clBtnText, clBtnShadow, clBtnShadow);
    case F::fsGroove:
    case F::fsBump: {
      const TColor ul = style == F::fsGroove ? clBtnShadow : clBtnHighlight;
      const TColor lr = style == F::fsGroove ? clBtnHighlight : clBtnShadow;
      const bool L = sides & sdLeft, T = sides & sdTop, R = sides & sdRight, B = sides & sdBottom;
      if (R) Pixel(canvas, r.Right - 1, r.Top, lr);
      else if (T) Pixel(canvas, r.Right - 1, r.Top, ul);
      if (B) Pixel(canvas, r.Left, r.Bottom - 1, lr);
      else if (L) Pixel(canvas, r.Left, r.Bottom - 1, ul);
      if (T && !L) Pixel(canvas, r.Left, r.Top + 1, lr);
      if (L && !T) Pixel(canvas, r.Left + 1, r.Top, lr);
      if (B && !R) Pixel(canvas, r.Right - 1, r.Bottom - 2, ul);
      if (R && !B) Pixel(canvas, r.Right - 2, r.Bottom - 1, ul);
      TRect a = r;
      a.Left += 1;
      a.Top += 1;
      PaintSides(canvas, a, lr, lr, sides);
      OffsetRect(a, -1, -1);
      PaintSides(canvas, a, ul, ul, sides);
      return Inset(r, sides, 2);
    }
    case F::fsFlatRounded: return r;  // painted by PaintControlBorder only
  }
  return r;
}

TRect PaintRoundedFrame(QPainter& canvas, TRect r, TColor color, TSides sides) {
  const QColor c = ToQColor(color);
  const bool L = sides & sdLeft, T = sides & sdTop, R = sides & sdRight, B = sides & sdBottom;
  const int top = T ? r.Top + 2 : r.Top, bottom = B ? r.Bottom - 2 : r.Bottom;
  const int left = L ? r.Left + 2 : r.Left, right = R ? r.Right - 2 : r.Right;
  if (L) Line(canvas, r.Left, top, r.Left, bottom, c);
  if (T) Line(canvas, left, r.Top, right, r.Top, c);
  if (R) Line(canvas, r.Right - 1, top, r.Right - 1, bottom, c);
  if (B) Line(canvas, left, r.Bottom - 1, right, r.Bottom - 1, c);
  if (L && T) Pixel(canvas, r.Left + 1, r.Top + 1, color);
  if (T && R) Pixel(canvas, r.Right - 2, r.Top + 1, color);
  if (R && B) Pixel(canvas, r.Right - 2, r.Bottom - 2, color);
  if (L && B) Pixel(canvas, r.Left + 1, r.Bottom - 2, color);
  return Inset(r, sides, 2);
}

TRect PaintControlBorder(QPainter& canvas, TRect bounds, TFrameStyleEx outer, TFrameStyleEx inner,
                         int borderWidth, TSides sides, int bevelWidth, TColor borderColor,
                         TColor borderHighlight, TColor borderShadow, TColor flatColor,
                         int flatColorAdjustment, TColor controlColor, TColor parentColor,
                         bool transparent) {
  using F = TFrameStyleEx;
  auto pass = [&](TRect r, TColor c) { return PaintSidesRepeated(canvas, r, c, c, sides, 1); };
  auto frame = [&](TRect r, F style, bool isOuter) -> TRect {
    switch (style) {
      case F::fsFlat:
      case F::fsFlatBold:
      case F::fsFlatRounded: {
        const TColor c = AdjustColor(flatColor, flatColorAdjustment);
        if (style == F::fsFlat) return PaintSidesRepeated(canvas, r, c, c, sides, 1);
        if (style == F::fsFlatBold) return PaintSidesRepeated(canvas, r, c, c, sides, 2);
        if (isOuter) {
          if (!transparent) {
            const TRect in = pass(r, parentColor);
            pass(in, borderWidth < 1 && inner == F::fsNone ? controlColor : borderColor);
          } else if (borderWidth > 0 || inner != F::fsNone) {
            pass(Inset(r, sides, 1), borderColor);
          }
        } else {
          if (!transparent) pass(pass(r, borderColor), controlColor);
          else pass(r, borderColor);
        }
        return PaintRoundedFrame(canvas, r, c, sides);
      }
      case F::fsPopup: return PaintSidesRepeated(canvas, r, borderHighlight, borderShadow, sides, bevelWidth);
      case F::fsStatus: return PaintSidesRepeated(canvas, r, borderShadow, borderHighlight, sides, bevelWidth);
      default: return Paint3DFrame(canvas, r, style, sides);
    }
  };
  TRect r = frame(bounds, outer, true);
  if (borderWidth > 0) r = PaintSidesRepeated(canvas, r, borderColor, borderColor, sides, borderWidth);
  return frame(r, inner, false);
}

// ---- Fonts ----------------------------------------------------------------------------------

int FontHeight(const QFont& font) {
  if (font.pixelSize() > 0) return -font.pixelSize();
  return -int(std::lround(font.pointSizeF() * 96.0 / 72.0));
}

void SetFontHeight(QFont& font, int height) {
  // A positive height counts the whole cell; the character height is close enough to it.
  font.setPixelSize(std::max(1, std::abs(height)));
}

TAngledFont CreateAngledFont(const QFont& font, int angle) {
  TAngledFont r;
  QFont f(font.family().left(31));
  SetFontHeight(f, FontHeight(font));
  f.setWeight(font.bold() ? QFont::Bold : QFont::Normal);
  f.setItalic(font.italic());
  f.setUnderline(font.underline());
  f.setStrikeOut(font.strikeOut());
  f.setFixedPitch(font.fixedPitch());
  f.setStyleStrategy(font.styleStrategy());
  r.Font = f;
  r.Escapement = angle * 10;
  r.Orientation = 0;
  return r;
}

bool FontIsTrueType(const QFont& font) {
  const QFontInfo info(font);
  return QFontDatabase::isSmoothlyScalable(info.family(), info.styleName());
}

// ---- Settings store ---------------------------------------------------------------------------

void TVxRegIniFile::SetPath(const QString& v) {
  if (v == path_) return;
  path_ = v;
  needsRefresh_ = true;
}
void TVxRegIniFile::SetPathType(TVxPathType v) {
  if (v == pathType_) return;
  pathType_ = v;
  needsRefresh_ = true;
}
void TVxRegIniFile::SetRegKey(TVxRegKey v) {
  if (v == regKey_) return;
  regKey_ = v;
  needsRefresh_ = true;
}
void TVxRegIniFile::SetRegAccess(TVxRegAccess v) {
  if (v == regAccess_) return;
  regAccess_ = v;
  needsRefresh_ = true;
}

// ---- Frame controller -----------------------------------------------------------------------

using P = TVxFrameControllerProperty;

TVxFrameController::TVxFrameController(QObject* owner) : QObject(owner) {}

TVxFrameController::~TVxFrameController() {
  if (controls_)
    for (QObject* c : *controls_) disconnect(c, nullptr, this, nullptr);
}

void TVxFrameController::LinkControl(QObject* control) {
  if (!control) return;
  if (!controls_) controls_ = std::make_unique<std::vector<QObject*>>();
  if (std::find(controls_->begin(), controls_->end(), control) == controls_->end()) {
    controls_->push_back(control);
    connect(control, &QObject::destroyed, this, [this, control] { UnlinkControl(control); });
  }
  NotifyControl(control, P::fcpAll);
}

void TVxFrameController::UnlinkControl(QObject* control) {
  if (!controls_) return;
  auto it = std::find(controls_->begin(), controls_->end(), control);
  if (it == controls_->end()) return;
  controls_->erase(it);
  disconnect(control, &QObject::destroyed, this, nullptr);
  if (controls_->empty()) controls_.reset();
}

void TVxFrameController::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0) UpdateControls(P::fcpAll);
}

void TVxFrameController::Loaded() {
  loading_ = false;
  UpdateControls(P::fcpAll);
}

void TVxFrameController::Assign(QObject* source) {
  auto* s = qobject_cast<TVxFrameController*>(source);
  if (!s) {
    throw EConvertError(QString("Impossible d'affecter %1 à %2")
                            .arg(source ? source->metaObject()->className() : "nil", metaObject()->className()));
  }
  BeginUpdate();
  SetColor(s->color_);
  SetDisabledColor(s->disabledColor_);
  SetReadOnlyColor(s->readOnlyColor_);
  SetFlatButtonColor(s->flatButtonColor_);
  SetFlatButtons(s->flatButtons_);
  SetFocusColor(s->focusColor_);
  SetFrameColor(s->frameColor_);
  SetFrameHotColor(s->frameHotColor_);
  SetFrameHotStyle(s->frameHotStyle_);
  SetFrameHotTrack(s->frameHotTrack_);
  SetFrameSides(s->frameSides_);
  SetFrameStyle(s->frameStyle_);
  SetFrameVisible(s->frameVisible_);
  SetFramingPreference(s->framingPreference_);
  SetParentColor(s->parentColor_);
  SetRegIniFile(s->regIniFile_);
  EndUpdate();
}

bool TVxFrameController::ReadObsoleteProperty(const QString& name, const QVariant& value) {
  static const char* const kStyles[] = {"fsNone", "fsFlat", "fsGroove", "fsBump", "fsLowered",
                                        "fsButtonDown", "fsRaised", "fsButtonUp", "fsStatus",
                                        "fsPopup", "fsFlatBold"};
  if (name.compare("FrameFlat", Qt::CaseInsensitive) == 0) {
    frameHotTrack_ = value.toBool();
    if (frameHotTrack_) {
      frameStyle_ = TFrameStyleEx::fsStatus;
      frameHotStyle_ = TFrameStyleEx::fsLowered;
    }
    return true;
  }
  if (name.compare("FrameFocusStyle", Qt::CaseInsensitive) == 0) {
    const QString ident = value.toString();
    for (int i = 0; i < int(std::size(kStyles)); ++i)
      if (ident.compare(kStyles[i], Qt::CaseInsensitive) == 0) frameHotStyle_ = TFrameStyleEx(i);
    return true;
  }
  return name.compare("FrameFlatStyle", Qt::CaseInsensitive) == 0;
}

void TVxFrameController::UpdateControls(TVxFrameControllerProperty property) {
  if (updateCount_ > 0 || !controls_) return;
  const std::vector<QObject*> controls = *controls_;
  for (QObject* c : controls) NotifyControl(c, property);
}

void TVxFrameController::NotifyControl(QObject* control, TVxFrameControllerProperty property) {
  if (!control || !control->isWidgetType()) return;
  if (auto* n = dynamic_cast<IVxFrameControllerNotify*>(control)) {
    n->FrameControllerNotify(this, property);
    return;
  }
  TVxFrameControllerNotifications accepted = AllFrameControllerNotifications;
  const QVariant a = control->property("FrameControllerNotifications");
  if (a.isValid()) accepted = a.toUInt();

  auto put = [&](P p, const char* name, const QVariant& v) {
    if (!(accepted & fcpBit(p))) return;
    if (control->metaObject()->indexOfProperty(name) < 0) return;
    control->setProperty(name, v);
  };
  auto one = [&](P p) {
    switch (p) {
      case P::fcpParentColor: put(p, "ParentColor", parentColor_); break;
      case P::fcpColor: put(p, "Color", color_); break;
      case P::fcpDisabledColor: put(p, "DisabledColor", disabledColor_); break;
      case P::fcpReadOnlyColor: put(p, "ReadOnlyColor", readOnlyColor_); break;
      case P::fcpFocusColor: put(p, "FocusColor", focusColor_); break;
      case P::fcpFlatButtonColor: put(p, "FlatButtonColor", flatButtonColor_); break;
      case P::fcpFlatButtons: put(p, "FlatButtons", flatButtons_); break;
      case P::fcpFrameColor: put(p, "FrameColor", frameColor_); break;
      case P::fcpFrameHotColor: put(p, "FrameHotColor", frameHotColor_); break;
      case P::fcpFrameHotTrack: put(p, "FrameHotTrack", frameHotTrack_); break;
      case P::fcpFrameHotStyle: put(p, "FrameHotStyle", int(frameHotStyle_)); break;
      case P::fcpFrameSides: put(p, "FrameSides", frameSides_); break;
      case P::fcpFrameStyle: put(p, "FrameStyle", int(frameStyle_)); break;
      case P::fcpFrameVisible: put(p, "FrameVisible", frameVisible_); break;
      case P::fcpFramingPreference: put(p, "FramingPreference", int(framingPreference_)); break;
      case P::fcpAll: break;
    }
  };
  if (property != P::fcpAll) {
    one(property);
    return;
  }
  one(P::fcpParentColor);
  if (!parentColor_) one(P::fcpColor);
  for (P p : {P::fcpDisabledColor, P::fcpReadOnlyColor, P::fcpFocusColor, P::fcpFlatButtonColor,
              P::fcpFlatButtons, P::fcpFrameColor, P::fcpFrameHotColor, P::fcpFrameHotTrack,
              P::fcpFrameHotStyle, P::fcpFrameSides, P::fcpFrameStyle, P::fcpFrameVisible,
              P::fcpFramingPreference})
    one(p);
}

void TVxFrameController::SetColor(TColor v) {
  if (v == color_) return;
  if (focusColor_ == color_) focusColor_ = v;
  color_ = v;
  parentColor_ = false;
  UpdateControls(P::fcpColor);
}

void TVxFrameController::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  UpdateControls(P::fcpParentColor);
  if (!v) UpdateControls(P::fcpColor);
}

#define VX_SETTER(Name, field, prop)              \
  void TVxFrameController::Set##Name(decltype(field) v) { \
    if (v == field) return;                       \
    field = v;                                    \
    UpdateControls(P::prop);                      \
  }
VX_SETTER(FlatButtonColor, flatButtonColor_, fcpFlatButtonColor)
VX_SETTER(FlatButtons, flatButtons_, fcpFlatButtons)
VX_SETTER(DisabledColor, disabledColor_, fcpDisabledColor)
VX_SETTER(ReadOnlyColor, readOnlyColor_, fcpReadOnlyColor)
VX_SETTER(FocusColor, focusColor_, fcpFocusColor)
VX_SETTER(FrameColor, frameColor_, fcpFrameColor)
VX_SETTER(FrameHotColor, frameHotColor_, fcpFrameHotColor)
VX_SETTER(FrameHotStyle, frameHotStyle_, fcpFrameHotStyle)
VX_SETTER(FrameSides, frameSides_, fcpFrameSides)
VX_SETTER(FrameStyle, frameStyle_, fcpFrameStyle)
VX_SETTER(FrameVisible, frameVisible_, fcpFrameVisible)
VX_SETTER(FramingPreference, framingPreference_, fcpFramingPreference)
#undef VX_SETTER

void TVxFrameController::SetFrameHotTrack(bool v) {
  if (v == frameHotTrack_) return;
  frameHotTrack_ = v;
  if (v) {
    frameVisible_ = true;
    if (!loading_) frameSides_ = AllSides;
  }
  UpdateControls(P::fcpFrameHotTrack);
}

void TVxFrameController::SetRegIniFile(TVxRegIniFile* v) {
  if (v == regIniFile_) return;
  if (regIniFile_) disconnect(regIniFile_, &QObject::destroyed, this, nullptr);
  regIniFile_ = v;
  if (v) connect(v, &QObject::destroyed, this, [this] { regIniFile_ = nullptr; });
}
