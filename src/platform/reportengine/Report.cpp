#include "platform/reportengine/Report.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QPainter>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/db/Dataset.h"

// ---------------------------------------------------------------------------------------------
// Display lists

QStringList TRPage::Texts() const {
  std::vector<const TRItem*> texts;
  for (const TRItem& i : items)
    if (i.kind == TRItem::Text && !i.text.isEmpty()) texts.push_back(&i);
  std::stable_sort(texts.begin(), texts.end(), [](const TRItem* a, const TRItem* b) {
    if (std::abs(a->r.top() - b->r.top()) > 0.01) return a->r.top() < b->r.top();
    return a->r.left() < b->r.left();
  });
  QStringList out;
  for (const TRItem* i : texts) out << i->text;
  return out;
}

const TRItem* TRPage::Find(const QString& controlName, int nth) const {
  for (const TRItem& i : items)
    if (i.name.compare(controlName, Qt::CaseInsensitive) == 0 && nth-- == 0) return &i;
  return nullptr;
}

int TRPage::Count(const QString& controlName) const {
  return int(std::count_if(items.begin(), items.end(), [&](const TRItem& i) {
    return i.name.compare(controlName, Qt::CaseInsensitive) == 0;
  }));
}

namespace {
// Painting works in hundredths of a millimetre, so that font pixel sizes stay whole numbers
// with enough precision at every zoom.
constexpr double kSub = 100;

QFont MakeFont(const TRFont& f) {
  QFont font(f.Name);
  font.setPixelSize(std::max(1, int(std::lround(f.Size * 25.4 / 72.0 * kSub))));
  font.setBold(f.Bold);
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// Reports measure the same few fonts over and over (a note alternates several), and the same
// texts on page after page (titles, captions, figures): each font's metrics are made once and
// each text's width measured once. Kept to the end of the process: fonts must not be released
// after the application.
struct FontWidths {
  TRFont font;
  QFontMetricsF metrics;
  QHash<QString, qreal> widths;
};

FontWidths& Widths(const TRFont& f) {
  static auto* cache = new std::vector<std::unique_ptr<FontWidths>>;
  for (auto& e : *cache)
    if (e->font.Name == f.Name && e->font.Size == f.Size && e->font.Bold == f.Bold && e->font.Italic == f.Italic &&
        e->font.Underline == f.Underline)  // the colour does not change a width
      return *e;
  if (cache->size() >= 64) cache->clear();
  cache->push_back(std::make_unique<FontWidths>(FontWidths{f, QFontMetricsF(MakeFont(f)), {}}));
  return *cache->back();
}
}  // namespace

double TextWidth(const TRFont& font, const QString& text, double unitMM) {
  FontWidths& w = Widths(font);
  auto it = w.widths.constFind(text);
  if (it == w.widths.constEnd()) {
    if (w.widths.size() >= 20000) w.widths.clear();
    it = w.widths.insert(text, w.metrics.horizontalAdvance(text));
  }
  return *it / kSub / unitMM;
}

QRectF TRPage::TextExtent(const TRItem& i) const {
  if (i.wrap) return i.r;
  const double w = TextWidth(i.font, i.text, unitMM);
  const double x = i.align == taRightJustify ? i.r.right() - w
                   : i.align == taCenter     ? i.r.center().x() - w / 2
                                             : i.r.left();
  return QRectF(x, i.r.top(), w, i.r.height());
}

void PaintPage(QPainter& p, const TRPage& page, double pxPerMM) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.scale(pxPerMM / kSub, pxPerMM / kSub);
  const double k = page.unitMM * kSub;
  QFont lastFont;
  bool haveFont = false;
  TRFont lastSpec;
  for (const TRItem& i : page.items) {
    const QRectF r(i.r.x() * k, i.r.y() * k, i.r.width() * k, i.r.height() * k);
    switch (i.kind) {
      case TRItem::Rect:
      case TRItem::Line: {
        if (i.pen.isValid()) {
          QPen pen(i.pen, std::max(i.penWidth, 0.1) * kSub, i.penStyle);
          pen.setCapStyle(Qt::FlatCap);
          p.setPen(pen);
        } else {
          p.setPen(Qt::NoPen);
        }
        if (i.kind == TRItem::Rect) {
          p.setBrush(i.brush.isValid() ? QBrush(i.brush) : QBrush(Qt::NoBrush));
          p.drawRect(r);
        } else {
          p.drawLine(r.topLeft(), r.bottomRight());
        }
        break;
      }
      case TRItem::Text: {
        if (!haveFont || !(lastSpec == i.font)) {
          lastFont = MakeFont(i.font);
          lastSpec = i.font;
          haveFont = true;
          p.setFont(lastFont);
        }
        p.setPen(i.font.Color);
        int flags = Qt::AlignVCenter | (i.wrap ? Qt::TextWordWrap : Qt::TextSingleLine);
        flags |= i.align == taRightJustify ? Qt::AlignRight : i.align == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
        // Without TextDontClip, a text that a printer's or the screen's metrics make a hair
        // wider than those it was cut with is clipped to its box (and only such a text).
        p.drawText(r, flags, i.text);
        break;
      }
    }
  }
  p.restore();
}

