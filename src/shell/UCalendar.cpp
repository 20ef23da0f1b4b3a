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
  // The month's colours: white days on black inside #5EAEFF, the days of the neighbouring
  // months greyed, weekends like any other day; the title bar (drawn in the highlight colour)
  // and the chosen day in yellow.
  QPalette pal = myCalend->palette();
  pal.setColor(QPalette::Window, QColor(0x5E, 0xAE, 0xFF));
  pal.setColor(QPalette::Base, Qt::black);
  pal.setColor(QPalette::AlternateBase, Qt::black);
  pal.setColor(QPalette::Text, Qt::white);
  pal.setColor(QPalette::Disabled, QPalette::Text, Qt::gray);
  pal.setColor(QPalette::HighlightedText, Qt::yellow);
  myCalend->setPalette(pal);
  myCalend->setAutoFillBackground(true);
  myCalend->setContentsMargins(3, 3, 3, 3);
  QTextCharFormat header;
  header.setBackground(QColor(Qt::black));
  header.setForeground(QColor(Qt::white));
  myCalend->setHeaderTextFormat(header);
  QTextCharFormat weekend;
  weekend.setForeground(QColor(Qt::white));
  weekend.setBackground(QColor(Qt::black));
  myCalend->setWeekdayTextFormat(Qt::Saturday, weekend);
  myCalend->setWeekdayTextFormat(Qt::Sunday, weekend);
  myCalend->setSelectedDate(Date());

  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton("Annuler", this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOK, &QPushButton::clicked, this, &TfrmCalendar::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmCalendar::btnCancelClick);
  // The month grid takes Enter for itself; Enter (or a double click) on a day is the OK a person means.
  connect(myCalend, &QCalendarWidget::activated, this, &TfrmCalendar::btnOKClick);

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
