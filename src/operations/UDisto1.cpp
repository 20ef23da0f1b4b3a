#include "operations/UDisto1.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"
#include "operations/OpsCommon.h"
#include "operations/Quantity.h"
#include "operations/UCopyCol.h"
#include "operations/UDelPriseTitle.h"
#include "operations/UGetDay.h"
#include "rules/TradeRules.h"
#include "platform/db/Transaction.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "refdata/UListe.h"
#include "reports/URptListe.h"
#include "shell/UCalendar.h"
#include "shell/UProgress.h"
#include "shell/global.h"

namespace {

const QString kLeave = "Les informations modifiées n'ont pas été enregistrées.\rEnregister ?";
const QString kTotalRegion = "Total Région";
const QString kTotalGeneral = "Total Général";

const QColor kPaleYellow = RGBColor(0xFEF5BC);
const QColor kDarkBlue = RGBColor(0x0054A8);
const QColor kLightBlue = RGBColor(0x5EAEFF);
const QColor kLightGrey = RGBColor(0xE6E6E6);

// Every title column of both grids.
constexpr int kTitleColWidth = 65;
// The clients' column of the grid, and its totals' caption below it.
constexpr int kClientColWidth = 160;

// The two-pixel rules along a cell's top and left edges: silver outside, black inside.
void DrawRules(TCanvas* cv, const QRect& r) {
  QPainter* p = cv->Painter();
  p->fillRect(QRect(r.left(), r.top(), r.width(), 1), StdColors::Silver());
  p->fillRect(QRect(r.left(), r.top(), 1, r.height()), StdColors::Silver());
  p->fillRect(QRect(r.left() + 1, r.top() + 1, r.width() - 1, 1), StdColors::Black());
  p->fillRect(QRect(r.left() + 1, r.top() + 1, 1, r.height() - 1), StdColors::Black());
}

enum class Align { Left1, Left2, Right, Center };

void PaintCell(TCanvas* cv, const QRect& r, const QColor& bg, const QColor& fg, bool bold, Align a, const QString& text,
               int rightMargin = 6) {
  cv->Brush.Color = bg;
  cv->FillRect(r);
  cv->Font.Color = fg;
  cv->Font.Bold = bold;
  QRect t = r;
  int flags = Qt::AlignVCenter;
  switch (a) {
    case Align::Left1: t.setLeft(r.left() + 1); flags |= Qt::AlignLeft; break;
    case Align::Left2: t.setLeft(r.left() + 2); flags |= Qt::AlignLeft; break;
    case Align::Right: t.setRight(r.right() - rightMargin); flags |= Qt::AlignRight; break;
    case Align::Center: flags |= Qt::AlignHCenter; break;
  }
  // A number wider than its column shows as "#" marks, never with its first digits cut.
  const bool number = a == Align::Right && r.width() > 0;
  cv->DrawText(t, flags, number ? FitInCell(text, t.width(), cv->CurrentFont()) : text);
  DrawRules(cv, r);
}

// Makes a table or a query find its file in the data folder.
void Point(TDataSet& ds) { InDataPath(ds); }
}  // namespace

// While a long pass runs the window takes no other command and cannot be closed.
class BusyScope {
 public:
  explicit BusyScope(TfrmDisto1* w) : w_(w), was_(w->busy_) {
    w->busy_ = true;
    w->pnlButtons->setEnabled(false);
  }
  ~BusyScope() {
    w_->busy_ = was_;
    w_->pnlButtons->setEnabled(!was_);
  }
 private:
  TfrmDisto1* w_;
  bool was_;
};

