#include "operations/OpsCommon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>
#include <algorithm>

#include "platform/ui/EventGuard.h"
#include "shell/UProgress.h"

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
  TRefForm::closeEvent(e);
}
