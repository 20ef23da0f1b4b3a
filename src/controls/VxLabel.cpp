#include "controls/VxLabel.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

int RoundEven(double v) { return int(std::nearbyint(v)); }

// Text alignment of a text-out call: the reference point is the left or centre of the text,
// and its top or baseline.
enum class HRef { Left, Center };
enum class VRef { Top, Baseline };

// Draws text whose reference point is (x, y), turned by escapement tenths of a degree
// counter-clockwise; clip, when not empty, limits what is drawn.
void TextOutAngled(QPainter& p, const TAngledFont& f, int x, int y, HRef h, VRef v, const QString& text,
                   const QColor& color, const QRect& clip = QRect()) {
  p.save();
  if (!clip.isNull()) p.setClipRect(clip, Qt::IntersectClip);
  p.setFont(f.Font);
  p.setPen(color);
  const QFontMetrics fm(f.Font, p.device());
  p.translate(x, y);
  if (f.Escapement != 0) p.rotate(-f.Escapement / 10.0);
  const int x0 = h == HRef::Center ? -fm.horizontalAdvance(text) / 2 : 0;
  const int y0 = v == VRef::Top ? fm.ascent() : 0;
  p.drawText(QPoint(x0, y0), text);
  p.restore();
}

}  // namespace

TVxLabel::TVxLabel(QWidget* parent) : QWidget(parent) {
  resize(65, 17);
  JoinBlinkingControls(this);
  settingColor_ = true;
  SetColor(clBtnFace);
  SetParentColor(true);
  settingColor_ = false;
  normalColor_ = currentColor_ = keptColor_ = fontColor_;
  ParentColorChanged();
}

TVxLabel::~TVxLabel() {
  if (frameController_) frameController_->UnlinkControl(this);
  LeaveBlinkingControls(this);
}

// ---- Label basics -----------------------------------------------------------------------------

void TVxLabel::SetCaption(const QString& v) {
  if (v == caption_) return;
  caption_ = v;
  TextChanged();
}

void TVxLabel::TextChanged() {
  AdjustBounds();
  update();
}

void TVxLabel::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  update();
}

void TVxLabel::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
}

void TVxLabel::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  update();
}

void TVxLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
  update();
}

void TVxLabel::SetShowAccelChar(bool v) {
  if (v == showAccelChar_) return;
  showAccelChar_ = v;
  AdjustBounds();
  update();
}

void TVxLabel::SetFontColor(TColor v) {
  if (v == fontColor_) return;
  fontColor_ = v;
  FontChanged();
}

void TVxLabel::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  parentColor_ = false;
  update();
}

void TVxLabel::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  if (v) ParentColorChanged();
}

void TVxLabel::SetAlign(TAlign a) {
  align_ = a;
  ApplyAlign(this, a);
}

TColor TVxLabel::ParentColorValue() const {
  if (QWidget* p = parentWidget()) {
    const QVariant c = p->property("Color");
    if (c.isValid()) return TColor(c.toInt());
  }
  return clBtnFace;
}

void TVxLabel::ParentColorChanged() {
  if (settingColor_ || !parentColor_) return;
  const TColor c = ParentColorValue();
  if (c == color_) return;
  color_ = c;
  update();
}

bool TVxLabel::event(QEvent* e) {
  if (e->type() == QEvent::ParentChange) ParentColorChanged();
  return QWidget::event(e);
}

void TVxLabel::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::FontChange) FontChanged();
  if (e->type() == QEvent::EnabledChange) update();
}

void TVxLabel::FontChanged() {
  AdjustBounds();
  update();
  if (loading_) return;
  if (!blinking_) normalColor_ = currentColor_ = fontColor_;
  if (angle_ != 0 && !FontIsTrueType(font())) SetAngle(0);
}

void TVxLabel::EnsureTrueTypeFont() {
  if (FontIsTrueType(font())) return;
  QFont f = font();
  f.setFamily("Verdana");
  setFont(f);
}

void TVxLabel::Loaded() {
  loading_ = false;
  if (rotation_ == TRotation::roNone && angle_ != 0) rotation_ = TRotation::roFlat;
  if (rotation_ != TRotation::roNone) EnsureTrueTypeFont();
  normalColor_ = currentColor_ = fontColor_;
  AdjustBounds();
  update();
}