TfrmDisto1::TfrmDisto1(QWidget* parent) : TDayForm(parent), dsRegion(&Region) {
  setObjectName("frmDisto1");
  setWindowTitle("Saisie des Prises");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  Region.SetTableName("Region.db");
  Region.SetIndexFieldNames("Libelle");
  Titre.SQL.Add("SELECT * FROM TITRE ORDER BY NORD");
  qOrgaD.SQL.Add("SELECT * FROM ORGAD");
  qOrgaD.SQL.Add("ORDER BY ORD_TITRE");
  Client.SetTableName("Client.DB");
  Client.SetIndexFieldNames("ORD");
  Disto.Name = "Disto";
  Disto.SetTableName("Disto.db");
  Disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  for (TDataSet* d : std::initializer_list<TDataSet*>{&Region, &Titre, &qOrgaD, &Client, &Disto, &myQuery})
    Point(*d);  // DistoBeforeOpen
  // Every stored record is on disk at once (inside a save, at its end).
  Disto.AfterPost = [this](TDataSet&) { DbiSaveChanges(Disto); };

  resize(1000, 680);
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);

  // The button panel.
  pnlButtons = new QWidget(this);
  pnlButtons->setObjectName("pnlButtons");
  pnlButtons->setFixedHeight(50);
  btnPrev = new QToolButton(pnlButtons);
  btnPrev->setObjectName("btnPrev");
  btnPrev->setArrowType(Qt::LeftArrow);
  btnPrev->setToolTip("Jour précédent");
  btnPrev->setGeometry(6, 10, 30, 30);
  lDay = new QLabel(pnlButtons);
  lDay->setObjectName("lDay");
  lDay->setGeometry(40, 10, 96, 30);
  lDay->setFont(QFont("Verdana", 11));
  lDay->setAlignment(Qt::AlignCenter);
  SetColors(lDay, StdColors::Black(), StdColors::Lime());
  pnlDate = new QLabel(pnlButtons);
  pnlDate->setObjectName("pnlDate");
  pnlDate->setGeometry(138, 10, 126, 30);
  QFont digital("DejaVu Sans Mono", 14);
  digital.setBold(true);
  pnlDate->setFont(digital);
  pnlDate->setAlignment(Qt::AlignCenter);
  pnlDate->setToolTip("Double-cliquer pour choisir le jour");
  SetColors(pnlDate, StdColors::Black(), StdColors::Lime());
  pnlDate->installEventFilter(this);
  btnNext = new QToolButton(pnlButtons);
  btnNext->setObjectName("btnNext");
  btnNext->setArrowType(Qt::RightArrow);
  btnNext->setToolTip("Jour suivant");
  btnNext->setGeometry(266, 10, 30, 30);
  btnDsp = GlyphButton(pnlButtons, "btnDsp", QStyle::SP_BrowserReload, "Afficher les prises");
  btnDsp->move(304, 10);
  Label1 = MakeLabel(pnlButtons, "Régions", 348, 2, 60, 16);
  cmbRegion = RegionBox(pnlButtons, "cmbRegion", &dsRegion, QRect(348, 20, 200, 24));
  chkTout = new QCheckBox("Toutes", pnlButtons);
  chkTout->setObjectName("chkTout");
  chkTout->setGeometry(480, 1, 70, 18);
  btnPost = GlyphButton(pnlButtons, "btnPost", QStyle::SP_DialogSaveButton, "Sauvegarder");
  btnPost->move(562, 10);
  btnCancel = GlyphButton(pnlButtons, "btnCancel", QStyle::SP_DialogCancelButton, "Annuler");
  btnCancel->move(600, 10);
  btnMenu = new QPushButton("&Menu...", pnlButtons);
  btnMenu->setObjectName("btnMenu");
  btnMenu->setToolTip("Afficher un menu contextuel");
  btnMenu->setGeometry(646, 10, 90, 30);
  btnMenu->setAutoDefault(false);
  btnFermer = GlyphButton(pnlButtons, "btnFermer", QStyle::SP_DialogCloseButton, "Quitter l'application");
  for (QWidget* w : std::initializer_list<QWidget*>{btnPrev, btnNext, btnDsp, btnPost, btnCancel, btnMenu, btnFermer})
    w->setFocusPolicy(Qt::NoFocus);
  lay->addWidget(pnlButtons);

  // The grid and its totals row.
  grdDisto = new TStringGrid(this);
  grdDisto->setObjectName("grdDisto");
  grdDisto->SetDefaultRowHeight(19);
  grdDisto->SetColCount(3);
  grdDisto->SetRowCount(3);
  grdDisto->SetFixedRows(2);
  grdDisto->SetFixedCols(2);
  // Tab goes from cell to cell: out of the grid the operator's next digits would go nowhere.
  grdDisto->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect | goEditing |
                       goTabs);
  grdDisto->SetDefaultDrawing(false);
  grdDisto->SetCells(1, 0, "Titres");
  grdDisto->SetCells(1, 1, "Clients");
  quantities_.Reset(3, 3);
  lay->addWidget(grdDisto, 1);
  grdTot = new TStringGrid(this);
  grdTot->setObjectName("grdTot");
  grdTot->SetColCount(3);
  grdTot->SetRowCount(1);
  grdTot->SetFixedRows(0);
  grdTot->SetFixedCols(2);
  grdTot->SetDefaultRowHeight(20);
  grdTot->SetScrollBars(TScrollStyle::ssNone);
  grdTot->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine);
  grdTot->SetDefaultDrawing(false);
  grdTot->setFixedHeight(24);
  lay->addWidget(grdTot);
  stBar = new TPanelStatusBar(this, {50, 100, 200, 120});
  stBar->setObjectName("stBar");
  lay->addWidget(stBar);

  // The message of the import, over the middle of the window.
  pnlMessage = new QWidget(this);
  pnlMessage->setObjectName("pnlMessage");
  pnlMessage->resize(420, 70);
  grdMessage = new TGradient(pnlMessage);
  grdMessage->BeginLoading();
  grdMessage->SetColorBegin(clRed);
  grdMessage->SetColorEnd(clBlack);
  grdMessage->SetStyle(TGradientStyle::gsLinearV);
  grdMessage->Loaded();
  grdMessage->setGeometry(0, 0, 420, 70);
  lMes = new TVxLabel(pnlMessage);
  lMes->setObjectName("lMes");
  lMes->BeginLoading();
  lMes->SetAutoSize(false);
  lMes->SetTransparent(true);
  lMes->SetAlignment(TAlignment::taCenter);
  lMes->SetLayout(TTextLayout::tlCenter);
  QFont mesFont("Verdana", 10);
  mesFont.setBold(true);
  lMes->setFont(mesFont);
  lMes->SetFontColor(clWhite);
  lMes->SetTextStyle(TTextStyle::tsShadow);
  lMes->SetShadowColor(clBlack);
  lMes->SetCaption("Préparation de l'importation ... Patientez !");
  lMes->Loaded();
  lMes->setGeometry(0, 0, 420, 70);
  pnlMessage->hide();

  // The popup menu; its shortcuts work through the window's own key handling.
  PopMnDisto = new QMenu(this);
  PopMnDisto->setObjectName("PopMnDisto");
  auto item = [this](const QString& name, const QString& text, const QKeySequence& key) {
    QAction* a = PopMnDisto->addAction(text);
    a->setObjectName(name);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetShortcut);
    return a;
  };
  mnInsert = item("mnInsert", "Importer des prises", QKeySequence(Qt::Key_F9));
  mnCopyCol = item("mnCopyCol", "Copier des prises", QKeySequence(Qt::Key_F8));
  PopMnDisto->addSeparator();
  mnDeleteClt = item("mnDeleteClt", "Supprimer des prises par clients", {});
  mnDeleteTitre = item("mnDeleteTitre", "Supprimer des prises par titres", {});
  PopMnDisto->addSeparator();
  mnPost = item("mnPost", "Sauvegarder", QKeySequence(Qt::CTRL | Qt::Key_S));
  mnCancel = item("mnCancel", "Annuler", QKeySequence(Qt::CTRL | Qt::Key_Z));
  PopMnDisto->addSeparator();
  mnDsp = item("mnDsp", "Afficher", QKeySequence(Qt::Key_F5));
  PopMnDisto->addSeparator();
  mnNext = item("mnNext", "Jour suivant", {});
  mnPrev = item("mnPrev", "Jour précédent", {});
  PopMnDisto->addSeparator();
  mnPrint = item("mnPrint", "Imprimer la liste", QKeySequence(Qt::CTRL | Qt::Key_P));
  PopMnDisto->addSeparator();
  Quitter1 = item("Quitter1", "Fermer", QKeySequence(Qt::CTRL | Qt::Key_F4));
  for (QAction* a : PopMnDisto->actions())
    if (!a->shortcut().isEmpty()) shortcuts_.insert(a->shortcut()[0].toCombined(), a);

  // Events.
  WireDayControls(btnPrev, btnNext, btnMenu, chkTout, btnFermer);
  OnCommand({btnDsp, mnDsp}, &TfrmDisto1::btnDspClick);
  OnCommand({btnPost, mnPost}, &TfrmDisto1::btnPostClick);
  OnCommand({btnCancel, mnCancel}, &TfrmDisto1::btnCancelClick);
  OnCommand({mnInsert}, &TfrmDisto1::mnInsertClick);
  OnCommand({mnCopyCol}, &TfrmDisto1::mnCopyColClick);
  OnCommand({mnDeleteClt}, &TfrmDisto1::mnDeleteCltClick);
  OnCommand({mnDeleteTitre}, &TfrmDisto1::mnDeleteTitreClick);
  OnCommand({mnNext}, &TfrmDisto1::btnNextClick);
  OnCommand({mnPrev}, &TfrmDisto1::btnPrevClick);
  OnCommand({mnPrint}, &TfrmDisto1::mnPrintClick);
  connect(Quitter1, &QAction::triggered, this, [this] { Close(); });
  cmbRegion->OnCloseUp = [this](TDBLookupComboBox*) { Command([this] { cmbRegionCloseUp(); }); };
  grdDisto->OnDrawCell = [this](TStringGrid* g, int c, int r, const QRect& rc, TGridDrawState s) {
    grdDistoDrawCell(g, c, r, rc, s);
  };
  grdTot->OnDrawCell = [this](TStringGrid* g, int c, int r, const QRect& rc, TGridDrawState s) {
    grdTotDrawCell(g, c, r, rc, s);
  };
  grdDisto->OnSelectCell = [this](TStringGrid*, int c, int r, bool& can) { grdDistoSelectCell(c, r, can); };
  grdDisto->OnSetEditText = [this](TStringGrid*, int c, int r, const QString& v) { grdDistoSetEditText(c, r, v); };
  grdDisto->OnKeyPress = [this](TStringGrid*, QChar& k) { grdDistoKeyPress(k); };
  grdDisto->OnKeyDown = [this](TStringGrid*, int& k, Qt::KeyboardModifiers m) { grdDistoKeyDown(k, m); };
  grdDisto->OnEditCancel = [this](TStringGrid*, int c, int r) { grdDistoEditCancel(c, r); };
  grdDisto->SetRestoreOnEscape(true);
  grdDisto->OnClick = [this](TStringGrid*) { grdDistoClick(); };
  grdTot->OnClick = [this](TStringGrid*) { grdTotClick(); };
  grdDisto->OnTopLeftChanged = [this](TStringGrid*) { grdDistoTopLeftChanged(); };
  grdDisto->OnMouseMove = [this](TStringGrid*, Qt::KeyboardModifiers, int x, int y) { grdDistoMouseMove(x, y); };
  grdTot->OnDblClick = [this](TStringGrid*) { Command([this] { grdTotDblClick(); }); };
  // A right click in a cell being typed opens the window's menu, not the editor's own.
  grdDisto->InplaceEditor()->setContextMenuPolicy(Qt::NoContextMenu);
  qApp->installEventFilter(this);  // the window's keys come before its controls'

  CenterOnScreen();
  FormCreate();
  grdDisto->setFocus();
}

