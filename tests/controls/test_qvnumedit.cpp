#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <tuple>

#include "controls/QVNumEdit.h"
#include "platform/sys/Errors.h"
#include "support/TestSupport.h"

namespace {

// A window with the numeric edit and one more box to move the focus to.
class NumEditTest : public ::testing::Test {
 protected:
  QWidget window;
  TQVNumEdit* ed = nullptr;
  QLineEdit* other = nullptr;

  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    ed = new TQVNumEdit(&window);
    other = new QLineEdit(&window);
    layout->addWidget(ed);
    layout->addWidget(other);
    window.show();
    QApplication::setActiveWindow(&window);
    ed->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(ed->hasFocus());
  }

  void Type(const char* keys) { QTest::keyClicks(ed, keys); }
  void Key(Qt::Key k) { QTest::keyClick(ed, k); }
  void Caret(int pos) { ed->setCursorPosition(pos); }
  // Text with the caret shown as "|".
  QString Shown() const { return ed->text().insert(ed->cursorPosition(), '|'); }
  void Leave() {
    other->setFocus();
    QApplication::processEvents();
  }
};

}  // namespace

TEST_F(NumEditTest, NumberFormatsAndDecimals) {
  EXPECT_EQ(ed->text(), "0");
  EXPECT_EQ(TQVNumEdit().width(), 100);
  EXPECT_EQ(ed->Decimals(), -1);
  EXPECT_EQ(ed->Version(), "5.00.00.00");

  ed->SetValue(30000);
  EXPECT_EQ(ed->text(), "30000");
  ed->SetNumberFormat(TNumberFormat::Thousands);
  EXPECT_EQ(ed->text(), "30 000");
  ed->SetNumberFormat(TNumberFormat::Scientific);
  EXPECT_EQ(ed->text(), "3E4");
  ed->SetNumberFormat(TNumberFormat::Engineering);
  EXPECT_EQ(ed->text(), "30E3");
  ed->SetValue(12345);
  EXPECT_EQ(ed->text(), "12.345E3");
  ed->SetValue(0.000123);
  EXPECT_EQ(ed->text(), "0.123E-3");  // the exponent is cut toward zero
  ed->SetValue(0);
  EXPECT_EQ(ed->text(), "0E0");
  ed->SetNumberFormat(TNumberFormat::Scientific);
  ed->SetValue(-0.0025);
  EXPECT_EQ(ed->text(), "-2.5E-3");

  ed->SetNumberFormat(TNumberFormat::Standard);
  ed->SetDecimals(2);
  ed->SetValue(1.5);
  EXPECT_EQ(ed->text(), "1.50");
  ed->SetValue(2.005L);
  EXPECT_EQ(ed->text(), "2.01");  // halves away from zero
  ed->SetValue(-0.001);
  EXPECT_EQ(ed->text(), "0.00");
  ed->SetDecimals(0);
  ed->SetValue(2.5);
  EXPECT_EQ(ed->text(), "3");
  ed->SetDecimals(20);
  EXPECT_EQ(ed->Decimals(), 14);
  ed->SetDecimals(-5);
  EXPECT_EQ(ed->Decimals(), -1);
  ed->SetMaxLength(6);
  ed->SetDecimals(9);
  EXPECT_EQ(ed->Decimals(), 4);

  ed->SetMaxLength(0);
  ed->SetNumberFormat(TNumberFormat::Thousands);
  ed->SetDecimals(2);
  ed->SetValue(1234567.891);
  EXPECT_EQ(ed->text(), "1 234 567.89");
  // At most fifteen significant digits, the missing decimals shown as zeros.
  ed->SetValue(1234567890123.456);
  EXPECT_EQ(ed->text(), "1 234 567 890 123.46");
  ed->SetValue(123456789012345.67);
  EXPECT_EQ(ed->text(), "123 456 789 012 346.00");
  ed->SetDecimals(-1);
  ed->SetValue(0.1);
  EXPECT_EQ(ed->text(), "0.1");
}

TEST_F(NumEditTest, ReadingTheText) {
  ed->setText("1 234.5");
  EXPECT_EQ(ed->Value(), 1234.5L);
  ed->setText("15E");
  EXPECT_EQ(ed->Value(), 15);  // an unfinished exponent is left out
  ed->setText("-2.5E-");
  EXPECT_EQ(ed->Value(), -2.5L);
  ed->setText("-");
  EXPECT_EQ(ed->Value(), 0);
  ed->setText("");
  EXPECT_EQ(ed->Value(), 0);
  ed->setText("1E4000");
  EXPECT_GT(ed->Value(), 1e308L);
  ed->setText("abc");
  EXPECT_THROW(ed->Value(), EConvertError);
  ed->setText("1.2.3");
  EXPECT_THROW(ed->Value(), EConvertError);
  EXPECT_EQ(ed->StripSeparators("1 2 3"), "123");
  EXPECT_EQ(ed->StripSeparators(" "), "0");
  EXPECT_EQ(ed->StripSeparators("-"), "-0");
}