bool TRPrintJob::Print(QPrinter& printer, int first, int last, int copies) const {
  if (Pages.empty()) return false;
  const int n = PageCount();
  first = first <= 0 ? 1 : std::min(first, n);
  last = last <= 0 ? n : std::min(last, n);
  if (last < first) return false;
  copies = std::max(1, copies);
  const TRPage& p0 = Pages.front();
  printer.setFullPage(true);
  printer.setPageLayout(QPageLayout(
      QPageSize(QSizeF(p0.size.width() * p0.unitMM, p0.size.height() * p0.unitMM), QPageSize::Millimeter),
      QPageLayout::Portrait, QMarginsF()));
  printer.setDocName(Title);
  // Copies are laid out here, so that every printer and the PDF file get them all.
  printer.setCopyCount(1);
  printer.setFromTo(0, 0);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const double pxPerMM = printer.resolution() / 25.4;
  bool firstSheet = true;
  for (int c = 0; c < copies; ++c) {
    for (int i = first; i <= last; ++i) {
      if (!firstSheet && !printer.newPage()) return false;
      firstSheet = false;
      PaintPage(painter, Pages[i - 1], pxPerMM);
    }
  }
  return painter.end();
}

// ---------------------------------------------------------------------------------------------
// Controls

// The sides a frame draws around the box from (x1, y1) to (x2, y2), as lines named after their owner.
static void RenderFrameSides(TRPage& page, const TRFrame& f, double x1, double y1, double x2, double y2,
                             const QString& name) {
  auto line = [&](double ax, double ay, double bx, double by) {
    TRItem l;
    l.kind = TRItem::Line;
    l.r = QRectF(QPointF(ax, ay), QPointF(bx, by));
    l.pen = f.Color;
    l.penWidth = f.Width;
    l.name = name;
    page.items.push_back(l);
  };
  if (f.Top) line(x1, y1, x2, y1);
  if (f.Bottom) line(x1, y2, x2, y2);
  if (f.Left) line(x1, y1, x1, y2);
  if (f.Right) line(x2, y1, x2, y2);
}

void TRControl::RenderFrame(TRPage& page, double bandTop) {
  const double x = band_->Report()->LeftMargin + Left, y = bandTop + Top;
  if (Color.isValid()) {
    TRItem fill;
    fill.kind = TRItem::Rect;
    fill.r = QRectF(x, y, Width, Height);
    fill.pen = QColor();
    fill.brush = Color;
    fill.name = Name;
    page.items.push_back(fill);
  }
  if (Frame.Any()) RenderFrameSides(page, Frame, x, y, x + Width, y + Height, Name);
}

namespace {
// The longest start of text (in whole characters) that, followed by tail, fits width; text and
// tail together do not.
qsizetype FittingStart(const TRFont& font, const QString& text, const QString& tail, double width, double unitMM) {
  qsizetype fits = 0, over = text.size();  // by halves
  while (over - fits > 1) {
    const qsizetype mid = (fits + over) / 2;
    (TextWidth(font, text.left(mid) + tail, unitMM) <= width ? fits : over) = mid;
  }
  if (fits > 0 && text[fits - 1].isHighSurrogate()) --fits;
  return fits;
}
}  // namespace