TfrmDisto1::~TfrmDisto1() { qApp->removeEventFilter(this); }

// ---------------------------------------------------------------------------------------------
// Loading and display

void TfrmDisto1::FormCreate() {
  Modified = false;
  pending_.clear();
  grdDisto->SetCells(1, 0, "Titres");
  grdDisto->SetCells(1, 1, "Clients");
  CurrentDay = Date();
  pnlDate->setText(DateToStr(CurrentDay));
  for (TDataSet* d : std::initializer_list<TDataSet*>{&qOrgaD, &Region, &Titre, &Disto, &Client}) d->Open();
  ReadTitles();
  Region.First();
  if (!Region.IsEmpty()) cmbRegion->SetKeyValue(Region.FieldByName("Id")->AsString());
  ShowDay();
  DisplayPrises();
  UpdateButtons();
}

void TfrmDisto1::ReadTitles() {
  titles_.clear();
  const int id = Titre.FieldByName("Id")->Index(), name = Titre.FieldByName("Titre")->Index(),
            prix = Titre.FieldByName("Prix")->Index(), periode = Titre.FieldByName("Periode")->Index();
  for (const auto& row : Titre.ReadRows(0, Titre.RecordCount()))
    titles_.push_back({row[id].toString(), row[name].toString(),
                       {Currency::FromDouble(row[prix].toDouble()), trade::PeriodIndex(row[periode].toString())}});
}

void TfrmDisto1::ShowDay() { lDay->setText(DayName(CurrentDay)); }

void TfrmDisto1::SetDay(const QDate& d) {
  CurrentDay = d;
  pnlDate->setText(DateToStr(d));
  ShowDay();
}

QString TfrmDisto1::RegionKey() const {
  const QVariant k = cmbRegion->KeyValue();
  return k.isNull() ? QString() : k.toString();
}

QString TfrmDisto1::ClientOf(int r) const { return r >= 2 ? grdDisto->Cells(0, r).trimmed() : QString(); }
QString TfrmDisto1::TitleOf(int c) const { return c >= 2 ? grdDisto->Cells(c, 0).trimmed() : QString(); }