TEST_F(NumEditTest, TypingDigitsSignsAndSeparator) {
  const int beeps = MessageBeepCount();
  Type("12.5");
  EXPECT_EQ(Shown(), "12.5|");  // the leading 0 was replaced
  EXPECT_EQ(ed->Value(), 12.5L);
  Type("x");
  EXPECT_EQ(ed->text(), "12.5");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);

  Caret(1);
  Type("-");
  EXPECT_EQ(Shown(), "-1|2.5");
  Type("-");
  EXPECT_EQ(Shown(), "1|2.5");
  Caret(0);
  Type(".");  // a second separator only moves the caret after the first
  EXPECT_EQ(Shown(), "12.|5");

  Type("e");  // the exponent goes at the end
  EXPECT_EQ(Shown(), "12.5E|");
  Type("3");
  Type("-");  // after the E the minus belongs to the exponent
  EXPECT_EQ(Shown(), "12.5E-3|");
  Caret(1);
  Type("-");
  EXPECT_EQ(Shown(), "-1|2.5E-3");
  Caret(7);
  Type("-");
  EXPECT_EQ(Shown(), "-12.5E|3");
  Caret(0);
  Type("E");  // a second E only moves the caret after the first
  EXPECT_EQ(Shown(), "-12.5E|3");
  EXPECT_EQ(ed->Value(), -12500);

  // The separator with no decimals yet goes before the exponent.
  ed->setText("4E2");
  Caret(0);
  Type(".");
  EXPECT_EQ(Shown(), "4.|E2");
}

TEST_F(NumEditTest, ExponentLimit) {
  ed->setText("1E493");
  Caret(5);
  const int beeps = MessageBeepCount();
  Type("3");
  EXPECT_EQ(ed->text(), "1E493");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  Type("2");
  EXPECT_EQ(ed->text(), "1E4932");
  ed->setText("1E0");
  Caret(2);
  Type("7");  // the lone 0 of the exponent is replaced
  EXPECT_EQ(ed->text(), "1E7");
}

TEST_F(NumEditTest, FixedDecimalsOverwriteAndStop) {
  ed->SetDecimals(2);
  ed->SetValue(1.5);
  Caret(2);
  Type("7");
  EXPECT_EQ(Shown(), "1.7|0");
  Type("3");
  EXPECT_EQ(Shown(), "1.73|");
  const int beeps = MessageBeepCount();
  Type("9");
  EXPECT_EQ(ed->text(), "1.73");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  Caret(1);
  Type("2");
  EXPECT_EQ(Shown(), "12|.73");

  // Deleting a decimal pulls the others left and keeps two places.
  Caret(4);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "12.|30");
  ed->SetDecimals(0);
  Type(".");
  EXPECT_EQ(ed->text(), "12");
}

TEST_F(NumEditTest, DeleteRules) {
  ed->setText("12.5");
  Caret(3);
  Key(Qt::Key_Backspace);  // the separator is stepped over
  EXPECT_EQ(Shown(), "1|.5");
  Key(Qt::Key_Backspace);  // the whole integer part becomes 0
  EXPECT_EQ(Shown(), "0|.5");
  Caret(0);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Shown(), "0|.5");
  Key(Qt::Key_Delete);
  EXPECT_EQ(Shown(), "0.|");

  ed->setText("-7");
  Caret(1);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "|7");

  // A number with a negative exponent keeps its mantissa digit.
  ed->setText("5E-3");
  Caret(1);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(ed->text(), "0E-3");

  ed->SetNumberFormat(TNumberFormat::Scientific);
  ed->setText("5E3");
  Caret(3);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(ed->text(), "5E0");  // an exponent never stays empty

  ed->setText("98.76");
  ed->selectAll();
  Key(Qt::Key_Delete);
  EXPECT_EQ(ed->text(), "0E0");  // zero in the box's format

  ed->SetNumberFormat(TNumberFormat::Standard);
  ed->setText("98765");
  ed->setSelection(1, 2);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Shown(), "9|65");
  ed->setText("98765");
  ed->setSelection(2, 2);
  Type("1");  // a typed digit replaces the selection
  EXPECT_EQ(Shown(), "981|5");
}

