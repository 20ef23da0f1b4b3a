#include "reports/UPreview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/Gradient.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/AppForm.h"
#include "shell/global.h"

QValidator::State TPageSpinEdit::validate(QString& input, int& pos) const {
  const QString t = input.trimmed();
  if (t.isEmpty()) return QValidator::Intermediate;
  bool ok = false;
  const int v = t.toInt(&ok);
  if (!ok) return QValidator::Invalid;
  return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

// The typed text is clamped before the spin box reads it (it would fall back to its minimum).
void TPageSpinEdit::ClampTyped() {
  bool ok = false;
  const int typed = lineEdit()->text().trimmed().toInt(&ok);
  if (!ok) return;
  const int v = std::clamp(typed, minimum(), maximum());
  if (v != typed) lineEdit()->setText(QString::number(v));
}

void TPageSpinEdit::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) ClampTyped();
  QSpinBox::keyPressEvent(e);
}

void TPageSpinEdit::focusOutEvent(QFocusEvent* e) {
  ClampTyped();
  QSpinBox::focusOutEvent(e);
}

namespace {
QToolButton* NavButton(QWidget* parent, const char* name, QStyle::StandardPixmap pix, const QString& hint, int x) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setIcon(parent->style()->standardIcon(pix));
  b->setToolTip(hint);
  b->setAutoRaise(true);
  b->setGeometry(x, 3, 26, 26);
  return b;
}

template <class F>
void Guarded(QObject* ctx, QToolButton* b, F f) {
  QObject::connect(b, &QToolButton::clicked, ctx, [f] { GuardEvent(f); });
}
}  // namespace

TfrmPreview::TfrmPreview(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName("frmPreview");
  setWindowTitle("Aperçu avant impression");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);

  ToolBar = new QFrame(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setFixedHeight(32);
  toolBarBack_ = GradientBackground(ToolBar);
  sbFirstPage = NavButton(ToolBar, "sbFirstPage", QStyle::SP_MediaSkipBackward, "premiére page", 4);
  sbPreviousPage = NavButton(ToolBar, "sbPreviousPage", QStyle::SP_MediaSeekBackward, "page précédente", 30);
  sbNextPage = NavButton(ToolBar, "sbNextPage", QStyle::SP_MediaSeekForward, "page suivante", 56);
  sbLastPage = NavButton(ToolBar, "sbLastPage", QStyle::SP_MediaSkipForward, "derniére page", 82);
  auto* lPage = MakeLabel(ToolBar, "&Page", 118, 8, 34);
  sePage = new TPageSpinEdit(ToolBar);
  sePage->setObjectName("sePage");
  sePage->setToolTip("aller à cette page");
  sePage->setGeometry(152, 5, 60, 22);
  sePage->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  sePage->setKeyboardTracking(false);
  lPage->setBuddy(sePage);
  auto* lZoom = MakeLabel(ToolBar, "&Zoom", 224, 8, 36);
  cmbZoom = new QComboBox(ToolBar);
  cmbZoom->setObjectName("cmbZoom");
  cmbZoom->setToolTip("Adapter l'affichage");
  cmbZoom->addItems({"200 %", "150 %", "100 %", " 75 %", " 50 %", " 25 %", "Largeur de page"});
  cmbZoom->setGeometry(260, 5, 130, 22);
  lZoom->setBuddy(cmbZoom);
  auto* lCopies = MakeLabel(ToolBar, "&Copies", 402, 8, 46);
  SpinEditCopies = new QSpinBox(ToolBar);
  SpinEditCopies->setObjectName("SpinEditCopies");
  SpinEditCopies->setToolTip("nombre de copies à imprimer");
  SpinEditCopies->setRange(1, 99);
  SpinEditCopies->setValue(1);
  SpinEditCopies->setGeometry(448, 5, 50, 22);
  lCopies->setBuddy(SpinEditCopies);
  btnPrint = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView), "Imprimer", ToolBar);
  btnPrint->setObjectName("btnPrint");
  btnPrint->setToolTip("lancer l'impression");
  btnPrint->setGeometry(512, 3, 96, 26);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Fermer", ToolBar);
  btnClose->setObjectName("btnClose");
  btnClose->setToolTip("Quitter cette fenêtre");
  btnClose->setGeometry(640, 3, 90, 26);
  lay->addWidget(ToolBar);

  QRPreview = new TRPreview(this);
  lay->addWidget(QRPreview, 1);
  stBar = new QStatusBar(this);
  stBar->setObjectName("stBar");
  stBar->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    Panels[i] = new QLabel(stBar);
    Panels[i]->setMinimumWidth(i == 0 ? 160 : 300);
    stBar->addWidget(Panels[i]);
  }
  lay->addWidget(stBar);

  QRPreview->OnPageAvailable = [this](int n) { GuardEvent([&] { QRPreviewPageAvailable(n); }); };
  Guarded(this, sbFirstPage, [this] { sbFirstPageClick(); });
  Guarded(this, sbPreviousPage, [this] { sbPreviousPageClick(); });
  Guarded(this, sbNextPage, [this] { sbNextPageClick(); });
  Guarded(this, sbLastPage, [this] { sbLastPageClick(); });
  connect(sePage, &QSpinBox::valueChanged, this, [this] {
    if (!settingPage_) GuardEvent([&] { sePageChange(); });
  });
  connect(cmbZoom, &QComboBox::currentIndexChanged, this, [this] { GuardEvent([&] { cmbZoomChange(); }); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { GuardEvent([&] { btnPrintClick(); }); });
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

  // Creation: 100 %, producing.
  cmbZoom->blockSignals(true);
  cmbZoom->setCurrentIndex(2);
  cmbZoom->blockSignals(false);
  sePage->setMinimum(1);
  resize(1000, 760);
  setWindowState(Qt::WindowMaximized);
  ToolBar->setEnabled(false);
  Panels[1]->setText("Impression en cours ...");
  SetScreenCursor(TCursor::crHourGlass);
}

