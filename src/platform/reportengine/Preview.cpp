#include "platform/reportengine/Preview.h"

#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {
// Screen pixels per millimetre at 100 %.
double ScreenPxPerMM(const QWidget* w) { return w->logicalDpiX() / 25.4; }
}  // namespace

class TRPreview::Page : public QWidget {
 public:
  explicit Page(TRPreview* owner) : QWidget(nullptr), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  double pxPerMM = 96 / 25.4;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    TRPrintJob* job = owner_->PrintJob();
    if (!job) return;
    const int n = owner_->PageNumber();
    if (n < 1 || n > job->PageCount()) return;
    PaintPage(p, job->Pages[n - 1], pxPerMM);
  }

 private:
  TRPreview* owner_;
};

TRPreview::TRPreview(QWidget* parent) : QScrollArea(parent), view_(new Page(this)) {
  setObjectName("QRPreview");
  setBackgroundRole(QPalette::Dark);
  setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  setWidget(view_);
  setWidgetResizable(false);
  Relayout();
}

TRPreview::~TRPreview() = default;

QWidget* TRPreview::PageWidget() const { return view_; }

void TRPreview::SetPrintJob(TRPrintJob* job) {
  if (job_) disconnect(job_.data(), nullptr, this, nullptr);
  job_ = job;
  if (job)
    conn_ = connect(job, &TRPrintJob::PageAvailable, this, [this](int n) {
      if (n == 1) Relayout();
      if (OnPageAvailable) OnPageAvailable(n);
    });
  // The last announcement comes once production has ended, so the page count is final.
  if (job)
    connect(job, &TRPrintJob::ProductionEnded, this, [this] {
      if (OnPageAvailable && job_) OnPageAvailable(job_->PageCount());
    });
  page_ = 1;
  Relayout();
}

void TRPreview::SetPageNumber(int n) {
  const int count = job_ ? job_->PageCount() : 0;
  n = std::clamp(n, 1, std::max(1, count));
  if (n == page_) return;
  page_ = n;
  Relayout();
  verticalScrollBar()->setValue(0);
}

void TRPreview::SetZoom(int percent) {
  toWidth_ = false;
  zoom_ = std::clamp(percent, 5, 800);
  Relayout();
}

void TRPreview::ZoomToWidth() {
  toWidth_ = true;
  Relayout();
}

void TRPreview::resizeEvent(QResizeEvent* e) {
  QScrollArea::resizeEvent(e);
  if (toWidth_) Relayout();
}

void TRPreview::Relayout() {
  QSizeF mm(210, 297);
  if (job_ && !job_->Pages.empty()) {
    const TRPage& p = job_->Pages.front();
    mm = QSizeF(p.size.width() * p.unitMM, p.size.height() * p.unitMM);
  }
  double px = ScreenPxPerMM(this) * zoom_ / 100.0;
  if (toWidth_) {
    const int avail = viewport()->width() - 4;
    px = std::max(0.05, avail / mm.width());
    zoom_ = int(std::lround(px / ScreenPxPerMM(this) * 100));
  }
  view_->pxPerMM = px;
  view_->resize(int(std::ceil(mm.width() * px)), int(std::ceil(mm.height() * px)));
  view_->update();
}