bool TVxLabel::ReadObsoleteProperty(const QString& name, const QVariant&) {
  return name.compare("FrameSides", Qt::CaseInsensitive) == 0;
}

// ---- Own settings -----------------------------------------------------------------------------

void TVxLabel::SetAngle(int v) {
  v %= 360;
  if (v < 0) v += 360;
  if (v == angle_) return;
  angle_ = v;
  if (!loading_ && v != 0) EnsureTrueTypeFont();
  if (angle_ != 0 && rotation_ == TRotation::roNone) rotation_ = TRotation::roFlat;
  AdjustBounds();
  update();
}

void TVxLabel::SetRotation(TRotation v) {
  if (v == rotation_) return;
  if (!loading_ && v != TRotation::roNone) EnsureTrueTypeFont();
  rotation_ = v;
  if (v == TRotation::roNone) SetAngle(0);
  if (v == TRotation::roFlat) {
    SetAngle(0);
    centerPoint_ = TCenterPoint::cpCenter;
  }
  update();
}

void TVxLabel::SetBlinking(bool v) {
  if (v == blinking_) return;
  blinking_ = v;
  if (!v) {
    currentColor_ = normalColor_;
    update();
  }
}

uint16_t TVxLabel::BlinkIntervalOff() const {
  return BlinkingControlsList() ? BlinkingControlsList()->IntervalOff() : 500;
}
void TVxLabel::SetBlinkIntervalOff(uint16_t v) {
  if (BlinkingControlsList()) BlinkingControlsList()->SetIntervalOff(v);
}
uint16_t TVxLabel::BlinkIntervalOn() const {
  return BlinkingControlsList() ? BlinkingControlsList()->IntervalOn() : 500;
}
void TVxLabel::SetBlinkIntervalOn(uint16_t v) {
  if (BlinkingControlsList()) BlinkingControlsList()->SetIntervalOn(v);
}

void TVxLabel::SetCondenseCaption(TVxCondenseCaption v) {
  if (v == condenseCaption_) return;
  condenseCaption_ = v;
  if (v != TVxCondenseCaption::ccNone) SetAutoSize(false);
  update();
}

void TVxLabel::SetFlyByEnabled(bool v) {
  if (v == flyByEnabled_) return;
  flyByEnabled_ = v;
  if (!v && flyByShown_) {
    flyByShown_ = false;
    SetFontColor(keptColor_);
  }
  update();
}

void TVxLabel::SetFrameController(TVxFrameController* v) {
  if (v == frameController_) return;
  if (frameController_) {
    frameController_->UnlinkControl(this);
    disconnect(frameController_, &QObject::destroyed, this, nullptr);
  }
  frameController_ = v;
  if (v) {
    connect(v, &QObject::destroyed, this, [this] { frameController_ = nullptr; });
    v->LinkControl(this);
  }
}

#define VX_LABEL_SETTER(Name, Type, field) \
  void TVxLabel::Set##Name(Type v) {       \
    if (v == field) return;                \
    field = v;                             \
    update();                              \
  }
VX_LABEL_SETTER(BlinkColor, TColor, blinkColor_)
VX_LABEL_SETTER(BevelWidth, int, bevelWidth_)
VX_LABEL_SETTER(BorderColor, TColor, borderColor_)
VX_LABEL_SETTER(BorderInner, TFrameStyleEx, borderInner_)
VX_LABEL_SETTER(BorderOuter, TFrameStyleEx, borderOuter_)
VX_LABEL_SETTER(BorderSides, TSides, borderSides_)
VX_LABEL_SETTER(BorderHighlight, TColor, borderHighlight_)
VX_LABEL_SETTER(BorderShadow, TColor, borderShadow_)
VX_LABEL_SETTER(BorderWidth, int, borderWidth_)
VX_LABEL_SETTER(FlatColor, TColor, flatColor_)
VX_LABEL_SETTER(FlatColorAdjustment, int, flatColorAdjustment_)
VX_LABEL_SETTER(CenterPoint, TCenterPoint, centerPoint_)
VX_LABEL_SETTER(FlyByColor, TColor, flyByColor_)
VX_LABEL_SETTER(Layout, TTextLayout, layout_)
VX_LABEL_SETTER(LightTextStyle, bool, lightTextStyle_)
VX_LABEL_SETTER(TextMargin, int, textMargin_)
VX_LABEL_SETTER(TextStyle, TTextStyle, textStyle_)
VX_LABEL_SETTER(HighlightColor, TColor, highlightColor_)
VX_LABEL_SETTER(ShadowColor, TColor, shadowColor_)
VX_LABEL_SETTER(ShadowDepth, int, shadowDepth_)
#undef VX_LABEL_SETTER