void TRControl::RenderText(TRPage& page, double bandTop, const QString& text) {
  RenderFrame(page, bandTop);
  TRItem t;
  t.kind = TRItem::Text;
  // A small inset keeps framed texts off their lines.
  const double inset = Frame.Any() ? 1.0 / band_->Report()->UnitMM : 0;
  t.r = QRectF(band_->Report()->LeftMargin + Left + inset, bandTop + Top, std::max(0.0, Width - 2 * inset), Height);
  t.text = text + Tail;
  t.font = Font;
  t.align = Alignment;
  t.wrap = WordWrap;
  t.name = Name;
  // What does not fit is cut at the box's edge, so a long name never covers the figure beside it.
  if (!WordWrap && TextWidth(Font, t.text, page.unitMM) > t.r.width()) {
    if (TextWidth(Font, Tail, page.unitMM) <= t.r.width()) {
      QString head = text.left(FittingStart(Font, text, Tail, t.r.width(), page.unitMM));
      // A cut head keeps no blanks before the tail.
      if (!Tail.isEmpty()) while (head.endsWith(' ')) head.chop(1);
      t.text = head + Tail;
    } else {
      // Not even the tail fits: its end stays, where the figure is.
      qsizetype from = 0;
      while (from < Tail.size() && TextWidth(Font, Tail.mid(from), page.unitMM) > t.r.width()) ++from;
      if (from > 0 && from < Tail.size() && Tail[from].isLowSurrogate()) ++from;
      t.text = Tail.mid(from);
    }
  }
  page.items.push_back(std::move(t));
}

void TRLabel::Render(TRPage& page, double bandTop) { RenderText(page, bandTop, Caption); }

void TRDBText::Render(TRPage& page, double bandTop) {
  QString value;
  if (DataSet && DataSet->Active() && !DataSet->Eof()) {
    if (TField* f = DataSet->FindField(DataField)) value = f->DisplayText();
  }
  if (OnPrint) OnPrint(this, value);
  RenderText(page, bandTop, value);
}

