#include "controls/QVNumEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <charconv>
#include <cmath>
#include <vector>

#include "platform/sys/Errors.h"
#include "platform/sys/Formats.h"

namespace {

QChar DecSep() { return FormatSettings().DecimalSeparator; }
QChar ThSep() { return FormatSettings().ThousandSeparator; }

// Beyond this many significant digits an 80-bit float shows only noise.
constexpr int kMaxDigits = 18;

QString Group(const QString& digits) {
  QString out;
  const int n = digits.size();
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ThSep();
    out += digits[i];
  }
  return out;
}

// Rounds a string of decimal digits to its first keep digits, halves away from zero. A carry out
// of the first digit gives one more digit.
QString RoundDigits(const QString& digits, int keep) {
  if (digits.size() <= keep) return digits + QString(keep - digits.size(), '0');
  QString r = digits.left(keep);
  if (digits[keep] >= '5') {
    int i = keep - 1;
    for (; i >= 0; --i) {
      if (r[i] == '9') {
        r[i] = '0';
      } else {
        r[i] = QChar(r[i].unicode() + 1);
        break;
      }
    }
    if (i < 0) r.prepend('1');
  }
  return r;
}

// The shortest text of |v| that reads back as v, in fixed or scientific notation.
QString Shortest(long double a, std::chars_format fmt) {
  std::vector<char> buf(8000);
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, fmt);
  return QString::fromLatin1(buf.data(), int(r.ptr - buf.data()));
}

// Picture formatting of the patterns the control uses: "0" or ",0" followed by up to maxFrac
// decimals of which minFrac are always shown, or, with sci, a mantissa of one integer digit
// followed by "E" and the exponent (a sign only when negative). Rounding is half away from zero
// on the number's shortest decimal text, so 2.005 shows as 2.01 with two decimals.
QString FormatNumber(long double v, bool group, int minFrac, int maxFrac, bool sci) {
  const long double a = std::fabs(v);
  QString ip, fp, exponent;
  if (sci) {
    const QString s = Shortest(a, std::chars_format::scientific);
    const int e = s.indexOf('e');
    QString m = s.left(e);
    m.remove('.');
    int ex = s.mid(e + 1).toInt();
    const int keep = 1 + std::min(maxFrac, kMaxDigits - 1);
    if (m.size() > keep) {
      m = RoundDigits(m, keep);
      if (m.size() > keep) {
        m.chop(1);
        ++ex;
      }
    }
    exponent = QString::number(a == 0 ? 0 : ex);
    ip = m.left(1);
    fp = m.mid(1);
  } else {
    const QString s = Shortest(a, std::chars_format::fixed);
    const int dot = s.indexOf('.');
    ip = dot < 0 ? s : s.left(dot);
    fp = dot < 0 ? QString() : s.mid(dot + 1);
    int frac = maxFrac;
    if (ip != "0") frac = std::min(frac, std::max(0, kMaxDigits - int(ip.size())));
    if (fp.size() > frac) {
      const QString all = RoundDigits(ip + fp, int(ip.size()) + frac);
      ip = all.left(all.size() - frac);
      fp = all.right(frac);
    }
  }
  while (fp.size() > minFrac && fp.endsWith('0')) fp.chop(1);
  while (fp.size() < minFrac) fp += '0';
  bool zero = true;
  for (QChar c : ip + fp)
    if (c != '0') zero = false;
  QString out = group ? Group(ip) : ip;
  if (!fp.isEmpty()) out += DecSep() + fp;
  if (sci) out += "E" + exponent;
  if (v < 0 && !zero) out.prepend('-');
  return out;
}

// Reads a number typed with the process's decimal separator. An unfinished exponent ("12E",
// "12E-") or a lone sign or separator counts as what stands before it.
std::optional<long double> ParseNumber(const QString& s) {
  QByteArray b;
  for (QChar c : s) {
    if (c == DecSep()) b += '.';
    else if (c.isDigit() || c == '-' || c == '+' || c == 'E' || c == 'e') b += char(c.unicode());
    else return std::nullopt;
  }
  if (b.isEmpty() || b == "-" || b == "." || b == "-.") return 0.0L;
  long double v = 0;
  const char* first = b.constData();
  const char* last = first + b.size();
  auto r = std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec != std::errc()) return std::nullopt;
  if (r.ptr == last) return v;
  const QByteArray tail(r.ptr, int(last - r.ptr));
  if (tail == "E" || tail == "e" || tail == "E-" || tail == "e-" || tail == "E+" || tail == "e+") return v;
  return std::nullopt;
}

}  // namespace