// ---- Messages -----------------------------------------------------------------------------------

intptr_t TVxLabel::Perform(unsigned Msg, intptr_t WParam, intptr_t) {
  if (Msg == CM_BLINKQUERY) return blinking_ ? 1 : 0;
  if (Msg == CM_BLINKSTATE) {
    if (blinking_) BlinkStateChanged(WParam != 0);
    return 0;
  }
  return 0;
}

void TVxLabel::BlinkStateChanged(bool state) {
  currentColor_ = state ? blinkColor_ : normalColor_;
  update();
}

void TVxLabel::enterEvent(QEnterEvent* e) {
  if (flyByEnabled_ && !flyByShown_) {
    keptColor_ = fontColor_;
    flyByShown_ = true;
    SetFontColor(flyByColor_);
  }
  QWidget::enterEvent(e);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TVxLabel::leaveEvent(QEvent* e) {
  // Only a colour that was put there is taken back.
  if (flyByEnabled_ && flyByShown_) {
    flyByShown_ = false;
    SetFontColor(keptColor_);
  }
  QWidget::leaveEvent(e);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TVxLabel::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick) OnClick(this);
}

void TVxLabel::mouseDoubleClickEvent(QMouseEvent* e) {
  QWidget::mouseDoubleClickEvent(e);
  if (e->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
}

void TVxLabel::FrameControllerNotify(TVxFrameController*, TVxFrameControllerProperty) { ApplyFrameController(); }

void TVxLabel::ApplyFrameController() {
  TVxFrameController* fc = frameController_;
  if (!fc || !fc->FrameVisible()) return;
  using P = TVxFrameControllerProperty;
  const auto accepts = [this](P p) { return (notifications_ & fcpBit(p)) != 0; };
  if (accepts(P::fcpFrameStyle)) borderOuter_ = fc->FrameStyle();
  if (accepts(P::fcpFrameSides)) borderSides_ = fc->FrameSides();
  if (accepts(P::fcpFrameColor)) {
    flatColor_ = fc->FrameColor();
    flatColorAdjustment_ = 0;
  }
  if (accepts(P::fcpColor)) SetColor(fc->Color());
  if (accepts(P::fcpParentColor)) SetParentColor(fc->ParentColor());
  if (accepts(P::fcpColor)) {
    borderHighlight_ = LightenColor(color_, 100);
    borderShadow_ = DarkenColor(color_, 50);
  }
  update();
}

// ---- Geometry -----------------------------------------------------------------------------------

int TVxLabel::FrameWidth(TFrameStyleEx style) const {
  switch (style) {
    case TFrameStyleEx::fsNone: return 0;
    case TFrameStyleEx::fsFlat: return 1;
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return bevelWidth_;
    default: return 2;
  }
}

void TVxLabel::AdjustTextRect(TRect& r, bool withBorderWidth) const {
  if (withBorderWidth) InflateRect(r, -borderWidth_, -borderWidth_);
  for (TFrameStyleEx style : {borderOuter_, borderInner_}) {
    const int w = FrameWidth(style);
    if (borderSides_ & sdLeft) r.Left += w;
    if (borderSides_ & sdTop) r.Top += w;
    if (borderSides_ & sdRight) r.Right -= w;
    if (borderSides_ & sdBottom) r.Bottom -= w;
  }
}

void TVxLabel::AdjustAutoSizeRect(TRect& r) const {
  const int grow = FrameWidth(borderOuter_) + borderWidth_ + FrameWidth(borderInner_);
  if (borderSides_ & sdLeft) r.Right += grow;
  if (borderSides_ & sdRight) r.Right += grow;
  if (borderSides_ & sdTop) r.Bottom += grow;
  if (borderSides_ & sdBottom) r.Bottom += grow;
  if (rotation_ == TRotation::roNone && textStyle_ == TTextStyle::tsShadow) {
    r.Right += shadowDepth_;
    r.Bottom += shadowDepth_;
  } else if (rotation_ == TRotation::roFlat && angle_ != 0 && angle_ != 180) {
    if (textStyle_ == TTextStyle::tsShadow) {
      r.Right += shadowDepth_ / 2;
      r.Bottom += shadowDepth_ / 2;
    }
    const double w = r.Width(), h = r.Height();
    double a = (angle_ % 90) * kPi / 180;
    if (angle_ == 90 || angle_ == 270) a += kPi / 2;
    r.Right = r.Left + RoundEven(std::sin(a) * h + std::cos(a) * w);
    r.Bottom = r.Top + RoundEven(std::cos(a) * h + std::sin(a) * w);
  }
}

int TVxLabel::TextFlags() const {
  TAlignment a = alignment_;
  if (layoutDirection() == Qt::RightToLeft) {
    if (a == TAlignment::taLeftJustify) a = TAlignment::taRightJustify;
    else if (a == TAlignment::taRightJustify) a = TAlignment::taLeftJustify;
  }
  int f = Qt::AlignTop | Qt::TextExpandTabs;
  f |= a == TAlignment::taCenter ? Qt::AlignHCenter : a == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
  if (wordWrap_) f |= Qt::TextWordWrap;
  if (showAccelChar_) f |= Qt::TextShowMnemonic;
  return f;
}

namespace {

// The text as the platform's text drawing would show it in a rectangle of the given width.
QString Condensed(const QFontMetrics& fm, const QString& text, TVxCondenseCaption cc, int width) {
  if (cc == TVxCondenseCaption::ccAtEnd) return fm.elidedText(text, Qt::ElideRight, width);
  if (cc == TVxCondenseCaption::ccWithinPath) return fm.elidedText(text, Qt::ElideMiddle, width);
  return text;
}

// The size the text takes in a rectangle of the given width (calculate mode).
QSize MeasureText(const QFontMetrics& fm, const QString& text, int flags, int width) {
  const QString t = text.isEmpty() ? QStringLiteral(" ") : text;
  const QRect r = fm.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20), flags, t);
  return QSize(r.width(), std::max(r.height(), fm.height()));
}

}  // namespace