TfrmPreview::~TfrmPreview() = default;

int TfrmPreview::PageCount() const {
  TRPrintJob* job = QRPreview->PrintJob();
  return job ? job->PageCount() : 0;
}

void TfrmPreview::QRPreviewPageAvailable(int n) {
  TRPrintJob* job = QRPreview->PrintJob();
  const QString title = job ? job->Title : (Report ? Report->ReportTitle : QString());
  setWindowTitle(title + " - " + QString::number(n) + (n > 1 ? " pages" : " page"));
  if (job && job->Finished) {
    settingPage_ = true;
    sePage->setMaximum(std::max(1, n));
    sePage->setValue(1);
    settingPage_ = false;
    if (n == job->PageCount()) {
      ToolBar->setEnabled(true);
      QRPreview->SetPageNumber(1);
      UpdateNavigation();
      Panels[1]->clear();
      stBar->repaint();
      QRPreview->SetZoom(100);
      SetScreenCursor(TCursor::crDefault);
    }
  }
}

void TfrmPreview::UpdateNavigation() {
  const int count = PageCount();
  const int cur = QRPreview->PageNumber();
  btnPrint->setEnabled(true);
  SpinEditCopies->setEnabled(true);
  sbFirstPage->setEnabled(count > 1 && cur > 1);
  sbPreviousPage->setEnabled(count > 1 && cur > 1);
  sbNextPage->setEnabled(count > 1 && count > cur);
  sbLastPage->setEnabled(count > 1 && count > cur);
  sePage->setEnabled(count > 1);
  Panels[0]->setText("Page : " + QString::number(cur) + "/" + QString::number(count));
}

namespace {
void SetSpin(TPageSpinEdit* s, int v, bool& guard) {
  guard = true;
  s->setValue(v);
  guard = false;
}
}  // namespace

