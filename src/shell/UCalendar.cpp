#include "shell/UCalendar.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"

QPointer<TfrmCalendar> frmCalendar;

TfrmCalendar::TfrmCalendar(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmCalendar");
  setWindowTitle("Calendrier");
  myCalend = new QCalendarWidget(this);
  myCalend->setObjectName("myCalend");
  myCalend->setLocale(QLocale(QLocale::French, QLocale::France));  // month and day names only
  myCalend->setFirstDayOfWeek(Qt::Saturday);
  myCalend->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
  myCalend->setGridVisible(true);
  QFont f("Verdana");
  f.setBold(true);
  myCalend->setFont(f);
  myCalend->setStyleSheet(
      "QCalendarWidget QAbstractItemView { background-color: #5EAEFF; color: white;"
      " selection-background-color: black; selection-color: yellow; }"
      "QCalendarWidget QWidget#qt_calendar_navigationbar { background-color: palette(highlight); }"
      "QCalendarWidget QToolButton { color: yellow; background-color: palette(highlight); }");
  QTextCharFormat header;
  header.setBackground(QColor(Qt::black));
  header.setForeground(QColor(Qt::white));
  myCalend->setHeaderTextFormat(header);
  myCalend->setSelectedDate(Date());

  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton("Annuler", this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOK, &QPushButton::clicked, this, &TfrmCalendar::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmCalendar::btnCancelClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(myCalend);
  lay->addLayout(buttons);
  adjustSize();
  setFixedSize(sizeHint());
}

void TfrmCalendar::ShowAsTool() {
  tool_ = true;
  setAttribute(Qt::WA_DeleteOnClose, true);
  setModal(false);
  show();
}

void TfrmCalendar::btnOKClick() {
  SetModalResult(this, ModalResult::OK);
  if (tool_) close();
  else done(QDialog::Accepted);
}

void TfrmCalendar::btnCancelClick() {
  SetModalResult(this, ModalResult::Cancel);
  if (tool_) close();
  else done(QDialog::Rejected);
}