QSize TVxLabel::AutoSizeFor(int width) const {
  TRect r = Rect(0, 0, width, height());
  AdjustTextRect(r, true);
  OffsetRect(r, -r.Left, -r.Top);
  const QFontMetrics fm(font());
  int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;
  if (wordWrap_) flags |= Qt::TextWordWrap;
  if (showAccelChar_) flags |= Qt::TextShowMnemonic;
  QString text = GetLabelText();
  if (condenseCaption_ != TVxCondenseCaption::ccNone) text = Condensed(fm, text, condenseCaption_, r.Width());
  const QSize s = MeasureText(fm, text, flags, r.Width());
  r.Right = r.Left + s.width();
  r.Bottom = r.Top + s.height();
  AdjustAutoSizeRect(r);
  return QSize(r.Width(), r.Height());
}

QSize TVxLabel::sizeHint() const { return autoSize_ ? AutoSizeFor(wordWrap_ ? width() : 1 << 20) : size(); }

void TVxLabel::AdjustBounds() {
  if (!autoSize_ || loading_) return;
  const QSize s = AutoSizeFor(width());
  int x = this->x();
  TAlignment a = alignment_;
  if (layoutDirection() == Qt::RightToLeft) {
    if (a == TAlignment::taLeftJustify) a = TAlignment::taRightJustify;
    else if (a == TAlignment::taRightJustify) a = TAlignment::taLeftJustify;
  }
  if (a == TAlignment::taRightJustify) x += width() - s.width();
  setGeometry(x, y(), s.width(), s.height());
  updateGeometry();
}