namespace {
QString ExprField(const QString& expr, bool* isSum) {
  static const QRegularExpression sum(R"(^\s*SUM\s*\(\s*(?:[A-Za-z_][\w]*\.)?([A-Za-z_]\w*)\s*\)\s*$)",
                                      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression field(R"(^\s*(?:[A-Za-z_][\w]*\.)?([A-Za-z_]\w*)\s*$)");
  if (auto m = sum.match(expr); m.hasMatch()) {
    *isSum = true;
    return m.captured(1);
  }
  *isSum = false;
  if (auto m = field.match(expr); m.hasMatch()) return m.captured(1);
  return {};
}

TDataSet* ExprDataSet(TRControl* c, TDataSet* own) { return own ? own : c->Band()->Report()->DataSet; }
}  // namespace

void TRExpr::Parse() {
  if (parsed_ == Expression && !parsed_.isNull()) return;
  parsed_ = Expression.isNull() ? QString("") : Expression;
  field_ = ExprField(Expression, &isSum_);
}

void TRExpr::Accumulate() {
  Parse();
  TDataSet* ds = ExprDataSet(this, DataSet);
  if (!isSum_ || !ds || !ds->Active() || ds->Eof()) return;
  if (TField* fld = ds->FindField(field_)) sum_ += fld->AsFloat();
}

void TRExpr::Render(TRPage& page, double bandTop) {
  Parse();
  QString text;
  if (isSum_) {
    text = FloatToStr(sum_);
  } else if (TDataSet* ds = ExprDataSet(this, DataSet); ds && ds->Active()) {
    if (TField* fld = ds->FindField(field_)) text = fld->DisplayText();
  }
  RenderText(page, bandTop, text);
  if (ResetAfterPrint) sum_ = 0;
}

void TRShape::Render(TRPage& page, double bandTop) {
  TRItem s;
  const double x = Band()->Report()->LeftMargin + Left, y = bandTop + Top;
  s.pen = PenColor;
  s.penWidth = PenWidth;
  s.penStyle = PenStyle;
  s.name = Name;
  switch (Shape) {
    case qrsRectangle:
      s.kind = TRItem::Rect;
      s.r = QRectF(x, y, Width, Height);
      s.brush = BrushColor;
      break;
    case qrsHorLine:
      s.kind = TRItem::Line;
      s.r = QRectF(QPointF(x, y + Height / 2), QPointF(x + Width, y + Height / 2));
      break;
    case qrsVertLine:
      s.kind = TRItem::Line;
      s.r = QRectF(QPointF(x + Width / 2, y), QPointF(x + Width / 2, y + Height));
      break;
  }
  page.items.push_back(std::move(s));
}

// ---------------------------------------------------------------------------------------------
// The report

TReport::TReport(QObject* parent) : QObject(parent) {}
TReport::~TReport() = default;

TRBand* TReport::AddBand(TRBandType type, const QString& name, double height) {
  bands_.push_back(std::make_unique<TRBand>(this, type, name, height));
  return bands_.back().get();
}

TRControl* TReport::FindControl(const QString& name) const {
  for (const auto& b : bands_)
    for (const auto& c : b->Controls())
      if (c->Name.compare(name, Qt::CaseInsensitive) == 0) return c.get();
  return nullptr;
}

void TReport::NewPage() { newPagePending_ = true; }

double TReport::PageBodyBottom() const {
  double h = PageSize.height() - BottomMargin;
  for (const auto& b : bands_)
    if (b->Type == rbPageFooter && b->Enabled) h -= b->Height;
  return h;
}

namespace {
void RenderBand(TRBand* band, TRPage& page, double top) {
  TReport* r = band->Report();
  for (const auto& c : band->Controls())
    if (c->Enabled) c->Render(page, top);
  const TRFrame& f = band->Frame;
  if (!f.Any()) return;
  const double x1 = r->LeftMargin, x2 = r->PageSize.width() - r->RightMargin;
  RenderFrameSides(page, f, x1, top, x2, top + band->Height, band->Name);
}
}  // namespace

void TReport::StartPage(TRPrintJob& job) {
  page_ = std::make_unique<TRPage>();
  page_->size = PageSize;
  page_->unitMM = UnitMM;
  y_ = TopMargin;
  if (OnStartPage) OnStartPage(this);
  for (const auto& b : bands_)
    if (b->Type == rbPageHeader) PrintBand(job, b.get(), false);
}

void TReport::EndPage(TRPrintJob& job) {
  if (!page_) return;
  if (job.Cancelled) {
    page_.reset();
    return;
  }
  for (const auto& b : bands_) {
    if (b->Type != rbPageFooter || !b->Enabled) continue;
    bool print = true;
    if (b->BeforePrint) b->BeforePrint(b.get(), print);
    if (print) RenderBand(b.get(), *page_, PageSize.height() - BottomMargin - b->Height);
    if (b->AfterPrint) b->AfterPrint(b.get(), print);
  }
  job.Pages.push_back(std::move(*page_));
  page_.reset();
  emit job.PageAvailable(job.PageCount());
}

bool TReport::PrintBand(TRPrintJob& job, TRBand* band, bool withPageBreak) {
  if (!band->Enabled) return false;
  bool print = true;
  if (band->BeforePrint) band->BeforePrint(band, print);
  if (!print) {
    if (band->AfterPrint) band->AfterPrint(band, false);
    return false;
  }
  if (withPageBreak) {
    const bool pageHasBody = y_ > TopMargin + 1e-9;
    const bool full = y_ + band->Height > PageBodyBottom() + 1e-9;
    if (newPagePending_ || (full && pageHasBody)) {
      newPagePending_ = false;
      EndPage(job);
      StartPage(job);
      if (group_ && inGroup_ && group_->ReprintOnNewPage && band != group_) PrintBand(job, group_, false);
    }
  }
  RenderBand(band, *page_, y_);
  y_ += band->Height;
  if (band->AfterPrint) band->AfterPrint(band, true);
  return true;
}

std::unique_ptr<TRPrintJob> TReport::Prepare() {
  auto job = std::make_unique<TRPrintJob>();
  job->Title = ReportTitle;
  if (!Produce(*job)) return nullptr;
  return job;
}

namespace {
QVariant GroupKey(TReport* r, TRBand* group) {
  bool isSum = false;
  const QString f = ExprField(group->Expression, &isSum);
  if (!r->DataSet || f.isEmpty()) return {};
  TField* fld = r->DataSet->FindField(f);
  return fld ? fld->Value() : QVariant();
}

bool RunBeforePrint(TReport* r) {
  bool ok = true;
  if (r->BeforePrint) r->BeforePrint(r, ok);
  return ok;
}
}  // namespace

bool TReport::Produce(TRPrintJob& job) {
  if (!RunBeforePrint(this)) return false;
  struct After {
    TReport* r;
    ~After() { if (r->AfterPrint) r->AfterPrint(r); }
  } after{this};
  job.Pages.clear();
  job.Finished = false;
  for (const auto& b : bands_)
    for (const auto& c : b->Controls()) c->Reset();
  group_ = nullptr;
  TRBand* detail = nullptr;
  for (const auto& b : bands_) {
    if (b->Type == rbGroupHeader && b->Enabled && !group_) group_ = b.get();
    if (b->Type == rbDetail && !detail) detail = b.get();
  }
  inGroup_ = false;
  newPagePending_ = false;
  StartPage(job);
  bool haveGroup = false;
  QVariant lastKey;
  if (DataSet && DataSet->Active()) {
    DataSet->DisableControls();
    struct Enable {
      TDataSet* ds;
      ~Enable() { ds->EnableControls(); }
    } enable{DataSet};
    DataSet->First();
    while (!DataSet->Eof() && !job.Cancelled) {
      if (group_) {
        const QVariant key = GroupKey(this, group_);
        if (!haveGroup || key != lastKey) {
          if (haveGroup && group_->FooterBand) {
            inGroup_ = false;
            PrintBand(job, group_->FooterBand);
          }
          inGroup_ = true;
          PrintBand(job, group_);
          haveGroup = true;
          lastKey = key;
        }
      }
      for (const auto& b : bands_)
        for (const auto& c : b->Controls()) c->Accumulate();
      if (detail) PrintBand(job, detail);
      DataSet->Next();
    }
  }
  if (haveGroup && group_->FooterBand && !job.Cancelled) {
    inGroup_ = false;
    PrintBand(job, group_->FooterBand);
  }
  inGroup_ = false;
  newPagePending_ = false;
  EndPage(job);
  job.Finished = true;
  emit job.ProductionEnded();
  return true;
}

void TReport::Preview() {
  auto job = std::make_unique<TRPrintJob>();
  job->Title = ReportTitle;
  // The data are built before any window shows, so a failure shows no preview.
  bool abandoned = false;
  const auto savedBefore = BeforePrint;
  if (!RunBeforePrint(this)) abandoned = true;
  if (abandoned) {
    if (AfterPrint) AfterPrint(this);
    return;
  }
  BeforePrint = nullptr;
  struct Restore {
    TReport* r;
    std::function<void(TReport*, bool&)> f;
    ~Restore() { r->BeforePrint = f; }
  } restore{this, savedBefore};
  if (OnPreview) OnPreview(this, job.get());
  // Pages go to the preview as they are made; closing it stops the production.
  QMetaObject::Connection pump;
  if (PreviewWindow)
    pump = connect(job.get(), &TRPrintJob::PageAvailable, this, [] { QCoreApplication::processEvents(); });
  try {
    Produce(*job);
  } catch (...) {
    disconnect(pump);
    if (PreviewWindow) {
      job->Cancelled = true;
      PreviewWindow->close();
    }
    throw;
  }
  disconnect(pump);
  // Waits until the preview is closed (hidden or gone).
  struct Watch : QObject {
    QEventLoop loop;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop.quit();
      return false;
    }
  } watch;
  if (PreviewWindow && PreviewWindow->isVisible()) {
    PreviewWindow->installEventFilter(&watch);
    connect(PreviewWindow.data(), &QObject::destroyed, &watch.loop, &QEventLoop::quit);
    watch.loop.exec();
    if (PreviewWindow) PreviewWindow->removeEventFilter(&watch);
  }
}

bool TReport::Print(TRPrintJob& job, QPrinter& printer) const {
  return job.Print(printer, PrinterSettings.FirstPage, PrinterSettings.LastPage, PrinterSettings.Copies);
}
