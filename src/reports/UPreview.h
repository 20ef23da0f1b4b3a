// The print preview: a report's pages shown one at a time while they are produced, with page
// navigation, zoom and printing on the program's printer.
#pragma once
#include <QPointer>
#include <QSpinBox>
#include <QWidget>
#include <array>

#include "platform/reportengine/Preview.h"
#include "platform/reportengine/Report.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class QToolButton;

// The page box: a typed number outside the range is taken and then set back to the nearer
// bound.
class TPageSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;
  using QSpinBox::lineEdit;
  void ClampTyped();
 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
};

class TfrmPreview : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmPreview(QWidget* owner = nullptr);
  ~TfrmPreview() override;

  QPointer<TReport> Report;
  TRPreview* QRPreview;
  QFrame* ToolBar;
  QToolButton *sbFirstPage, *sbPreviousPage, *sbNextPage, *sbLastPage;
  TPageSpinEdit* sePage;
  QComboBox* cmbZoom;
  QSpinBox* SpinEditCopies;
  QPushButton *btnPrint, *btnClose;
  QStatusBar* stBar;
  std::array<QLabel*, 2> Panels;

  void QRPreviewPageAvailable(int pageCount);
  void UpdateNavigation();
  void sbFirstPageClick();
  void sbPreviousPageClick();
  void sbNextPageClick();
  void sbLastPageClick();
  void sePageChange();
  void cmbZoomChange();
  void btnPrintClick();
  int PageCount() const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  bool settingPage_ = false;
  QWidget* toolBarBack_ = nullptr;
};

// The reports' preview event: creates the preview window, hands it the report and its job and
// shows it maximised, the rest of the program blocked while it is open.
void ShowPreview(TReport* report, TRPrintJob* job);
