// The preview control: shows one page of a print job at a zoom, scrolling when larger than the
// view.
#pragma once
#include <QPointer>
#include <QScrollArea>
#include <functional>

#include "platform/reportengine/Report.h"

class TRPreview : public QScrollArea {
  Q_OBJECT
 public:
  explicit TRPreview(QWidget* parent = nullptr);
  ~TRPreview() override;

  TRPrintJob* PrintJob() const { return job_; }
  // Binds the job (nullptr detaches it); the page announcements reach OnPageAvailable.
  void SetPrintJob(TRPrintJob* job);
  std::function<void(int pagesSoFar)> OnPageAvailable;

  int PageNumber() const { return page_; }
  void SetPageNumber(int n);   // 1-based, kept within the job's pages
  int Zoom() const { return zoom_; }
  void SetZoom(int percent);   // 100 = the page at its real size on the screen
  void ZoomToWidth();          // the page as wide as the view
  // The page shown, as drawn (tests and screenshots).
  QWidget* PageWidget() const;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  class Page;
  void Relayout();
  QPointer<TRPrintJob> job_;
  Page* view_;
  int page_ = 1;
  int zoom_ = 100;
  bool toWidth_ = false;
  QMetaObject::Connection conn_;
};