TEST_F(NumEditTest, ThousandsRegroupWhileTyping) {
  ed->SetNumberFormat(TNumberFormat::Thousands);
  ed->selectAll();
  Type("1234567");
  EXPECT_EQ(Shown(), "1 234 567|");
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "123 456|");
  Type(".5");
  EXPECT_EQ(Shown(), "123 456.5|");
  Caret(0);
  QTest::keyPress(ed, Qt::Key_9);
  EXPECT_EQ(Shown(), "9|123 456.5");
  QTest::keyRelease(ed, Qt::Key_9);  // regrouped when the key is released
  EXPECT_EQ(Shown(), "9 |123 456.5");
  EXPECT_EQ(ed->Value(), 9123456.5L);
}

TEST_F(NumEditTest, BoundsOnLeaving) {
  int exits = 0;
  ed->OnExit = [&](QObject*) { ++exits; };
  ed->SetMinValue(1);  // refused: above the maximum
  EXPECT_EQ(ed->MinValue(), 0);
  ed->SetMaxValue(10);
  ed->SetMinValue(1);
  ed->SetMaxValue(0.5);  // refused: below the minimum
  EXPECT_EQ(ed->MaxValue(), 10);

  ed->selectAll();
  Key(Qt::Key_Delete);
  EXPECT_EQ(ed->text(), "0");
  const int beeps = MessageBeepCount();
  Leave();
  EXPECT_EQ(ed->text(), "1");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_TRUE(ed->hasFocus());
  EXPECT_EQ(exits, 0);

  ed->selectAll();
  Type("25");
  Leave();
  EXPECT_EQ(ed->text(), "10");
  EXPECT_TRUE(ed->hasFocus());

  ed->selectAll();
  Type("7");
  Leave();
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(other->hasFocus());

  // With its own handler the owner decides; the text stays.
  int invalid = 0;
  ed->OnInvalidEntry = [&](QObject*) { ++invalid; };
  ed->setFocus();
  QApplication::processEvents();
  ed->selectAll();
  Key(Qt::Key_Delete);
  Leave();
  EXPECT_EQ(invalid, 1);
  EXPECT_EQ(ed->text(), "0");
  EXPECT_EQ(exits, 1);
}

TEST_F(NumEditTest, TheBoundsThemselvesAreTakenOnePastThemIsNot) {
  ed->SetMaxValue(10);
  ed->SetMinValue(-3);
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"10", "10", true}, {"-3", "-3", true}, {"11", "10", false}, {"-4", "-3", false}};
  for (const auto& [typed, kept, leaves] : cases) {
    SCOPED_TRACE(typed);
    ed->setFocus();
    QApplication::processEvents();
    ed->selectAll();
    Type(typed);
    Leave();
    EXPECT_EQ(ed->text(), kept);
    EXPECT_EQ(other->hasFocus(), leaves);
  }
}

TEST_F(NumEditTest, LeavingFinishesTheTextAndNeverThrows) {
  Type("15e");
  EXPECT_EQ(ed->text(), "15E");
  Leave();
  EXPECT_EQ(ed->text(), "15");

  ed->setFocus();
  QApplication::processEvents();
  ed->setText("n/a");  // only the owner's code can put this there
  const int beeps = MessageBeepCount();
  EXPECT_NO_THROW(Leave());
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_TRUE(ed->hasFocus());
  EXPECT_EQ(ed->text(), "n/a");
}

TEST_F(NumEditTest, OwnerSeesKeysFirst) {
  QString seen;
  ed->OnKeyPress = [&](QObject*, QChar& key) {
    seen += key == '\r' ? QChar('#') : key;
    if (key == '7') key = QChar();  // the owner drops it
  };
  const int beeps = MessageBeepCount();
  Type("172");
  EXPECT_EQ(ed->text(), "12");
  Key(Qt::Key_Return);
  EXPECT_EQ(seen, "172#");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);  // Enter is refused after the owner saw it
}

TEST_F(NumEditTest, ClipboardGoesThroughTheFilter) {
  ed->SetNumberFormat(TNumberFormat::Thousands);
  ed->SetValue(1234.5);
  ed->selectAll();
  ed->CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "1234.5");

  QGuiApplication::clipboard()->setText("98a7");
  ed->selectAll();
  const int beeps = MessageBeepCount();
  ed->PasteFromClipboard();
  EXPECT_EQ(ed->text(), "987");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);

  ed->setSelection(1, 1);
  ed->CutToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "8");
  EXPECT_EQ(ed->text(), "97");

  // Text composed by an input method is typed character by character too.
  ed->setCursorPosition(2);
  QInputMethodEvent composed;
  composed.setCommitString("5x");
  QApplication::sendEvent(ed, &composed);
  EXPECT_EQ(ed->text(), "975");
  EXPECT_EQ(MessageBeepCount(), beeps + 2);
}
