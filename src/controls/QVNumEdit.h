// A one-line edit box for a floating-point number: only the characters of a number get in, the
// sign and the exponent stay in place while the operator types, the text follows the number
// format, and the bounds are checked when the operator leaves the box.
#pragma once
#include <QLineEdit>
#include <functional>
#include <optional>
#include <vector>

#include "controls/Graphics.h"

enum class TNumberFormat { Standard, Thousands, Scientific, Engineering };

using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

class TQVNumEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TQVNumEdit(QWidget* parent = nullptr);

  // The text read as a number (thousands separators ignored, an unfinished exponent or sign
  // left out). A text that is no number raises EConvertError.
  long double Value() const;
  void SetValue(long double v);
  long double MinValue() const { return minValue_; }
  void SetMinValue(long double v);
  long double MaxValue() const { return maxValue_; }
  void SetMaxValue(long double v);
  int Decimals() const { return decimals_; }
  void SetDecimals(int v);
  TNumberFormat NumberFormat() const { return numberFormat_; }
  void SetNumberFormat(TNumberFormat v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  QString Version() const { return QStringLiteral("5.00.00.00"); }
  void SetVersion(const QString&) {}

  TNotifyEvent OnInvalidEntry;
  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;

  QString FormatValue(long double v) const;
  QString StripSeparators(const QString& s) const;
  void RangeError();

  // Clipboard commands (also the shortcuts and the context menu).
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // Takes back the operator's last change of the text (Ctrl+Z, the context menu), step by step.
  void Undo();

  // One typed character, as the keyboard delivers it: the owner's OnKeyPress, the key filter,
  // then the insertion.
  void TypeChar(QChar key);

 protected:
  virtual void KeyPress(QChar& Key);
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  int SelStart() const;
  void SetSelStart(int pos);
  void Select(int start, int length);
  void DeleteChar(int key);
  void DeleteSelection();
  void Reformat();
  // Runs one change of the operator's (a key, a deletion, a cut or a paste) as one step to undo:
  // the control rewrites its text as it goes, which empties the line edit's own history.
  void AsOneStep(const std::function<void()>& change);

  long double minValue_ = 0, maxValue_ = 0;
  int decimals_ = -1;
  TNumberFormat numberFormat_ = TNumberFormat::Standard;
  TAlignment alignment_ = TAlignment::taRightJustify;
  bool autoSelect_ = true;
  int maxLength_ = 0;
  bool selectAllOnClick_ = false;
  struct Shown {
    QString text;
    int caret;
  };
  std::vector<Shown> undo_;  // what the text was before each step, the last one last
  bool inStep_ = false;
  bool historyReset_ = false;  // SetValue ran during the step
};