TQVNumEdit::TQVNumEdit(QWidget* parent) : QLineEdit(parent) {
  resize(100, height());
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setText(FormatValue(0));
  setAcceptDrops(false);  // dropped text would pass by the key filter
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (OnChange) OnChange(this);
  });
}

// ---- Value and settings -------------------------------------------------------------------------

QString TQVNumEdit::StripSeparators(const QString& s) const {
  QString r = s;
  r.remove(ThSep());
  if (r.isEmpty()) return QStringLiteral("0");
  if (r == "-") return QStringLiteral("-0");
  return r;
}

long double TQVNumEdit::Value() const {
  const QString s = StripSeparators(text());
  const auto v = ParseNumber(s);
  if (!v) throw EConvertError("'" + s + "' n'est pas une valeur en virgule flottante correcte");
  return *v;
}

void TQVNumEdit::SetValue(long double v) {
  const QString t = FormatValue(v);
  if (t == text()) return;
  setText(t);
  // A number set by the owner (also from its key handler) starts the history over.
  undo_.clear();
  historyReset_ = true;
}

void TQVNumEdit::Reformat() {
  try {
    SetValue(Value());
  } catch (const EConvertError&) {
    // A text that is no number stays as it is until the operator leaves the box.
  }
}

void TQVNumEdit::SetMinValue(long double v) {
  if (v != minValue_ && v <= maxValue_) minValue_ = v;
}

void TQVNumEdit::SetMaxValue(long double v) {
  if (v != maxValue_ && v >= minValue_) maxValue_ = v;
}

void TQVNumEdit::SetDecimals(int v) {
  if (v == decimals_) return;
  if (v < 0) v = -1;
  if (v > 14) v = 14;
  if (maxLength_ >= 1 && maxLength_ - 2 < v) v = maxLength_ - 2;
  decimals_ = v;
  Reformat();
}

void TQVNumEdit::SetNumberFormat(TNumberFormat v) {
  numberFormat_ = v;
  Reformat();
}

void TQVNumEdit::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  const int start = SelStart(), len = selectedText().size();
  Qt::Alignment a = Qt::AlignVCenter;
  a |= v == TAlignment::taCenter ? Qt::AlignHCenter : v == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
  setAlignment(a);
  Select(start, len);
}

void TQVNumEdit::SetMaxLength(int v) {
  maxLength_ = std::max(0, v);
  setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

QString TQVNumEdit::FormatValue(long double v) const {
  const bool thousands = numberFormat_ == TNumberFormat::Thousands;
  if (numberFormat_ == TNumberFormat::Engineering && v != 0) {
    const int e = int(std::trunc(std::log10(std::fabs(v)) / 3)) * 3;
    long double scale = 1;
    const QByteArray one = "1E" + QByteArray::number(e);
    std::from_chars(one.constData(), one.constData() + one.size(), scale);
    const long double m = v / scale;
    int digits = 14;
    if (m > 9) --digits;
    if (m > 99) --digits;
    if (decimals_ != -1 && decimals_ < digits) digits = decimals_;
    QString s;
    if (decimals_ == -1) s = FormatNumber(m, false, 0, digits, false);
    else if (decimals_ == 0) s = FormatNumber(m, false, 0, 0, false);
    else s = FormatNumber(m, false, digits, digits, false);
    return s + "E" + QString::number(e);
  }
  const int minFrac = decimals_ > 0 ? decimals_ : 0;
  const int maxFrac = decimals_ > 0 ? decimals_ : decimals_ == -1 ? 14 : 0;
  const bool sci = numberFormat_ == TNumberFormat::Scientific || numberFormat_ == TNumberFormat::Engineering;
  QString s = FormatNumber(v, thousands, minFrac, maxFrac, sci);

  // At most 15 significant digits when the number has decimals.
  if (!s.contains('E') && s.contains(DecSep())) {
    int d = 0;
    for (QChar c : s.left(s.indexOf(DecSep())))
      if (c.isDigit()) ++d;
    if (decimals_ == -1 && thousands) {
      s = FormatNumber(v, true, 0, std::max(0, 15 - d), false);
    } else if (decimals_ >= 0 && 15 - d < decimals_) {
      const int n = std::max(0, 15 - d);
      s = FormatNumber(v, thousands, n, n, false);
      if (n == 0) s += DecSep();
      s += QString(decimals_ - n, '0');
    }
  }
  return s;
}

void TQVNumEdit::RangeError() {
  if (OnInvalidEntry) {
    OnInvalidEntry(this);
    return;
  }
  const long double v = Value();
  if (v < minValue_) SetValue(minValue_);
  else if (v > maxValue_) SetValue(maxValue_);
  MessageBeep();
  setFocus(Qt::OtherFocusReason);
}

// ---- Caret --------------------------------------------------------------------------------------

int TQVNumEdit::SelStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }

