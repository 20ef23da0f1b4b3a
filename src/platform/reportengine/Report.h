// A small banded report engine: a report runs over a dataset and lays out its bands (page
// header, group header and footer, detail, page footer) on pages. Pages are display lists
// (texts, rectangles, lines in the report's units) that the preview paints, QPrinter prints and
// tests read.
//
//   TReport r;  r.DataSet = &qBon;  r.UnitMM = 1;   // millimetre layout
//   TRBand* det = r.AddBand(rbDetail, "Detail", 6);
//   det->Add<TRDBText>("dQte", 100, 0, 20, 5)->SetField(&qBon, "QTE");
//   r.Preview();                                     // returns once the preview is closed
#pragma once
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class TDataSet;
class TReport;
class TRBand;

// ---------------------------------------------------------------------------------------------
// Display lists

struct TRFont {
  QString Name = "Arial";
  double Size = 10;  // points
  bool Bold = false, Italic = false, Underline = false;
  QColor Color = Qt::black;
  bool operator==(const TRFont&) const = default;
};

enum TRAlignment { taLeftJustify, taRightJustify, taCenter };

struct TRItem {
  enum Kind { Text, Rect, Line };
  Kind kind = Text;
  QRectF r;          // report units, from the page's top left corner
  QString text;
  TRFont font;
  TRAlignment align = taLeftJustify;
  // Text: one line cut to whole characters that fit the box, or (wrap) broken into lines at
  // the box's width; drawing never leaves the box either way.
  bool wrap = false;
  QColor pen = Qt::black;      // outline or line; invalid = none
  QColor brush;                // fill; invalid = none
  double penWidth = 0.2;       // millimetres
  Qt::PenStyle penStyle = Qt::SolidLine;
  QString name;      // the control that made it
};

struct TRPage {
  QSizeF size;          // report units
  double unitMM = 1;    // millimetres per unit
  std::vector<TRItem> items;
  // The texts of the page, top to bottom then left to right (what tests read).
  QStringList Texts() const;
  const TRItem* Find(const QString& controlName, int nth = 0) const;  // ignoring case
  int Count(const QString& controlName) const;
  // Where a one-line text's characters fall, in page units: as wide as the text, placed in its
  // box by its alignment, as high as the box. A wrapped text: its box.
  QRectF TextExtent(const TRItem& text) const;
};

// The width a line of text takes when painted, in layout units of unitMM millimetres.
double TextWidth(const TRFont& font, const QString& text, double unitMM);

// Paints a page with its top left corner at the painter's origin, pxPerMM device pixels per
// millimetre.
void PaintPage(QPainter& p, const TRPage& page, double pxPerMM);

// ---------------------------------------------------------------------------------------------
// The print job: the pages produced so far.

class TRPrintJob : public QObject {
  Q_OBJECT
 public:
  QString Title;
  std::vector<TRPage> Pages;
  bool Finished = false;   // production has ended (all pages there, or stopped)
  bool Cancelled = false;  // production was asked to stop
  int PageCount() const { return int(Pages.size()); }
  // Prints pages first..last (1-based; 0 = from the first / to the last) in copies copies,
  // collated; false when the printer cannot be opened.
  bool Print(QPrinter& printer, int first = 0, int last = 0, int copies = 1) const;
 signals:
  void PageAvailable(int pagesSoFar);
  void ProductionEnded();
};

// ---------------------------------------------------------------------------------------------
// Controls

struct TRFrame {
  bool Left = false, Top = false, Right = false, Bottom = false;
  double Width = 0.2;  // millimetres
  QColor Color = Qt::black;
  void All(bool on = true) { Left = Top = Right = Bottom = on; }
  bool Any() const { return Left || Top || Right || Bottom; }
};

class TRControl {
 public:
  TRControl(TRBand* band, const QString& name, double left, double top, double width, double height)
      : Name(name), Left(left), Top(top), Width(width), Height(height), band_(band) {}
  virtual ~TRControl() = default;
  QString Name;
  double Left, Top, Width, Height;
  bool Enabled = true;  // a disabled control neither prints nor takes room
  TRFont Font;
  TRFrame Frame;
  TRAlignment Alignment = taLeftJustify;
  // A text wider than the control goes on to further lines within its height (and what does not
  // fit is cut) instead of running out of it on one line.
  bool WordWrap = false;
  // Printed after the text and always whole (the issue number after a title): when the two do
  // not fit the box, the text gives way, cut in whole characters.
  QString Tail;
  QColor Color;         // background; invalid = transparent
  TRBand* Band() const { return band_; }
  // Called once per record of the report's dataset (sums).
  virtual void Accumulate() {}
  virtual void Reset() {}
  virtual void Render(TRPage& page, double bandTop) = 0;
 protected:
  void RenderText(TRPage& page, double bandTop, const QString& text);
  void RenderFrame(TRPage& page, double bandTop);
 private:
  TRBand* band_;
};

class TRLabel : public TRControl {
 public:
  using TRControl::TRControl;
  QString Caption;
  TRLabel* SetCaption(const QString& c) { Caption = c; return this; }
  void Render(TRPage& page, double bandTop) override;
};

// A field of a dataset, as its display text (dates DD/MM/YYYY, money with two decimals).
class TRDBText : public TRControl {
 public:
  using TRControl::TRControl;
  TDataSet* DataSet = nullptr;
  QString DataField;
  // As the text prints: may change it.
  std::function<void(TRDBText* sender, QString& value)> OnPrint;
  TRDBText* SetField(TDataSet* ds, const QString& field) { DataSet = ds; DataField = field; return this; }
  void Render(TRPage& page, double bandTop) override;
};

