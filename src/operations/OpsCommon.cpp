#include "operations/OpsCommon.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>

#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/UCalendar.h"
#include "shell/UProgress.h"

bool AgreesToDropTyping() {
  return MessageDlg("Les quantités saisies n'ont pas été enregistrées.\rLes abandonner ?", MsgDlgType::Warning,
                    mbYes | mbNo | mbDefaultNo) == ModalResult::Yes;
}

PassProgress::PassProgress(QWidget* owner, const QString& caption, int max, bool show, const QString& message)
    : owner_(owner), focus_(QApplication::focusWidget()) {
  frmProgress = new TfrmProgress(owner);
  frmProgress->setAttribute(Qt::WA_ShowWithoutActivating);
  Restart(caption, message, max);
  if (show) Show();
}

void PassProgress::Restart(const QString& caption, const QString& message, int max) {
  if (!frmProgress) return;
  frmProgress->setWindowTitle(caption);
  if (!message.isEmpty()) frmProgress->lProgress->SetCaption(message);
  frmProgress->MyGauge->setRange(0, std::max(1, max));
  frmProgress->MyGauge->setValue(0);
}

void PassProgress::Show() {
  if (frmProgress) frmProgress->show();
}

void PassProgress::SetMessage(const QString& message) {
  if (frmProgress) frmProgress->lProgress->SetCaption(message);
}

void PassProgress::SetValue(int v) {
  if (frmProgress) frmProgress->MyGauge->setValue(v);
}

void PassProgress::Step() {
  if (frmProgress) frmProgress->MyGauge->setValue(frmProgress->MyGauge->value() + 1);
}

PassProgress::~PassProgress() {
  QWidget* const active = QApplication::activeWindow();
  const bool ownerActive = active == owner_.data() || active == frmProgress.data() || !active;
  delete frmProgress.data();
  frmProgress = nullptr;
  if (ownerActive && owner_ && owner_->isVisible()) {
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(owner_);
    QT_WARNING_POP
    owner_->activateWindow();
    // The keys stay where the pass put them, unless they left the window.
    const QWidget* now = QApplication::focusWidget();
    if (focus_ && focus_->window() == owner_.data() && (given_ || !now || now->window() != owner_.data()))
      focus_->setFocus();
  }
}

void TDayForm::Command(const std::function<void()>& body) {
  if (busy_) return;
  GuardEvent(body);
}

bool TDayForm::DateDoubleClicked(QObject* o, QEvent* e, QObject* pnlDate, const std::function<void()>& command) {
  if (o != pnlDate || e->type() != QEvent::MouseButtonDblClick) return false;
  Command(command);
  return true;
}

void TDayForm::closeEvent(QCloseEvent* e) {
  if (busy_) {
    e->ignore();
    return;
  }
  TAppForm::closeEvent(e);
}

void TDayForm::WireDayControls(QAbstractButton* prev, QAbstractButton* next, QAbstractButton* menu,
                               QAbstractButton* tout, QAbstractButton* fermer) {
  OnCommand(prev, &QAbstractButton::clicked, &TDayForm::btnPrevClick);
  OnCommand(next, &QAbstractButton::clicked, &TDayForm::btnNextClick);
  OnCommand(menu, &QAbstractButton::clicked, &TDayForm::btnMenuClick);
  OnCommand(tout, &QAbstractButton::clicked, &TDayForm::chkToutClick);
  connect(fermer, &QAbstractButton::clicked, this, [this] { Close(); });
}

std::optional<QDate> TDayForm::AskCalendarDay(const QDate& current) {
  frmCalendar = new TfrmCalendar(nullptr);
  frmCalendar->myCalend->setSelectedDate(current);
  const ModalResult r = Dialogs().RunModal(frmCalendar);
  QDate chosen;
  if (frmCalendar) {
    chosen = frmCalendar->myCalend->selectedDate();
    delete frmCalendar.data();
    frmCalendar = nullptr;
  }
  if (r != ModalResult::OK || !chosen.isValid()) return std::nullopt;
  return chosen;
}

TDBLookupComboBox* TDayForm::RegionBox(QWidget* parent, const QString& name, TDataSource* regions,
                                       const QRect& geometry) {
  auto* box = new TDBLookupComboBox(parent);
  box->setObjectName(name);
  box->SetListSource(regions);
  box->SetKeyField("Id");
  box->SetListField("Libelle");
  box->setGeometry(geometry);
  SetBold(box);
  return box;
}

void TDayForm::ConnectCommand(QObject* sender, const std::function<void()>& command) {
  auto run = [this, command] { Command(command); };
  if (auto* b = qobject_cast<QAbstractButton*>(sender)) connect(b, &QAbstractButton::clicked, this, run);
  else if (auto* a = qobject_cast<QAction*>(sender)) connect(a, &QAction::triggered, this, run);
  else if (auto* e = qobject_cast<QLineEdit*>(sender)) connect(e, &QLineEdit::textChanged, this, run);
}