void TQVNumEdit::SetSelStart(int pos) {
  pos = std::clamp(pos, 0, int(text().size()));
  deselect();
  setCursorPosition(pos);
}

void TQVNumEdit::Select(int start, int length) {
  if (length <= 0) SetSelStart(start);
  else setSelection(start, length);
}

// ---- Typing -------------------------------------------------------------------------------------

void TQVNumEdit::TypeChar(QChar key) {
  AsOneStep([&] {
    if (OnKeyPress) OnKeyPress(this, key);
    if (key.isNull()) return;
    KeyPress(key);
    if (key.isNull() || isReadOnly() || key.unicode() < 32) return;
    insert(QString(key));
  });
}

void TQVNumEdit::AsOneStep(const std::function<void()>& change) {
  if (inStep_) {
    change();
    return;
  }
  const Shown before{text(), cursorPosition()};
  inStep_ = true;
  historyReset_ = false;
  struct Done {
    TQVNumEdit* e;
    const Shown& before;
    ~Done() {
      e->inStep_ = false;
      if (e->text() != before.text && !e->historyReset_) e->undo_.push_back(before);
    }
  } done{this, before};
  change();
}

void TQVNumEdit::Undo() {
  if (isReadOnly() || undo_.empty()) return;
  const Shown s = undo_.back();
  undo_.pop_back();
  setText(s.text);
  setCursorPosition(s.caret);
}

void TQVNumEdit::KeyPress(QChar& Key) {
  if (isReadOnly()) return;
  const ushort k = Key.unicode();
  if (k == 3 || k == 22 || k == 24) return;
  const QChar dec = DecSep();
  const bool accepted = Key.isDigit() || Key == '-' || Key == 'E' || Key == 'e' || Key == dec;
  if (!accepted || (Key == dec && decimals_ == 0)) {
    MessageBeep();
    Key = QChar();
    return;
  }
  if (Key == 'e') Key = 'E';

  if (hasSelectedText()) {
    if (Key == 'E' || Key == dec) SetSelStart(SelStart());
    else DeleteSelection();
  }
  QString t = text();
  int c = SelStart();
  const int P = int(t.indexOf(dec)) + 1;
  const int X = int(t.indexOf('E')) + 1;

  const bool negative = t.startsWith('-');
  const bool negExp = X > 0 && t.indexOf('-', X) >= 0;
  if (c == 0 && negative) SetSelStart(c = 1);
  // The caret never sits between "E" and the exponent's minus.
  if (negExp && c == X) SetSelStart(c = X + 1);

  if (Key == '-') {
    if (X == 0 || X > c) {
      if (negative) {
        t.remove(0, 1);
        setText(t);
        SetSelStart(c - 1);
      } else {
        setText("-" + t);
        SetSelStart(c + 1);
      }
    } else if (negExp) {
      t.remove(X, 1);
      setText(t);
      SetSelStart(c - 1);
    } else {
      t.insert(X, '-');
      setText(t);
      SetSelStart(c + 1);
    }
    Key = QChar();
    return;
  }

  if (Key == dec) {
    if (P > 0) {
      SetSelStart(P);
      Key = QChar();
    } else if (decimals_ == -1) {
      SetSelStart(X > 0 ? X - 1 : int(t.size()));
    }
    return;
  }

  if (Key == 'E') {
    if (X > 0) {
      SetSelStart(X);
      Key = QChar();
    } else {
      SetSelStart(int(t.size()));
    }
    return;
  }

  // A digit.
  if (c < 3 && t.size() > 1 && t[1] == '0' && negative) {
    Select(1, 1);
    return;
  }
  if (c < 2 && !t.isEmpty() && t[0] == '0') {
    Select(0, 1);
    return;
  }
  if (X > 0 && c == X && c < t.size() && t[c] == '0') {
    Select(c, 1);
    return;
  }
  if (X > 0 && c >= X) {
    const QString exponent = t.mid(X, c - X) + Key + t.mid(c);
    bool ok = false;
    const qlonglong e = exponent.toLongLong(&ok);
    if (!ok || std::llabs(e) >= 4933) {
      MessageBeep();
      Key = QChar();
    }
    return;
  }
  if (decimals_ > 0 && P > 0) {
    if (c == decimals_ + P) {
      MessageBeep();
      Key = QChar();
    } else if (c >= P) {
      Select(c, 1);
    } else {
      SetSelStart(c);
    }
  }
}