void TfrmDisto1::DisplayPrises() {
  Modified = false;
  pending_.clear();
  const bool all = chkTout->isChecked();
  const QString region = RegionKey();
  shownRegion_ = cmbRegion->KeyValue();
  grdDisto->SetEditorMode(false);
  grdDisto->BeginUpdate();
  grdTot->BeginUpdate();
  struct EndUpdates {
    TStringGrid *a, *b;
    ~EndUpdates() { a->EndUpdate(); b->EndUpdate(); }
  } endUpdates{grdDisto, grdTot};
  grdTot->ClearRow(0);
  grdTot->SetColWidths(0, 0);
  grdTot->SetColWidths(1, kClientColWidth);
  for (int r = 2; r < grdDisto->RowCount(); ++r) grdDisto->ClearRow(r);
  grdDisto->SetRowCount(3);
  grdDisto->SetRowHeights(0, 0);
  grdDisto->SetColWidths(0, 0);
  grdDisto->SetColWidths(1, kClientColWidth);

  // Columns: every title, or the titles distributed in the region that still exist.
  std::vector<const TitleInfo*> cols;
  if (all) {
    for (const TitleInfo& t : titles_) cols.push_back(&t);
  } else {
    QHash<QString, const TitleInfo*> byId;
    for (const TitleInfo& t : titles_) byId.insert(t.id, &t);
    qOrgaD.Refresh();  // what the titles-per-region window stored last
    qOrgaD.SetFilter("(" + FilterEq("ID_REGION", region) + ")");
    qOrgaD.SetFiltered(true);
    const int idx = qOrgaD.FieldByName("Id_Titre")->Index();
    for (const auto& row : qOrgaD.ReadRows(0, qOrgaD.RecordCount()))
      if (const TitleInfo* t = byId.value(row[idx].toString())) cols.push_back(t);
    qOrgaD.SetFiltered(false);
  }
  const int ncols = 2 + std::max<int>(1, int(cols.size()));
  grdDisto->SetColCount(ncols);
  grdTot->SetColCount(ncols);
  grdDisto->SetFixedCols(2);
  grdTot->SetFixedCols(2);
  for (int i = 0; i < int(cols.size()); ++i) {
    grdDisto->SetCells(2 + i, 0, cols[i]->id);
    grdDisto->SetCells(2 + i, 1, cols[i]->name);
    grdDisto->SetColWidths(2 + i, kTitleColWidth);
    grdTot->SetColWidths(2 + i, kTitleColWidth);
  }
  if (cols.empty()) {  // no title: one empty column that takes no space
    grdDisto->SetCells(2, 0, QString());
    grdDisto->SetCells(2, 1, QString());
    grdDisto->SetColWidths(2, 0);
    grdTot->SetColWidths(2, 0);
  }

  // Rows: the region's clients in delivery order, or every client region by region.
  if (all) {
    Client.SetFilter(QString());
    Client.SetFiltered(false);
    Client.SetIndexFieldNames("REGION;ORD");
    grdTot->SetCells(1, 0, kTotalGeneral);
  } else {
    Client.SetFilter("(" + FilterEq("REGION", region) + ")");
    Client.SetFiltered(true);
    Client.SetIndexFieldNames("ORD");
    grdTot->SetCells(1, 0, kTotalRegion);
  }
  Client.First();
  const int count = Client.RecordCount();
  stBar->Panels[1]->setText(IntToStr(count) + " clients");
  PassProgress progress(this, "Progression", count, true, "Affichage des données, patientez ...");
  Pump();

  const int id = Client.FieldByName("Id")->Index(), ord = Client.FieldByName("Ord")->Index(),
            nom = Client.FieldByName("Nom")->Index();
  const auto clients = Client.ReadRows(0, count);
  const QHash<QString, int> qty = trade::ReadDayQuantities(DataPath, CurrentDay, all ? QString() : region);
  grdDisto->SetRowCount(2 + std::max(1, int(clients.size())));
  quantities_.Reset(grdDisto->ColCount(), grdDisto->RowCount());
  std::vector<long long> totals(cols.size(), 0);
  int r = 2;
  for (const auto& row : clients) {
    const QString code = row[id].toString();
    grdDisto->SetCells(0, r, code);
    grdDisto->SetCells(1, r, PadLeft(row[ord].isNull() ? QString() : row[ord].toString(), " ", 5) + " - " + row[nom].toString());
    for (int i = 0; i < int(cols.size()); ++i) {
      const int q = qty.value(trade::TakingKey(code, cols[i]->id), 0);
      grdDisto->SetCells(2 + i, r, QString::number(q));
      quantities_.Set(2 + i, r, q);
      totals[i] += q;
    }
    ++r;
    progress.SetValue(r - 2);
  }
  if (!clients.empty())
    for (int i = 0; i < int(cols.size()); ++i) grdTot->SetCells(2 + i, 0, QString::number(totals[i]));
  Client.SetFiltered(false);
  lastRow_ = grdDisto->Row();
  // Whatever loaded the grid (the region box, "Toutes" then F5, the calendar), it takes the keys:
  // the operator types the quantities at once.
  grdDisto->setFocus();
}

void TfrmDisto1::EmptyGrid() {
  pending_.clear();
  grdDisto->SetEditorMode(false);
  grdDisto->BeginUpdate();
  grdTot->BeginUpdate();
  grdTot->ClearRow(0);
  grdTot->SetColWidths(0, 0);
  grdTot->SetColWidths(1, kClientColWidth);
  grdTot->SetCells(1, 0, kTotalRegion);
  for (int r = 2; r < grdDisto->RowCount(); ++r) grdDisto->ClearRow(r);
  grdDisto->SetRowCount(3);
  grdDisto->SetRowHeights(0, 0);
  grdDisto->SetColWidths(0, 0);
  grdDisto->SetColWidths(1, kClientColWidth);
  const int ncols = 2 + std::max<int>(1, int(titles_.size()));
  grdDisto->SetColCount(ncols);
  grdTot->SetColCount(ncols);
  quantities_.Reset(ncols, 3);
  grdDisto->SetFixedCols(2);
  grdTot->SetFixedCols(2);
  for (int i = 0; i < int(titles_.size()); ++i) {
    grdDisto->SetCells(2 + i, 0, titles_[i].id);
    grdDisto->SetCells(2 + i, 1, titles_[i].name);
    grdDisto->SetColWidths(2 + i, kTitleColWidth);
    grdTot->SetColWidths(2 + i, kTitleColWidth);
  }
  grdDisto->EndUpdate();
  grdTot->EndUpdate();
  lastRow_ = grdDisto->Row();
}