// ---- Painting -----------------------------------------------------------------------------------

void TVxLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TRect r = Rect(0, 0, width(), height());
  r = PaintControlBorder(p, r, borderOuter_, borderInner_, borderWidth_, borderSides_, bevelWidth_, borderColor_,
                         borderHighlight_, borderShadow_, flatColor_, flatColorAdjustment_, color_,
                         ParentColorValue(), transparent_);
  if (!transparent_ && r.Width() > 0 && r.Height() > 0) p.fillRect(r.ToQRect(), ToQColor(color_));
  if (rotation_ == TRotation::roCurve) PaintCurvedText(p);
  else PaintStraightText(p);
}

void TVxLabel::PaintStraightText(QPainter& p) {
  const int half = shadowDepth_ / 2;
  TRect r = TRect::FromQRect(rect());
  AdjustTextRect(r, true);
  InflateRect(r, -textMargin_, -textMargin_);
  const int flags = TextFlags();
  const QString text = GetLabelText();
  const QFont f = font();
  p.setFont(f);
  const QFontMetrics fm(f, p.device());
  int X = width() / 2, Y = height() / 2;
  HRef href = HRef::Left;
  VRef vref = VRef::Top;
  const bool flat = rotation_ == TRotation::roFlat;
  TAngledFont af;
  if (flat) {
    const double A = angle_ * kPi / 180 + kPi / 2;
    const double q = fm.height() / 4.0;
    const int s = textStyle_ == TTextStyle::tsShadow ? half : 0;
    const int W = fm.horizontalAdvance(text) + s;
    const int H = fm.height() + s;
    const bool centred = alignment_ == TAlignment::taCenter;
    const bool right = alignment_ == TAlignment::taRightJustify;
    switch (angle_) {
      case 0:
        if (centred) href = HRef::Center;
        else if (right) X = r.Right - W - s;
        else X = r.Left + s;
        Y -= H / 2;
        break;
      case 90:
        X -= RoundEven(std::cos(A) * q);
        Y = centred ? r.Bottom - (r.Bottom - W) / 2 : right ? r.Top + W + s : r.Bottom - s;
        vref = VRef::Baseline;
        break;
      case 180:
        X = centred ? r.Right - (r.Right - W) / 2 : right ? r.Left + W : r.Right - s;
        Y -= H / 4;
        vref = VRef::Baseline;
        break;
      case 270:
        X -= RoundEven(std::cos(A) * q);
        Y = centred ? (r.Bottom - W) / 2 : right ? r.Bottom - W - s : r.Top + s;
        vref = VRef::Baseline;
        break;
      default:
        X -= RoundEven(std::cos(A) * q);
        Y += RoundEven(std::sin(A) * q);
        href = HRef::Center;
        vref = VRef::Baseline;
        break;
    }
    af = CreateAngledFont(f, angle_);
  }

  const bool isShadow = textStyle_ == TTextStyle::tsShadow;
  auto draw = [&](int dx, int dy, TColor color) {
    TRect rr = r;
    if (flat) {
      OffsetRect(rr, dx, dy);
      TextOutAngled(p, af, X + dx, Y + dy, href, vref, text, ToQColor(color), rr.ToQRect());
      return;
    }
    QString t = condenseCaption_ != TVxCondenseCaption::ccNone ? Condensed(fm, text, condenseCaption_, rr.Width()) : text;
    if (layout_ != TTextLayout::tlTop) {
      const int th = MeasureText(fm, t, flags, rr.Width()).height();
      rr.Top += layout_ == TTextLayout::tlCenter ? (rr.Height() - th) / 2 : rr.Height() - th;
      rr.Bottom = rr.Top + (r.Bottom - r.Top);
    }
    if (isShadow) {
      if (alignment_ == TAlignment::taRightJustify) OffsetRect(rr, -shadowDepth_, 0);
      if (layout_ == TTextLayout::tlBottom) OffsetRect(rr, 0, -shadowDepth_);
    }
    OffsetRect(rr, dx, dy);
    p.setPen(ToQColor(color));
    p.drawText(rr.ToQRect(), flags, t);
  };

  if (!isEnabled()) {
    draw(1, 1, clBtnHighlight);
    draw(0, 0, clBtnShadow);
    return;
  }
  switch (textStyle_) {
    case TTextStyle::tsRaised:
      if (!lightTextStyle_) draw(1, 1, shadowColor_);
      draw(-1, -1, highlightColor_);
      break;
    case TTextStyle::tsRecessed:
      draw(1, 1, highlightColor_);
      if (!lightTextStyle_) draw(-1, -1, shadowColor_);
      break;
    case TTextStyle::tsShadow:
      if (flat) {
        draw(half, half, shadowColor_);
        draw(-half, -half, currentColor_);
        return;
      }
      draw(shadowDepth_, shadowDepth_, shadowColor_);
      break;
    case TTextStyle::tsNormal: break;
  }
  draw(0, 0, currentColor_);
}