// ---- Deleting -----------------------------------------------------------------------------------

void TQVNumEdit::DeleteChar(int key) {
  QString t = text();
  const QChar dec = DecSep(), ths = ThSep();
  const int c = SelStart();
  const int E = t.contains('E') ? int(t.indexOf('E')) + 1 : int(t.size()) + 1;
  const int P = int(t.indexOf(dec)) + 1;
  const bool back = key == Qt::Key_Backspace;
  int pos;  // 1-based position of the character to remove
  if (back) {
    if (c == 0) return;
    pos = c;
  } else {
    if (c >= t.size()) return;
    pos = c + 1;
  }
  if (t[pos - 1] == ths || t[pos - 1] == dec) {
    pos += back ? -1 : 1;
    if (pos < 1 || pos > t.size()) return;
  }
  if (P > 0 && pos > P && pos < E) {
    t.remove(pos - 1, 1);
    if (decimals_ > 0) t.insert(E - 2, '0');
    setText(t);
    SetSelStart(pos - 1);
    return;
  }
  if (pos == 1 && t.startsWith('-')) {
    t.remove(0, 1);
    if (t.isEmpty()) t = "0";
    setText(t);
    SetSelStart(0);
    return;
  }
  if (pos == 1 && (t.size() == 1 || t[1] == dec || t[1] == 'E')) {
    t[0] = '0';
    setText(t);
    SetSelStart(1);
    return;
  }
  t.remove(pos - 1, 1);
  if ((numberFormat_ == TNumberFormat::Scientific || numberFormat_ == TNumberFormat::Engineering) && t.endsWith('E'))
    t += '0';
  setText(t);
  SetSelStart(pos - 1);
}

void TQVNumEdit::DeleteSelection() {
  if (!hasSelectedText()) return;
  const QString sel = selectedText();
  if (sel == text()) {
    setText(FormatValue(0));
    return;
  }
  int n = int(sel.size() - sel.count(ThSep()));
  if (sel.contains(DecSep())) --n;
  SetSelStart(selectionStart() + int(sel.size()));
  for (int i = 0; i < n; ++i) DeleteChar(Qt::Key_Backspace);
}

// ---- Keyboard and mouse -------------------------------------------------------------------------

void TQVNumEdit::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Copy)) { CopyToClipboard(); return; }
  if (e->matches(QKeySequence::Cut)) { if (!isReadOnly()) CutToClipboard(); return; }
  if (e->matches(QKeySequence::Paste)) { if (!isReadOnly()) PasteFromClipboard(); return; }
  if (e->matches(QKeySequence::Undo)) { Undo(); return; }
  if (e->matches(QKeySequence::Redo)) return;  // nothing to redo: the history is the control's own

  int key = e->key();
  if (OnKeyDown) OnKeyDown(this, key, e->modifiers());
  selectAllOnClick_ = false;
  bool handled = key == 0;
  if (!handled && !isReadOnly() && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
    AsOneStep([&] {
      if (hasSelectedText()) DeleteSelection();
      else DeleteChar(key);
    });
    handled = true;
  }

  QString chars = e->text();
  if (!chars.isEmpty() && chars[0].unicode() == 127) chars.clear();  // Delete gives no character
  const bool ctrl = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (!ctrl && !chars.isEmpty()) {
    for (QChar ch : chars) TypeChar(ch);
    return;
  }
  if (!handled) QLineEdit::keyPressEvent(e);
}