void TfrmDisto1::ComputeColumnTotal(int col) {
  grdTot->SetCells(col, 0, QString::number(quantities_.ColumnTotal(col, 2)));
}

void TfrmDisto1::btnPrevClick() {
  if (!LeavePrompt()) return;
  SetDay(CurrentDay.addDays(-1));
  EmptyGrid();
}

void TfrmDisto1::btnNextClick() {
  if (!LeavePrompt()) return;
  SetDay(CurrentDay.addDays(1));
  EmptyGrid();
}

void TfrmDisto1::btnDspClick() {
  if (!LeavePrompt()) return;
  DisplayPrises();
}

void TfrmDisto1::pnlDateDblClick() {
  const auto chosen = AskCalendarDay(CurrentDay);
  if (!chosen) return;
  if (!LeavePrompt()) return;
  SetDay(*chosen);
  DisplayPrises();
}

void TfrmDisto1::cmbRegionCloseUp() {
  if (!LeavePrompt()) {
    cmbRegion->SetKeyValue(shownRegion_);  // the grid still shows that region
    return;
  }
  DisplayPrises();
}

void TfrmDisto1::chkToutClick() {
  cmbRegion->setEnabled(!chkTout->isChecked());
}

void TfrmDisto1::grdDistoClick() {
  SyncTotColumn();
  const int r = grdDisto->Row();
  if (r != lastRow_) {  // the current row has its own colours
    grdDisto->InvalidateRow(lastRow_);
    grdDisto->InvalidateRow(r);
    lastRow_ = r;
  }
}

void TfrmDisto1::SyncTotColumn() {
  if (syncing_) return;
  syncing_ = true;
  const int before = grdTot->Col();
  grdTot->FocusCell(grdDisto->Col(), 0);
  grdTot->InvalidateCell(before, 0);
  syncing_ = false;
}

void TfrmDisto1::grdTotClick() {
  if (syncing_) return;
  syncing_ = true;
  GuardEvent([this] {
    if (!grdDisto->FocusCell(grdTot->Col(), grdDisto->Row())) grdTot->FocusCell(grdDisto->Col(), 0);
  });
  syncing_ = false;
  grdDistoClick();
}

void TfrmDisto1::grdDistoTopLeftChanged() { grdTot->SetLeftCol(grdDisto->LeftCol()); }

void TfrmDisto1::grdDistoMouseMove(int x, int y) {
  int c, r;
  grdDisto->MouseToCell(x, y, c, r);
  QString hint;
  if (r == 1 && c >= 2) {
    hint = grdDisto->Cells(c, 1);
    stBar->Panels[2]->setText(hint);
  }
  if (grdDisto->toolTip() != hint) grdDisto->setToolTip(hint);
}

void TfrmDisto1::grdTotDblClick() {
  if (!LeavePrompt()) return;
  if (grdTot->Cells(1, 0) != kTotalGeneral) {
    grdTot->BeginUpdate();
    grdTot->ClearRow(0);
    grdTot->SetCells(1, 0, kTotalGeneral);
    // The day's takings of every client of every region, for the titles shown.
    TQuery q;
    q.SetDatabaseName(DataPath);
    q.SQL.Add("SELECT ID_TITRE, SUM(QTE_PRISE) AS TOTAL FROM DISTO.DB WHERE DATEJ=:myDay GROUP BY ID_TITRE");
    q.ParamByName("myDay")->AsDate = CurrentDay;
    q.Open();
    QHash<QString, qlonglong> totals;
    for (const auto& row : q.ReadRows(0, q.RecordCount())) totals.insert(row[0].toString(), row[1].toLongLong());
    q.Close();
    for (int c = 2; c < grdDisto->ColCount(); ++c) {
      const QString t = TitleOf(c);
      if (!t.isEmpty() && totals.contains(t)) grdTot->SetCells(c, 0, QString::number(totals.value(t)));
    }
    grdTot->EndUpdate();
  } else {
    DisplayPrises();
  }
}

void TfrmDisto1::btnMenuClick() {
  PopMnDisto->popup(btnMenu->mapToGlobal(QPoint(0, btnMenu->height())));
}

void TfrmDisto1::grdDistoDrawCell(TStringGrid* g, int c, int r, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = g->Canvas();
  const QString text = g->Cells(c, r);
  if (r < 2 && c < 2) {
    PaintCell(cv, rect, StdColors::Silver(), StdColors::Black(), false, r == 0 ? Align::Right : Align::Left1, text);
  } else if (r == 0) {
    PaintCell(cv, rect, kPaleYellow, StdColors::Red(), false, Align::Center, text);
  } else if (r == 1) {
    PaintCell(cv, rect, kPaleYellow, StdColors::Blue(), false, Align::Left1, text);
  } else if (c < 2) {
    const bool current = r == g->Row();
    PaintCell(cv, rect, current ? kDarkBlue : kPaleYellow, current ? StdColors::White() : StdColors::Black(), false,
              Align::Left2, text);
  } else {
    QColor bg, fg;
    bool bold = false;
    if (state & (gdSelected | gdFocused)) {
      bg = StdColors::Black();
      fg = StdColors::Red();
    } else if (!quantities_.IsNumber(c, r)) {
      bg = StdColors::Red();
      fg = StdColors::White();
    } else if (r == g->Row()) {
      bg = kLightBlue;
      fg = StdColors::White();
      bold = true;
    } else {
      bg = r % 2 == 0 ? kLightGrey : StdColors::White();
      fg = g->FontColor();
    }
    PaintCell(cv, rect, bg, fg, bold, Align::Right, text);
  }
}