// An expression "SUM(TABLE.Field)" (a sum of the field over the records) or "TABLE.Field".
class TRExpr : public TRControl {
 public:
  using TRControl::TRControl;
  QString Expression;
  TDataSet* DataSet = nullptr;  // where the field is read
  bool ResetAfterPrint = false;
  double Value() const { return sum_; }
  void Accumulate() override;
  void Reset() override { sum_ = 0; }
  void Render(TRPage& page, double bandTop) override;
 private:
  void Parse();
  double sum_ = 0;
  QString parsed_;      // the expression last read
  QString field_;
  bool isSum_ = false;
};

enum TRShapeType { qrsRectangle, qrsHorLine, qrsVertLine };

class TRShape : public TRControl {
 public:
  using TRControl::TRControl;
  TRShapeType Shape = qrsRectangle;
  Qt::PenStyle PenStyle = Qt::SolidLine;
  double PenWidth = 0.2;  // millimetres
  QColor PenColor = Qt::black;
  QColor BrushColor;      // invalid = not filled
  void Render(TRPage& page, double bandTop) override;
};

// ---------------------------------------------------------------------------------------------
// Bands

enum TRBandType { rbPageHeader, rbGroupHeader, rbDetail, rbGroupFooter, rbPageFooter };

class TRBand {
 public:
  TRBand(TReport* report, TRBandType type, const QString& name, double height)
      : Type(type), Name(name), Height(height), report_(report) {}
  TRBandType Type;
  QString Name;
  double Height;
  bool Enabled = true;
  // Group headers: the expression "DATASET.Field" whose change starts a group, the footer
  // printed at the group's end, and whether the header is printed again at the top of a page.
  QString Expression;
  TRBand* FooterBand = nullptr;
  bool ReprintOnNewPage = false;
  // Lines drawn along the band's edges (a line above, a frame).
  TRFrame Frame;
  // Before the band prints: PrintBand = false suppresses it (it takes no room).
  std::function<void(TRBand* sender, bool& PrintBand)> BeforePrint;
  std::function<void(TRBand* sender, bool BandPrinted)> AfterPrint;

  template <class C>
  C* Add(const QString& name, double left, double top, double width, double height) {
    auto c = std::make_unique<C>(this, name, left, top, width, height);
    C* raw = c.get();
    controls_.push_back(std::move(c));
    return raw;
  }
  const std::vector<std::unique_ptr<TRControl>>& Controls() const { return controls_; }
  TReport* Report() const { return report_; }
 private:
  std::vector<std::unique_ptr<TRControl>> controls_;
  TReport* report_;
};

// ---------------------------------------------------------------------------------------------
// The report

struct TRPrinterSettings {
  int Copies = 1;
  int FirstPage = 0;  // 0: from the first page
  int LastPage = 0;   // 0: to the last page
};

class TReport : public QObject {
  Q_OBJECT
 public:
  explicit TReport(QObject* parent = nullptr);
  ~TReport() override;

  QString ReportTitle;
  TDataSet* DataSet = nullptr;
  double UnitMM = 1;                       // millimetres per layout unit
  QSizeF PageSize{210, 297};               // layout units (A4 portrait in millimetres)
  double LeftMargin = 10, TopMargin = 10, RightMargin = 10, BottomMargin = 10;  // layout units
  TRPrinterSettings PrinterSettings;

  // Before the report is produced: PrintReport = false abandons it silently. An exception
  // abandons it too, and reaches the caller (nothing is produced).
  std::function<void(TReport* sender, bool& PrintReport)> BeforePrint;
  std::function<void(TReport* sender)> AfterPrint;
  // Before each page starts.
  std::function<void(TReport* sender)> OnStartPage;
  // The preview event: hands the job to a preview window, which it shows. Without it the job
  // is produced with no window.
  std::function<void(TReport* sender, TRPrintJob* job)> OnPreview;

  TRBand* AddBand(TRBandType type, const QString& name, double height);
  const std::vector<std::unique_ptr<TRBand>>& Bands() const { return bands_; }
  // A control of any band by name, ignoring case; nullptr when there is none.
  TRControl* FindControl(const QString& name) const;
  // From an event: the next band starts on a new page.
  void NewPage();

  // Produces the report into a new job. Returns nullptr when BeforePrint abandoned it.
  std::unique_ptr<TRPrintJob> Prepare();
  // Produces into a job (pages are added and announced as they are made); stops early when the
  // job is cancelled.
  bool Produce(TRPrintJob& job);
  // Produces the report and shows it through OnPreview, the rest of the program blocked; returns
  // once the preview window has closed. An error while producing reaches the caller, after the
  // preview window (if any) is closed.
  void Preview();
  // Prints the job on the printer with the printer settings.
  bool Print(TRPrintJob& job, QPrinter& printer) const;
  // The preview window Preview() waits for (set by the preview event).
  QPointer<QWidget> PreviewWindow;

 private:
  void StartPage(TRPrintJob& job);
  void EndPage(TRPrintJob& job);
  bool PrintBand(TRPrintJob& job, TRBand* band, bool withPageBreak = true);
  double PageBodyBottom() const;
  std::vector<std::unique_ptr<TRBand>> bands_;
  std::unique_ptr<TRPage> page_;
  double y_ = 0;
  bool newPagePending_ = false;
  bool inGroup_ = false;
  TRBand* group_ = nullptr;
};