void TQVNumEdit::inputMethodEvent(QInputMethodEvent* e) {
  // Composed characters are typed characters too.
  const QString s = e->commitString();
  QInputMethodEvent none;
  QLineEdit::inputMethodEvent(&none);
  AsOneStep([&] {
    for (QChar ch : s) TypeChar(ch);
  });
  e->accept();
}

void TQVNumEdit::keyReleaseEvent(QKeyEvent* e) {
  int key = e->key();
  if (OnKeyUp) OnKeyUp(this, key, e->modifiers());
  QLineEdit::keyReleaseEvent(e);
  if (numberFormat_ != TNumberFormat::Thousands || hasSelectedText()) return;
  const QString old = text();
  QString now;
  try {
    now = FormatValue(Value());
  } catch (const EConvertError&) {
    return;
  }
  const QChar ths = ThSep(), dec = DecSep();
  const int oldCount = int(old.count(ths)), newCount = int(now.count(ths));
  const bool enterOrSpace = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
  if (oldCount == newCount && old.indexOf(ths) == now.indexOf(ths) && !enterOrSpace) return;
  int c = SelStart();
  setText(now);
  c += newCount - oldCount;
  if (!old.contains(dec) && now.contains(dec)) ++c;
  else if (old.contains(dec) && !now.contains(dec)) --c;
  if (c >= 0 && c < now.size() && now[c] == ths) ++c;
  SetSelStart(c);
}

void TQVNumEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (OnEnter) OnEnter(this);
  if (e->reason() == Qt::MouseFocusReason && (QApplication::mouseButtons() & Qt::LeftButton)) selectAllOnClick_ = true;
  if (autoSelect_) selectAll();
  else deselect();
}

void TQVNumEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // Only a move to another control of the window counts as leaving.
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  long double v;
  try {
    v = Value();
  } catch (const EConvertError&) {
    // No number at all (set by the owner's own code): the operator stays to correct it.
    MessageBeep();
    setFocus(Qt::OtherFocusReason);
    return;
  }
  SetValue(v);
  if (!(minValue_ == 0 && maxValue_ == 0) && (v < minValue_ || v > maxValue_)) {
    RangeError();
    return;
  }
  if (OnExit) OnExit(this);
}

void TQVNumEdit::mousePressEvent(QMouseEvent* e) {
  QLineEdit::mousePressEvent(e);
  if ((e->button() == Qt::LeftButton || (e->buttons() & Qt::LeftButton)) && selectAllOnClick_) {
    selectAllOnClick_ = false;
    if (autoSelect_) selectAll();
  }
}

// ---- Clipboard ----------------------------------------------------------------------------------

void TQVNumEdit::CopyToClipboard() {
  if (hasSelectedText()) QGuiApplication::clipboard()->setText(StripSeparators(selectedText()));
}

void TQVNumEdit::CutToClipboard() {
  if (!hasSelectedText()) return;
  CopyToClipboard();
  AsOneStep([this] { DeleteSelection(); });
}

void TQVNumEdit::PasteFromClipboard() {
  AsOneStep([this] {
    DeleteSelection();
    const QString s = QGuiApplication::clipboard()->text();
    for (QChar ch : s) TypeChar(ch);
  });
}

void TQVNumEdit::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createStandardContextMenu();
  // The menu's commands go through the control's own rules and history.
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"edit-undo", [this] { Undo(); }},
      {"edit-copy", [this] { CopyToClipboard(); }},
      {"edit-cut", [this] { CutToClipboard(); }},
      {"edit-paste", [this] { PasteFromClipboard(); }},
      {"edit-delete", [this] { AsOneStep([this] { DeleteSelection(); }); }}};
  for (QAction* a : menu->actions()) {
    for (const auto& [name, fn] : commands) {
      if (a->objectName() != QLatin1String(name)) continue;
      a->disconnect();
      connect(a, &QAction::triggered, this, fn);
    }
    if (a->objectName() == QLatin1String("edit-undo")) a->setEnabled(!isReadOnly() && !undo_.empty());
    if (a->objectName() == QLatin1String("edit-redo")) a->setEnabled(false);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}