void TfrmDisto1::grdTotDrawCell(TStringGrid* g, int c, int r, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = g->Canvas();
  const QString text = g->Cells(c, r);
  if (c < 2) PaintCell(cv, rect, kPaleYellow, StdColors::Black(), true, Align::Left2, text);
  else if (state & (gdSelected | gdFocused))
    PaintCell(cv, rect, StdColors::Black(), StdColors::Yellow(), true, Align::Right, text, 8);
  else
    PaintCell(cv, rect, StdColors::Navy(), StdColors::White(), true, Align::Right, text, 8);
}

// ---------------------------------------------------------------------------------------------
// Entry and save

void TfrmDisto1::SetCellText(int c, int r, const QString& text) {
  grdDisto->SetCells(c, r, text);
  quantities_.Accept(c, r, text);
}

void TfrmDisto1::grdDistoSetEditText(int c, int r, const QString& value) {
  if (busy_ || ClientOf(r).isEmpty() || TitleOf(c).isEmpty()) {  // nothing to type into
    grdDisto->SetEditorMode(false);
    SetCellText(c, r, r >= 2 && !ClientOf(r).isEmpty() ? grdDisto->Cells(c, r) : QString());
    return;
  }
  // Whether the cell waited for the save before this typing, for Escape; the typing's first change
  // is the one moment every way into the editor (a key, F2, a second click) goes through.
  if (!Modified || typedCell_ != Key(c, r)) {
    beforePending_ = IsPending(c, r);
    typedCell_ = Key(c, r);
  }
  // The one reading of what was typed: everything else takes the number from here.
  quantities_.Accept(c, r, value);
  Modified = true;
  pending_.insert(Key(c, r));
  UpdateButtons();
}

void TfrmDisto1::grdDistoKeyDown(int& key, Qt::KeyboardModifiers mods) {
  if (busy_) {
    key = 0;
    return;
  }
  // Tab stays in the grid; Ctrl+Tab leaves it for the window's other controls.
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (mods & Qt::ControlModifier)) {
    const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
    key = 0;
    focusNextPrevChild(!back);
    return;
  }
  // A row without a client (or a grid without a title) takes no typing.
  const bool typing = (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde && !(mods & Qt::ControlModifier)) ||
                      key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_F2;
  if (typing && (ClientOf(grdDisto->Row()).isEmpty() || TitleOf(grdDisto->Col()).isEmpty())) key = 0;
}

void TfrmDisto1::grdDistoEditCancel(int c, int r) {
  quantities_.Accept(c, r, grdDisto->Cells(c, r));  // the text the cell had before the typing
  if (!Modified) return;
  if (!beforePending_) pending_.remove(Key(c, r));
  Modified = false;
  UpdateButtons();
}

void TfrmDisto1::grdDistoKeyPress(QChar& key) {
  if (key != QChar(13)) return;
  // Enter moves to the next title, then to the first title of the next row (the first row after
  // the last one).
  key = QChar();
  int c = grdDisto->Col(), r = grdDisto->Row();
  if (c < grdDisto->ColCount() - 1) {
    ++c;
  } else {
    c = 2;
    r = r < grdDisto->RowCount() - 1 ? r + 1 : 2;
  }
  grdDisto->FocusCell(c, r);
}

void TfrmDisto1::grdDistoSelectCell(int, int, bool& canSelect) {
  if (forceSelect_) return;
  if (busy_) {
    canSelect = false;
    return;
  }
  if (!Modified) return;
  const int c = grdDisto->Col(), r = grdDisto->Row();
  if (!quantities_.IsNumber(c, r)) {
    ShowError(kQuantityNotNumber);
    canSelect = false;
    // The refused text is selected: the operator's next digits replace it instead of adding to it.
    if (QLineEdit* ed = grdDisto->InplaceEditor(); ed && grdDisto->EditorMode()) ed->selectAll();
    return;
  }
  // Only a row the day already has: a new one waits for the save, at the price of that moment.
  trade::TakingStore store(Disto, DataPath, CurrentDay);
  try {
    if (store.Store(ClientOf(r), TitleOf(c), quantities_.Value(c, r))) pending_.remove(Key(c, r));
  } catch (...) {
    canSelect = false;
    throw;
  }
  ComputeColumnTotal(c);
  Modified = false;
}


void TfrmDisto1::UpdateButtons() {
  const bool on = Modified || !pending_.isEmpty();
  for (QPushButton* b : {btnPost, btnCancel}) b->setEnabled(on);
  for (QAction* a : {mnPost, mnCancel}) a->setEnabled(on);
}

void TfrmDisto1::btnPostClick() { Save(); }

void TfrmDisto1::SelectCell(int c, int r) {
  forceSelect_ = true;
  grdDisto->FocusCell(c, r);
  forceSelect_ = false;
}

bool TfrmDisto1::Save() {
  BusyScope busy(this);
  grdDisto->SetEditorMode(false);
  struct Finally {
    TfrmDisto1* w;
    ~Finally() {
      w->UpdateButtons();
      w->Pump();
    }
  } finally{this};
  PassProgress progress(this, "Sauvegarde", 0, false);  // freed before the buttons are updated
  Disto.SetFiltered(false);
  const int rows = grdDisto->RowCount(), cols = grdDisto->ColCount();
  // Each title column's price for the rows the save creates (a title gone from the titles: 0).
  static const trade::TitlePrice kNoPrice;
  std::vector<const trade::TitlePrice*> priceOf(cols, nullptr);
  std::vector<QString> titleOf(cols);
  {
    QHash<QString, const TitleInfo*> titleById;
    for (const TitleInfo& t : titles_) titleById.insert(t.id, &t);
    for (int c = 2; c < cols; ++c) {
      titleOf[c] = TitleOf(c);
      if (titleOf[c].isEmpty()) continue;
      const TitleInfo* t = titleById.value(titleOf[c]);
      priceOf[c] = t ? &t->price : &kNoPrice;
    }
  }
  // Every cell is checked before anything is written. A grid with no client loaded still has its
  // empty row 2, which stops the save at once.
  for (int r = 2; r < rows; ++r) {
    for (int c = 2; c < cols; ++c) {
      if (!priceOf[c] || quantities_.IsNumber(c, r)) continue;
      ShowError(kQuantityNotNumber);
      SelectCell(c, r);
      return false;
    }
  }
  Pump();
  progress.Restart("Progression", "Sauvegarde en cours..., patientez ...", rows - 2);
  progress.Show();
  Pump();

  // Every cell in one transaction: a failure leaves the day as it was.
  TDbTransaction tx(DataPath);
  try {
    trade::TakingStore store(Disto, DataPath, CurrentDay, trade::TakingStore::Pass{});
    for (int r = 2; r < rows; ++r) {
      const QString client = ClientOf(r);
      if (client.isEmpty()) continue;  // never a row without a client
      for (int c = 2; c < cols; ++c)
        if (priceOf[c]) store.Store(client, titleOf[c], quantities_.Value(c, r), priceOf[c]);
      progress.SetValue(r - 1);
    }
    tx.Commit();
  } catch (...) {
    if (Disto.State() != dsBrowse) Disto.Cancel();
    tx.Rollback();
    throw;
  }
  for (int c = 2; c < cols; ++c)
    if (!TitleOf(c).isEmpty()) ComputeColumnTotal(c);
  Modified = false;
  pending_.clear();
  return true;
}

