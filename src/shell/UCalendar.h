// The shared date picker. A caller that shows it modally reads myCalend and the modal result,
// then frees it; the tool window opened by F6 frees itself when it closes.
#pragma once
#include <QDialog>
#include <QPointer>

class QCalendarWidget;
class QPushButton;

class TfrmCalendar : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCalendar(QWidget* owner = nullptr);
  QCalendarWidget* myCalend;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  // Shows the window without modality; it frees itself once closed.
  void ShowAsTool();
  bool IsTool() const { return tool_; }

  void btnOKClick();
  void btnCancelClick();

 private:
  bool tool_ = false;
};

extern QPointer<TfrmCalendar> frmCalendar;
