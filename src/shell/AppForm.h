// What the windows of every subsystem share: their base window, glyph buttons, status panels,
// the questions they ask and the filter texts they build.
#pragma once
#include <QColor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/ui/EventGuard.h"

class TTable;
class TDataSet;
class QAbstractButton;
class QCheckBox;
class TGradient;

// A window of the program: closing runs FormClose first, and a failure there (a record that
// does not pass its checks) keeps the window open. Escape does not close it.
class TAppForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAppForm(QWidget* parent = nullptr);
  void Close() { close(); }

 protected:
  virtual void FormClose() {}
  // Escape (the dialog's reject); nothing by default.
  virtual void EscapePressed() {}
  void closeEvent(QCloseEvent* e) override;
  void reject() override;
  void CenterOnScreen();

 private:
  bool closing_ = false;
};

// A status bar with fixed-width text panels.
class TPanelStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  TPanelStatusBar(QWidget* parent, std::initializer_list<int> widths);
  std::vector<QLabel*> Panels;
};

// A button showing only a picture, with its hint.
QPushButton* GlyphButton(QWidget* parent, const QString& name, QStyle::StandardPixmap pix, const QString& hint = {});
// The glyph buttons Add, Delete, Post and Cancel, left to right from (x, y), `step` apart.
void MakeEditButtons(QWidget* panel, int x, int y, int step, QPushButton*& add, QPushButton*& del, QPushButton*& post,
                     QPushButton*& cancel);
// A gradient background filling a panel, behind its controls.
TGradient* GradientBackground(QWidget* panel, const QRect& area = QRect());
QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w = -1, int h = 17);

// Runs a member handler of a window on a button's click, so that no exception leaves the event.
template <class W, class B>
void OnClick(QAbstractButton* b, W* w, void (B::*m)()) {
  QObject::connect(b, &QAbstractButton::clicked, w, [w, m] { GuardEvent([&] { (w->*m)(); }); });
}

// The table holds a record being typed (edit or insert state).
bool InEditOrInsert(const TDataSet& ds);
// Post and Cancel while a record is being typed, Add and Delete otherwise.
void FollowEditState(const TDataSet& ds, QPushButton* add, QPushButton* del, QPushButton* post, QPushButton* cancel);

// "Yes" to a confirmation with the buttons Yes and No.
bool ConfirmYesNo(const QString& text);
void Beep();
void SetBold(QWidget* w, bool bold = true);
void SetColors(QWidget* w, const QColor& background, const QColor& text = QColor());
// Typing in the edit turns into upper case.
void MakeUpperCase(QLineEdit* e);
// Every table and query of a window finds its file in the data folder.
void InDataPath(TDataSet& ds);
// Opens a window's table or query; an engine error that does not say which table it met gets
// the table's name, so that the operator knows which file is at fault.
void OpenNamed(TDataSet& ds);
// Filter text comparing a field with a text, the text's quotes doubled.
QString FilterEq(const QString& field, const QString& value);
// Colours stored as integers the way the tables hold them (blue in the high byte).
QColor IntToColor(int v);
int ColorToInt(const QColor& c);

// A filled circle (the title's colour).
class TShapeCircle : public QWidget {
  Q_OBJECT
 public:
  explicit TShapeCircle(QWidget* parent = nullptr) : QWidget(parent) {}
  QColor BrushColor() const { return color_; }
  void SetBrushColor(const QColor& c) { color_ = c; update(); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor color_ = Qt::white;
};