// While a pass of the window runs, only painting and the window's own events go on: the keys the
// operator types meanwhile wait for its end and then reach the grid in order (taken while busy
// they would be dropped).
void TfrmDisto1::Pump() {
  if (busy_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  else ProcessMessages();
}

void TfrmDisto1::btnCancelClick() {
  if ((Modified || !pending_.isEmpty()) && !AgreesToDropTyping()) return;
  DisplayPrises();
  Modified = false;
  UpdateButtons();
}

bool TfrmDisto1::LeavePrompt() {
  if (pending_.isEmpty()) return true;
  if (MessageDlg(kLeave, MsgDlgType::Warning, mbYes | mbNo) != ModalResult::Yes) return true;
  return Save();
}

void TfrmDisto1::mnPrintClick() {
  const QString region = RegionKey();
  if (chkTout->isChecked() || region.trimmed().isEmpty()) {
    ShowError("Veuillez sélectionner une région S.V.P !");
    chkTout->setChecked(false);
    chkToutClick();
    cmbRegion->setFocus();
    return;
  }
  int noListe = 0;
  {
    TQuery q;
    q.SetDatabaseName(DataPath);
    q.SQL.Add("SELECT DISTINCT NOLISTE FROM TLISTE.DB WHERE ID_REGION=:myRegion");
    q.ParamByName("myRegion")->AsString = region;
    q.Open();
    if (q.RecordCount() == 1) noListe = q.Fields(0)->AsInteger;
    q.Close();
  }
  Pump();
  if (noListe == 0) {
    ShowError("La liste, pour la région : " + cmbRegion->Text() + ", n'a pas été préparée !");
    auto* w = new TfrmListe(nullptr);
    Dialogs().RunModal(w);
    delete w;
    return;
  }
  if (!LeavePrompt()) return;  // the list reads the stored takings
  PrintList(noListe, CurrentDay);
}

void TfrmDisto1::PrintList(int noListe, const QDate& day) {
  TfrmRptListe rpt(nullptr);
  rpt.NoListe = noListe;
  rpt.DateListe = QDateTime(day, QTime());
  rpt.Preview();
}

// ---------------------------------------------------------------------------------------------
// Import, copy and delete

void TfrmDisto1::mnInsertClick() {
  if (!LeavePrompt()) return;
  const auto choice = AskDayChoice("Importation", "Importer les prises de :", DateToStr(CurrentDay));
  if (!choice) return;
  QString code, scopeText;
  if (!choice->allClients) {
    code = ClientOf(grdDisto->Row());
    if (code.isEmpty()) return;  // no client on this row: nothing goes to another one
    const bool was = Client.Filtered();
    Client.SetFiltered(false);
    const bool found = Client.Locate("ID", code);
    const QString nom = found ? Client.FieldByName("Nom")->AsString() : QString();
    Client.SetFiltered(was);
    if (!found) return;
    scopeText = " et les appliquer au client " + nom;
  } else {
    scopeText = chkTout->isChecked() ? "et les appliquer à tous les clients de toutes les régions"
                                     : "et les appliquer à tous les clients de la région de " + cmbRegion->Text();
  }
  if (MessageDlg(choice->Question("d'importer", scopeText), MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  Pump();
  ImportPrises(code, choice->day);
  Pump();
  DisplayPrises();
}

void TfrmDisto1::ImportPrises(const QString& client, const QDate& sourceDay) {
  BusyScope busy(this);
  SetScreenCursor(TCursor::crHourGlass);
  PlaceMessage();
  pnlMessage->show();
  pnlMessage->raise();
  Pump();
  struct Finally {
    TfrmDisto1* w;
    ~Finally() {
      w->pnlMessage->hide();
      SetScreenCursor(TCursor::crDefault);
      w->Pump();
    }
  } finally{this};

  // The ticked titles, in Nord order.
  std::vector<const TitleInfo*> titles;
  for (const TitleInfo& t : titles_)
    if (SelectedTitles && SelectedTitles->contains(t.id)) titles.push_back(&t);
  // The clients in scope.
  std::vector<QString> clients;
  {
    const bool all = chkTout->isChecked();
    const QString region = RegionKey();
    const int cid = Client.FieldByName("Id")->Index(), creg = Client.FieldByName("Region")->Index();
    Client.SetFiltered(false);
    for (const auto& row : Client.ReadRows(0, Client.RecordCount())) {
      const QString id = row[cid].toString();
      if (!client.isEmpty() ? id != client : (!all && row[creg].toString() != region)) continue;
      clients.push_back(id);
    }
  }
  lMes->SetCaption("Préparation terminée. Traitement en cours ...");
  Pump();
  if (ImportPauseMs > 0) QThread::msleep(ImportPauseMs);
  pnlMessage->hide();
  Pump();

  PassProgress progress(this, "Affichage des données", int(clients.size()));

  TDbTransaction tx(DataPath);
  try {
    const QHash<QString, int> source = trade::ReadDayQuantities(DataPath, sourceDay);
    trade::TakingStore store(Disto, DataPath, CurrentDay, trade::TakingStore::Pass{});
    int done = 0;
    for (const QString& c : clients) {
      for (const TitleInfo* t : titles) store.Store(c, t->id, source.value(trade::TakingKey(c, t->id), 0), &t->price);
      progress.SetValue(++done);
      Pump();
    }
    tx.Commit();
  } catch (...) {
    if (Disto.State() != dsBrowse) Disto.Cancel();
    tx.Rollback();
    throw;
  }
  DbiSaveChanges(Disto);
  Disto.First();
}

void TfrmDisto1::mnDeleteCltClick() {
  if (!LeavePrompt()) return;
  const auto choice = AskDayChoice("Suppression", "Supprimer les prises de :");
  if (!choice) return;
  QString code, scopeText;
  if (choice->allClients) {
    scopeText = "et les appliquer à tous les clients";
  } else {
    code = ClientOf(grdDisto->Row());
    if (code.isEmpty()) return;  // no client on this row
    scopeText = " et les appliquer au client " + grdDisto->Cells(1, grdDisto->Row());
  }
  if (MessageDlg(choice->Question("de supprimer", scopeText), MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  DeletePrises(code, choice->day);
}

void TfrmDisto1::DeletePrises(const QString& client, const QDate& day) {
  BusyScope busy(this);
  SetScreenCursor(TCursor::crHourGlass);
  struct Finally {
    TfrmDisto1* w;
    ~Finally() {
      SetScreenCursor(TCursor::crDefault);
      w->Pump();
    }
  } finally{this};
  myQuery.Close();
  myQuery.SetDatabaseName(DataPath);
  myQuery.SQL.Clear();
  bool run = true;
  if (!client.isEmpty()) {
    myQuery.SQL.Add("Delete From DISTO.DB Where (DATEJ=:myDay) and (ID_CLIENT=:myClient)");
    myQuery.ParamByName("myClient")->AsString = client;
  } else {
    myQuery.SQL.Add("Delete From DISTO.DB Where DATEJ=:myDay");
    run = MessageDlg("Vous êtes sur le point de supprimer toutes les prises du " + DateToStr(day) + "\rContinuer ?",
                     MsgDlgType::Confirmation, mbYes | mbNo) == ModalResult::Yes;
  }
  myQuery.ParamByName("myDay")->AsDate = day;
  if (run) myQuery.ExecSQL();
  Pump();
  myQuery.Close();
  DisplayPrises();
}

void TfrmDisto1::mnDeleteTitreClick() {
  if (!LeavePrompt()) return;
  auto* f = new TfrmDelPriseTitle(this);
  f->DateJ = CurrentDay;
  f->IdRegion = RegionKey();  // kept while "Toutes" is ticked
  const ModalResult r = Dialogs().RunModal(f);
  delete f;
  if (r == ModalResult::OK) DisplayPrises();
}

void TfrmDisto1::mnCopyColClick() {
  auto* f = new TfrmCopyCol(this);
  QStringList names;
  const int cols = grdDisto->ColCount();
  for (int c = 2; c < cols; ++c)
    if (!TitleOf(c).isEmpty()) names << grdDisto->Cells(c, 1);
  f->SetTitles(names);
  const ModalResult r = Dialogs().RunModal(f);
  const int source = f->cmbColSource->currentIndex() + 2, target = f->cmbColCible->currentIndex() + 2;
  delete f;
  if (r == ModalResult::OK && source >= 2 && target >= 2 && source != target && target < cols && source < cols) {
    grdDisto->SetEditorMode(false);
    for (int row = 2; row < grdDisto->RowCount(); ++row) {
      grdDisto->SetCells(target, row, grdDisto->Cells(source, row));
      if (!ClientOf(row).isEmpty()) pending_.insert(Key(target, row));
    }
    quantities_.CopyColumn(source, target, 2);  // the texts copied are those already read
    ComputeColumnTotal(target);
  }
  grdDisto->Invalidate();
  Modified = true;
  UpdateButtons();
  // The editor closed under the dialog handed the focus on; the operator goes on typing.
  grdDisto->setFocus();
  Pump();
}

// ---------------------------------------------------------------------------------------------
// Window

void TfrmDisto1::FormClose() {
  if (busy_) Abort();
  if (!LeavePrompt()) Abort();
  qOrgaD.Close();
  Region.Close();
  Disto.Close();
  Titre.Close();
  Client.Close();
  delete SelectedTitles;
  SelectedTitles = nullptr;
}

void TfrmDisto1::contextMenuEvent(QContextMenuEvent* e) {
  if (busy_) return;
  PopMnDisto->popup(e->globalPos());
}

void TfrmDisto1::PlaceMessage() {
  pnlMessage->move((width() - pnlMessage->width()) / 2, (height() - pnlMessage->height()) / 2);
}

void TfrmDisto1::resizeEvent(QResizeEvent* e) {
  TDayForm::resizeEvent(e);
  PlaceMessage();
  btnFermer->move(std::max(740, pnlButtons->width() - 44), 10);
}

bool TfrmDisto1::eventFilter(QObject* o, QEvent* e) {
  if (DateDoubleClicked(o, e, pnlDate, [this] { pnlDateDblClick(); })) return true;
  if (e->type() == QEvent::KeyPress && o->isWidgetType() && static_cast<QWidget*>(o)->window() == this) {
    auto* ke = static_cast<QKeyEvent*>(e);
    const int key = ke->key();
    const auto mods = ke->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    // Only Ctrl, Shift and Alt count (not the keypad's).
    if (QAction* a = shortcuts_.value(QKeyCombination(mods, Qt::Key(key)).toCombined())) {
      if (a->isEnabled()) a->trigger();
      return true;
    }
  }
  return TDayForm::eventFilter(o, e);
}