void TVxLabel::PaintCurvedText(QPainter& p) {
  const int b = borderWidth_, w = width(), h = height();
  int cx = w / 2, cy = h / 2;
  switch (centerPoint_) {
    case TCenterPoint::cpUpperLeft: cx = b; cy = b; break;
    case TCenterPoint::cpUpperCenter: cy = b; break;
    case TCenterPoint::cpUpperRight: cx = w - b; cy = b; break;
    case TCenterPoint::cpLeftCenter: cx = b; break;
    case TCenterPoint::cpCenter: break;
    case TCenterPoint::cpRightCenter: cx = w - b; break;
    case TCenterPoint::cpLowerLeft: cx = b; cy = h - b; break;
    case TCenterPoint::cpLowerCenter: cy = h - b; break;
    case TCenterPoint::cpLowerRight: cx = w - b; cy = h - b; break;
  }
  int rx, ry;
  switch (centerPoint_) {
    case TCenterPoint::cpUpperCenter:
    case TCenterPoint::cpLowerCenter: rx = w / 2 - 2 * b; ry = h - 2 * b; break;
    case TCenterPoint::cpLeftCenter:
    case TCenterPoint::cpRightCenter: rx = w - 2 * b; ry = h / 2 - 2 * b; break;
    case TCenterPoint::cpCenter: rx = w / 2 - 2 * b; ry = h / 2 - 2 * b; break;
    default: rx = w - 2 * b; ry = h - 2 * b; break;
  }
  // No arc to run along: nothing to draw (the step along the arc divides by the radius).
  if (rx <= 0 || ry <= 0) return;

  const QFont f = font();
  p.setFont(f);
  const QFontMetrics fm(f, p.device());
  double A = angle_ * kPi / 180;
  const int t = fm.height();
  const double step = (fm.horizontalAdvance(QLatin1Char('w')) + 2) / double(rx);
  const QString text = GetLabelText();
  for (QChar ch : text) {
    const int X = cx - RoundEven(std::sin(A) * (rx - t));
    const int Y = cy - RoundEven(std::cos(A) * (ry - t));
    TAngledFont af = CreateAngledFont(f, 0);
    af.Escapement = RoundEven(A * 1800 / kPi);
    auto out = [&](int dx, int dy, TColor c) {
      TextOutAngled(p, af, X + dx, Y + dy, HRef::Center, VRef::Baseline, QString(ch), ToQColor(c));
    };
    if (!isEnabled()) {
      out(1, 1, clBtnHighlight);
      out(0, 0, clBtnShadow);
    } else {
      switch (textStyle_) {
        case TTextStyle::tsRaised:
          if (!lightTextStyle_) out(1, 1, shadowColor_);
          out(-1, -1, highlightColor_);
          break;
        case TTextStyle::tsRecessed:
          out(1, 1, highlightColor_);
          if (!lightTextStyle_) out(-1, -1, shadowColor_);
          break;
        case TTextStyle::tsShadow: out(shadowDepth_, shadowDepth_, shadowColor_); break;
        case TTextStyle::tsNormal: break;
      }
      out(0, 0, currentColor_);
    }
    A -= step;
  }
}