void TfrmPreview::sbFirstPageClick() {
  ProcessMessages();
  SetSpin(sePage, 1, settingPage_);
  QRPreview->SetPageNumber(1);
  UpdateNavigation();
}

void TfrmPreview::sbPreviousPageClick() {
  ProcessMessages();
  if (sePage->value() > 1) {
    SetSpin(sePage, sePage->value() - 1, settingPage_);
    QRPreview->SetPageNumber(sePage->value());
    UpdateNavigation();
  }
}

void TfrmPreview::sbNextPageClick() {
  ProcessMessages();
  if (sePage->value() < PageCount()) {
    SetSpin(sePage, sePage->value() + 1, settingPage_);
    QRPreview->SetPageNumber(sePage->value());
    UpdateNavigation();
  }
}

void TfrmPreview::sbLastPageClick() {
  ProcessMessages();
  SetSpin(sePage, PageCount(), settingPage_);
  QRPreview->SetPageNumber(sePage->value());
  UpdateNavigation();
}

// The buttons and the status text follow a typed page too.
void TfrmPreview::sePageChange() {
  const int v = sePage->value();
  if (v < sePage->minimum()) SetSpin(sePage, sePage->minimum(), settingPage_);
  if (v > sePage->maximum()) SetSpin(sePage, sePage->maximum(), settingPage_);
  QRPreview->SetPageNumber(sePage->value());
  UpdateNavigation();
}

void TfrmPreview::cmbZoomChange() {
  SetScreenCursor(TCursor::crHourGlass);
  static const int zooms[] = {200, 150, 100, 75, 50, 25};
  const int i = cmbZoom->currentIndex();
  if (i >= 0 && i <= 5) QRPreview->SetZoom(zooms[i]);
  else if (i == 6) QRPreview->ZoomToWidth();
  SetScreenCursor(TCursor::crDefault);
}

void TfrmPreview::btnPrintClick() {
  TRPrintJob* job = QRPreview->PrintJob();
  if (!job || !job->Finished || job->PageCount() == 0) return;
  TPrintRange range;
  range.MinPage = 1;
  range.MaxPage = job->PageCount();
  range.FromPage = 1;
  range.ToPage = job->PageCount();
  range.Copies = SpinEditCopies->value();
  if (!Dialogs().PrintDialog(this, Printer(), range)) return;
  TRPrinterSettings settings;
  settings.Copies = range.Copies;
  settings.FirstPage = range.FromPage;
  settings.LastPage = range.ToPage;
  if (Report) Report->PrinterSettings = settings;
  SetScreenCursor(TCursor::crHourGlass);
  const bool ok = job->Print(Printer(), settings.FirstPage, settings.LastPage, settings.Copies);
  SetScreenCursor(TCursor::crDefault);
  if (!ok) ShowError("L'impression a échoué : l'imprimante ou le fichier choisi ne peut pas être ouvert.");
}

void TfrmPreview::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  toolBarBack_->setGeometry(0, 0, width(), ToolBar->height());
  btnClose->move(width() - btnClose->width() - 13, btnClose->y());
}

void TfrmPreview::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F10) {
    if (btnPrint->isEnabled() && ToolBar->isEnabled()) GuardEvent([&] { btnPrintClick(); });
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

void TfrmPreview::closeEvent(QCloseEvent* e) {
  // Production stops before the job is let go.
  if (TRPrintJob* job = QRPreview->PrintJob(); job && !job->Finished) job->Cancelled = true;
  QRPreview->SetPrintJob(nullptr);
  SetScreenCursor(TCursor::crDefault);
  e->accept();
}

void ShowPreview(TReport* report, TRPrintJob* job) {
  auto* f = new TfrmPreview(nullptr);
  f->Report = report;
  f->QRPreview->SetPrintJob(job);
  report->PreviewWindow = f;
  f->setWindowModality(Qt::ApplicationModal);
  f->showMaximized();
  ProcessMessages();
}
