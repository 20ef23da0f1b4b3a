#include "operations/URetour.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "operations/OpsCommon.h"
#include "operations/Quantity.h"
#include "operations/UModifPrise.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Application.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "rules/Returns.h"
#include "shell/UCalendar.h"
#include "shell/UMain.h"
#include "shell/global.h"

namespace {
constexpr int kFirstPair = 3;  // the first title's taken column
// Each column of a title's pair in grdRetour and grdTot; the title's name spans both, and its
// sold column of grdTot1 is as wide as the pair.
constexpr int kPairColWidth = 45;

// Title pair c (its taken column) has its sold total at this column of grdTot1.
int SoldCol(int c) { return (c + 3) / 2; }

bool IsTakenCol(int c) { return c >= kFirstPair && c % 2 == 1; }
bool IsUnsoldCol(int c) { return c >= kFirstPair + 1 && c % 2 == 0; }

struct HourGlass {
  HourGlass() { SetScreenCursor(TCursor::crHourGlass); }
  ~HourGlass() { SetScreenCursor(TCursor::crDefault); }
};

QPushButton* Button(QWidget* parent, const QString& name, const QString& text, const QString& hint, int w = 34) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setToolTip(hint);
  b->setAutoDefault(false);
  b->setFixedSize(w, 30);
  return b;
}
}  // namespace

TfrmRetour::TfrmRetour(QWidget* parent) : TAppForm(parent), dsRegion(&Region) {
  setObjectName("frmRetour");
  setWindowTitle("Saisie des invendus");
  Region.Name = "Region";
  Region.SetTableName("Region.db");
  Region.SetIndexFieldNames("Libelle");
  Client.Name = "Client";
  Client.SetTableName("Client.DB");
  Client.SetIndexFieldNames("Ord");
  Disto.Name = "Disto";
  Disto.SetTableName("Disto.db");
  Disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  Retour.Name = "Retour";
  Retour.SetTableName("Retour.DB");
  Retour.SetIndexFieldNames("Week;Id_Client;Id_Titre");
  lkpRetour.Name = "lkpRetour";
  lkpRetour.SetTableName("Retour.DB");
  lkpRetour.SetIndexFieldNames("Week;Id_Client;Id_Titre");
  Titre.Name = "Titre";
  Titre.SQL.Add("SELECT * FROM TITRE ORDER BY NORD");
  myQuery.Name = "myQuery";
  for (TTable* t : {&Region, &Client, &Disto, &Retour, &lkpRetour}) InDataPath(*t);
  InDataPath(Titre);
  InDataPath(myQuery);
  Disto.AfterPost = [](TDataSet& ds) { DbiSaveChanges(static_cast<TTable&>(ds)); };
  Retour.AfterPost = [](TDataSet& ds) { DbiSaveChanges(static_cast<TTable&>(ds)); };

  resize(1000, 640);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  pnlButtons = new QWidget(this);
  pnlButtons->setObjectName("pnlButtons");
  pnlButtons->setFixedHeight(44);
  auto* row = new QHBoxLayout(pnlButtons);
  row->setContentsMargins(4, 2, 4, 2);
  row->setSpacing(4);
  auto* weekBox = new QVBoxLayout;
  weekBox->setSpacing(0);
  lblDu = new QLabel("Semaine du ", pnlButtons);
  lblDu->setObjectName("lblDu");
  dWeek = new QLineEdit(pnlButtons);
  dWeek->setObjectName("dWeek");
  dWeek->setReadOnly(true);
  dWeek->setFixedWidth(90);
  dWeek->setFocusPolicy(Qt::NoFocus);
  SetBold(dWeek);
  weekBox->addWidget(lblDu);
  weekBox->addWidget(dWeek);
  row->addLayout(weekBox);
  btnCalendar = GlyphButton(pnlButtons, "btnCalendar", QStyle::SP_FileDialogDetailedView, "Calendrier");
  btnPrev = GlyphButton(pnlButtons, "btnPrev", QStyle::SP_ArrowLeft, "Semaine précédente");
  btnNext = GlyphButton(pnlButtons, "btnNext", QStyle::SP_ArrowRight, "Semaine suivante");
  btnLoad = Button(pnlButtons, "btnLoad", "Nouvelle semaine", "Créer les invendus de la semaine", 120);
  btnDelete = GlyphButton(pnlButtons, "btnDelete", QStyle::SP_TrashIcon, "Supprimer les invendus");
  btnPost = GlyphButton(pnlButtons, "btnPost", QStyle::SP_DialogSaveButton, "Sauvegarder");
  btnCancel = GlyphButton(pnlButtons, "btnCancel", QStyle::SP_DialogCancelButton, "Annuler");
  for (QWidget* w : {static_cast<QWidget*>(btnCalendar), static_cast<QWidget*>(btnPrev),
                     static_cast<QWidget*>(btnNext)})
    row->addWidget(w);
  row->addSpacing(8);
  for (QWidget* w : {static_cast<QWidget*>(btnLoad), static_cast<QWidget*>(btnDelete)}) row->addWidget(w);
  row->addSpacing(8);
  for (QWidget* w : {static_cast<QWidget*>(btnPost), static_cast<QWidget*>(btnCancel)}) row->addWidget(w);
  row->addSpacing(12);
  auto* regionBox = new QVBoxLayout;
  regionBox->setSpacing(0);
  Label1 = new QLabel("Région ", pnlButtons);
  Label1->setObjectName("Label1");
  cmbRegion = new TDBLookupComboBox(pnlButtons);
  cmbRegion->setObjectName("cmbRegion");
  cmbRegion->setFixedWidth(200);
  cmbRegion->SetListSource(&dsRegion);
  cmbRegion->SetKeyField("Id");
  cmbRegion->SetListField("Libelle");
  SetBold(cmbRegion);
  regionBox->addWidget(Label1);
  regionBox->addWidget(cmbRegion);
  row->addLayout(regionBox);
  row->addSpacing(8);
  btnMenu = Button(pnlButtons, "btnMenu", "&Menu", "Menu", 70);
  row->addWidget(btnMenu);
  row->addStretch();
  btnFermer = GlyphButton(pnlButtons, "btnFermer", QStyle::SP_DialogCloseButton, "Quitter l'application");
  row->addWidget(btnFermer);
  outer->addWidget(pnlButtons);
  // A click on a button leaves the keys where the operator types (a button that turns disabled
  // would hand them to the region box, whose arrow keys change the region).
  for (QPushButton* b : {btnCalendar, btnPrev, btnNext, btnLoad, btnDelete, btnPost, btnCancel, btnMenu, btnFermer})
    b->setFocusPolicy(Qt::NoFocus);

  grdRetour = new TStringGrid(this);
  grdRetour->setObjectName("grdRetour");
  grdRetour->SetDefaultRowHeight(19);
  grdRetour->SetColCount(10);
  grdRetour->SetRowCount(4);
  grdRetour->SetFixedRows(3);
  grdRetour->SetFixedCols(3);
  grdRetour->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect | goColSizing |
                        goEditing | goThumbTracking | goTabs);  // Tab stays in the grid, see OnKeyDown
  grdRetour->SetDefaultDrawing(false);
  QFont small = font();
  small.setPixelSize(10);  // a title's name over its pair of columns, "Invend." in one
  grdRetour->setFont(small);
  grdRetour->setMouseTracking(true);
  grdRetour->viewport()->setMouseTracking(true);
  // Hidden until the first loading, its place kept: the totals stay along the bottom.
  QSizePolicy keep = grdRetour->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  grdRetour->setSizePolicy(keep);
  grdRetour->hide();
  outer->addWidget(grdRetour, 1);

  auto totalsGrid = [this](const QString& name, int height) {
    auto* g = new TStringGrid(this);
    g->setObjectName(name);
    g->SetColCount(4);
    g->SetRowCount(1);
    g->SetFixedRows(0);
    g->SetFixedCols(3);
    g->SetDefaultRowHeight(20);
    g->SetScrollBars(TScrollStyle::ssNone);
    g->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine);
    g->SetDefaultDrawing(false);
    g->setFocusPolicy(Qt::ClickFocus);
    g->setFixedHeight(height);
    g->setFont(grdRetour->font());
    g->OnDrawCell = [this](TStringGrid* s, int c, int r, const QRect& rc, TGridDrawState st) {
      grdTot1DrawCell(s, c, r, rc, st);
    };
    return g;
  };
  grdTot = totalsGrid("grdTot", 24);
  grdTot1 = totalsGrid("grdTot1", 24);
  outer->addWidget(grdTot);
  outer->addWidget(grdTot1);

  stBar = new TPanelStatusBar(this, {50, 80, 200, 120});
  stBar->setObjectName("stBar");
  outer->addWidget(stBar);

  menuRetour = new QMenu(this);
  menuRetour->setObjectName("menuRetour");
  auto item = [this](const QString& name, const QString& text, const QKeySequence& key) {
    QAction* a = menuRetour->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty()) {
      a->setShortcut(key);
      a->setShortcutContext(Qt::WindowShortcut);
      addAction(a);  // the shortcut works anywhere in the window
    }
    return a;
  };
  mnLoad = item("mnLoad", "Nouvelle semaine", QKeySequence(Qt::Key_F5));
  mnDelete = item("mnDelete", "Supprimer les invendus", QKeySequence(Qt::Key_F6));
  mnPost = item("mnPost", "Sauvegarder", QKeySequence(Qt::CTRL | Qt::Key_S));
  mnCancel = item("mnCancel", "Annuler", QKeySequence(Qt::CTRL | Qt::Key_Z));
  menuRetour->addSeparator();
  mnModifPrise = item("mnModifPrise", "Modifier la prise", QKeySequence(Qt::Key_F2));
  menuRetour->addSeparator();
  mnNextWeek = item("mnNextWeek", "Semaine suivante", QKeySequence());
  mnPrev = item("mnPrev", "Semaine précédente", QKeySequence());
  mnCalendar = item("mnCalendar", "Calendrier", QKeySequence(Qt::Key_F4));
  menuRetour->addSeparator();
  mnTotClient = item("mnTotClient", "Total client", QKeySequence(Qt::Key_F7));
  mnTotR = item("mnTotR", "Total par région", QKeySequence(Qt::Key_F8));
  mnTotG = item("mnTotG", "Total général", QKeySequence(Qt::Key_F9));
  menuRetour->addSeparator();
  mnPrint = item("mnPrint", "Imprimer", QKeySequence());
  menuRetour->addSeparator();
  Fermer1 = item("Fermer1", "Fermer", QKeySequence());

  auto guarded = [this](void (TfrmRetour::*m)()) { return [this, m] { GuardEvent([&] { (this->*m)(); }); }; };
  OnClick(btnCalendar, this, &TfrmRetour::btnCalendarClick);
  OnClick(btnPrev, this, &TfrmRetour::btnPrevClick);
  OnClick(btnNext, this, &TfrmRetour::btnNextClick);
  OnClick(btnLoad, this, &TfrmRetour::btnLoadClick);
  OnClick(btnDelete, this, &TfrmRetour::mnDeleteClick);
  OnClick(btnPost, this, &TfrmRetour::btnPostClick);
  OnClick(btnCancel, this, &TfrmRetour::btnCancelClick);
  OnClick(btnMenu, this, &TfrmRetour::btnMenuClick);
  connect(btnFermer, &QPushButton::clicked, this, [this] { Close(); });
  connect(mnLoad, &QAction::triggered, this, guarded(&TfrmRetour::btnLoadClick));
  connect(mnDelete, &QAction::triggered, this, guarded(&TfrmRetour::mnDeleteClick));
  connect(mnPost, &QAction::triggered, this, guarded(&TfrmRetour::btnPostClick));
  connect(mnCancel, &QAction::triggered, this, guarded(&TfrmRetour::btnCancelClick));
  connect(mnModifPrise, &QAction::triggered, this, guarded(&TfrmRetour::grdRetourDblClick));
  connect(mnNextWeek, &QAction::triggered, this, guarded(&TfrmRetour::btnNextClick));
  connect(mnPrev, &QAction::triggered, this, guarded(&TfrmRetour::btnPrevClick));
  connect(mnCalendar, &QAction::triggered, this, guarded(&TfrmRetour::btnCalendarClick));
  connect(mnTotClient, &QAction::triggered, this, guarded(&TfrmRetour::mnTotClientClick));
  connect(mnTotR, &QAction::triggered, this, guarded(&TfrmRetour::mnTotRClick));
  connect(mnTotG, &QAction::triggered, this, guarded(&TfrmRetour::mnTotGClick));
  connect(mnPrint, &QAction::triggered, this, guarded(&TfrmRetour::mnPrintClick));
  connect(Fermer1, &QAction::triggered, this, [this] { Close(); });
  connect(menuRetour, &QMenu::aboutToShow, this, guarded(&TfrmRetour::menuRetourPopup));
  cmbRegion->OnCloseUp = [this](TDBLookupComboBox*) { GuardEvent([this] { cmbRegionCloseUp(); }); };
  // The list closed on the region already shown loads it too: the grid is hidden until then.
  cmbRegion->OnListDismissed = cmbRegion->OnCloseUp;

  grdRetour->OnDrawCell = [this](TStringGrid* g, int c, int r, const QRect& rc, TGridDrawState s) {
    grdRetourDrawCell(g, c, r, rc, s);
  };
  grdRetour->OnClick = [this](TStringGrid*) { GuardEvent([this] { grdRetourClick(); }); };
  grdRetour->OnDblClick = [this](TStringGrid*) { GuardEvent([this] { grdRetourDblClick(); }); };
  grdRetour->OnSetEditText = [this](TStringGrid*, int c, int r, const QString& v) { grdRetourSetEditText(c, r, v); };
  grdRetour->OnKeyUp = [this](TStringGrid*, int& key, Qt::KeyboardModifiers) {
    const int k = key;
    GuardEvent([this, k] { grdRetourKeyUp(k); });
  };
  // Tab and Shift+Tab go from unsold cell to unsold cell, as Enter does.
  grdRetour->OnKeyDown = [this](TStringGrid*, int& key, Qt::KeyboardModifiers mods) {
    if (!grdRetour->EditorMode()) modifiedBeforeEdit_ = Modified;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) enterDown_ = true;
    if (key != Qt::Key_Tab && key != Qt::Key_Backtab) return;
    const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
    key = 0;
    if (mods & Qt::ControlModifier) focusNextPrevChild(!back);  // Ctrl+Tab leaves the grid
    else GuardEvent([this, back] { MoveToUnsold(back); });
  };
  grdRetour->SetRestoreOnEscape(true);  // Escape takes back what was typed
  grdRetour->OnEditCancel = [this](TStringGrid*, int, int) { grdRetourEditCancel(); };
  grdRetour->OnTopLeftChanged = [this](TStringGrid*) { grdRetourTopLeftChanged(); };
  grdRetour->OnMouseMove = [this](TStringGrid*, Qt::KeyboardModifiers, int x, int y) { grdRetourMouseMove(x, y); };
  grdTot->OnClick = [this](TStringGrid*) { grdTotClick(); };
  // The window's shortcuts come before the cell editor's own (Ctrl+Z is "Annuler", not undo).
  grdRetour->InplaceEditor()->installEventFilter(this);
  grdRetour->InplaceEditor()->setContextMenuPolicy(Qt::NoContextMenu);  // the window's menu

  // Opening: the texts of the fixed cells, the tables, and the latest week of the returns (the
  // week of today when none is stored yet).
  Modified = false;
  CellEdited = false;
  grdRetour->SetCells(2, 1, "Titres");
  grdRetour->SetCells(2, 2, "Totaux");
  grdRetour->SetCells(1, 2, "Clients");
  Region.Open();
  Titre.Open();
  lkpRetour.Open();
  Retour.Open();
  Retour.Last();
  QDate week = Retour.IsEmpty() ? QDate() : Retour.FieldByName("Week")->AsDate();
  if (!week.isValid()) week = WeekStart(Date());
  SetWeek(WeekStart(week));
  Disto.Open();
  Client.Open();
  Region.First();
  if (!Region.IsEmpty()) cmbRegion->SetKeyValue(Region.FieldByName("Id")->Value());
  UpdateButtons();
  CenterOnScreen();
}

TfrmRetour::~TfrmRetour() { cmbRegion->SetListSource(nullptr); }

QDate TfrmRetour::Week() const {
  if (auto d = TryStrToDate(dWeek->text())) return *d;
  return CurrentWeek;
}

void TfrmRetour::SetWeek(const QDate& saturday) {
  CurrentWeek = saturday;
  dWeek->setText(DateToStr(saturday));
  setWindowTitle("Saisie des invendus  / Semaine du " + DateToStr(saturday) + " au " + DateToStr(trade::Week{saturday}.Friday()));
}

QString TfrmRetour::RegionKey() const { return cmbRegion->KeyValue().toString(); }

// ---- reading the week ----

void TfrmRetour::ReadTitles() {
  titles_.clear();
  if (!Titre.Active()) Titre.Open();
  Titre.Refresh();
  for (Titre.First(); !Titre.Eof(); Titre.Next())
    titles_.push_back({Titre.FieldByName("Id")->AsString, Titre.FieldByName("Titre")->AsString,
                       {Titre.FieldByName("Prix")->AsCurrency, trade::PeriodIndex(Titre.FieldByName("Periode")->AsString())}});
}

void TfrmRetour::ReadRebates(const QString& region, const QString& client) {
  const auto read = trade::ReadRebates(DataPath, region, client);
  for (auto it = read.constBegin(); it != read.constEnd(); ++it) rebates_.insert(it.key(), it.value());
}

qint64 TfrmRetour::GetWeekPrise(const QString& client, const QString& title, const QDate& week) {
  return trade::WeekTaken(DataPath, {week}, client, title);
}

Currency TfrmRetour::NetPrice(const QString& client, int title) const {
  const TitleInfo& t = titles_[size_t(title)];
  return trade::NetPrice(t.price.prix, t.price.period, rebates_.value(client));
}

Currency TfrmRetour::GetPU(const QString& client, const QString& title) {
  Titre.SetFiltered(false);
  const auto rebates = trade::ReadRebates(DataPath, {}, client);
  if (rebates.isEmpty() || !Titre.Locate("ID", title)) return Currency();
  return trade::NetPrice(Titre.FieldByName("Prix")->AsCurrency(), Titre.FieldByName("Periode")->AsString(),
                         rebates.value(client));
}

// ---- loading ----

void TfrmRetour::LoadGrid() {
  HourGlass hg;
  const QDate week = Week();
  const QString region = RegionKey();
  loadedRegion_ = region;
  // Totals lines.
  for (TStringGrid* g : {grdTot, grdTot1}) {
    g->ClearCells();
    g->SetColWidths(0, 0);
    g->SetColWidths(1, 150);
    g->SetColWidths(2, 90);
  }
  grdTot->SetCells(1, 0, "Totaux par région ");
  grdTot1->SetCells(1, 0, "Vendus ");

  GridLoaded = false;
  CellEdited = false;
  for (int r = 3; r < grdRetour->RowCount(); ++r) grdRetour->ClearRow(r);
  grdRetour->SetRowCount(4);
  grdRetour->show();
  grdRetour->SetRowHeights(0, 0);
  grdRetour->SetColWidths(0, 0);
  grdRetour->SetColWidths(1, 160);
  grdRetour->SetColWidths(2, 80);

  ReadTitles();
  const int nt = int(titles_.size());
  grdRetour->SetColCount(3 + 2 * std::max(nt, 1));
  grdTot->SetColCount(3 + 2 * std::max(nt, 1));
  grdTot1->SetColCount(3 + std::max(nt, 1));
  for (int k = 0; k < nt; ++k) {
    const int c = kFirstPair + 2 * k;
    grdRetour->SetCells(c, 0, titles_[k].id);
    grdRetour->SetCells(c, 1, titles_[k].name);
    grdRetour->SetCells(c + 1, 1, QString());
    grdRetour->SetCells(c, 2, "Prises");
    grdRetour->SetCells(c + 1, 2, "Invend.");
    for (int cc : {c, c + 1}) {
      grdRetour->SetColWidths(cc, kPairColWidth);
      grdTot->SetColWidths(cc, kPairColWidth);
    }
    grdTot1->SetColWidths(SoldCol(c), 2 * kPairColWidth + 1);
  }

  // The region's clients in delivery order, and the week's takings and returns in one read each.
  TQuery clients;
  InDataPath(clients);
  clients.SQL.Add("SELECT ID, ORD, NOM FROM CLIENT WHERE REGION=:myRegion ORDER BY ORD");
  clients.ParamByName("myRegion")->AsString = region;
  clients.Open();
  const int nc = clients.RecordCount();
  const auto clientRows = clients.ReadRows(0, nc);
  clients.Close();
  rebates_.clear();
  ReadRebates(region);
  weekCells_ = trade::ReadWeekTakings(DataPath, {week}, region);
  stored_ = trade::ReadWeekReturns(DataPath, {week}, region);

  PassProgress progress(this, "Sauvegarde", nc, false);
  // The loaded week takes the keys, whichever button or box loaded it: the operator types at once.
  if (nc > 0) progress.GiveKeysTo(grdRetour);
  progress.SetMessage("Traitemeny en cours ... Patientez");
  if (nc > 50) progress.Show();
  stBar->Panels[1]->setText(IntToStr(nc) + " clients");

  std::vector<qint64> takenTot(nt, 0), unsoldTot(nt, 0);
  grdRetour->SetRowCount(3 + std::max(nc, 1));
  for (int i = 0; i < nc; ++i) {
    const int r = 3 + i;
    const QString id = clientRows[i][0].toString();
    grdRetour->SetCells(0, r, id);
    grdRetour->SetCells(1, r, PadLeft(clientRows[i][1].toString(), " ", 5) + " - " + clientRows[i][2].toString());
    GridLoaded = true;
    for (int k = 0; k < nt; ++k) {
      const int c = kFirstPair + 2 * k;
      const QString key = trade::TakingKey(id, titles_[k].id);
      const auto w = weekCells_.constFind(key);
      const qint64 taken = w == weekCells_.constEnd() ? 0 : w->taken;
      const int unsold = stored_.value(key, 0);
      grdRetour->SetCells(c, r, IntToStr(taken));
      grdRetour->SetCells(c + 1, r, IntToStr(unsold));
      takenTot[k] += taken;
      unsoldTot[k] += unsold;
    }
    if (i % 32 == 0) progress.SetValue(i);
  }
  if (nc > 0)
    for (int k = 0; k < nt; ++k) {
      const int c = kFirstPair + 2 * k;
      grdTot->SetCells(c, 0, IntToStr(takenTot[k]));
      grdTot->SetCells(c + 1, 0, IntToStr(unsoldTot[k]));
      grdTot1->SetCells(SoldCol(c), 0, IntToStr(takenTot[k] - unsoldTot[k]));
    }
  grdRetour->FocusCell(std::min(4, grdRetour->ColCount() - 1), 3);
  grdRetour->SetTopRow(3);
  grdRetour->SetLeftCol(3);

  Currency total;
  for (int r = 3; r < grdRetour->RowCount(); ++r) total += CalcClientAmount(r);
  grdTot1->SetCells(2, 0, CurrToStrF(total));
  CellEdited = false;
  UpdateDeleteButton();
  grdRetour->Invalidate();
  grdTot->Invalidate();
  grdTot1->Invalidate();
}

Currency TfrmRetour::CalcClientAmount(int row) {
  const QString client = grdRetour->Cells(0, row);
  trade::ClientWeekAmount amount(weekCells_, client, rebates_.value(client));
  for (int c = kFirstPair; c + 1 < grdRetour->ColCount(); c += 2) {
    const QString unsoldText = grdRetour->Cells(c + 1, row);
    if (unsoldText.trimmed().isEmpty()) continue;
    int unsold = 0;
    const qint64 taken = grdRetour->Cells(c, row).toLongLong();
    // Not a quantity yet (letters are painted in red, a decimal or an oversized number as typed):
    // counts once corrected.
    if (!ParseQuantity(unsoldText, unsold)) continue;
    const int k = (c - kFirstPair) / 2;
    if (k >= int(titles_.size())) break;
    amount.Add(titles_[k].id, titles_[k].price, taken, unsold);
  }
  const Currency total = amount.Total();
  grdRetour->SetCells(2, row, CurrToStrF(total));
  return total;
}

void TfrmRetour::UpdateDeleteButton() {
  TQuery q;
  InDataPath(q);
  q.SQL.Add("SELECT COUNT(*) AS N FROM RETOUR WHERE WEEK=:myWeek");
  q.ParamByName("myWeek")->AsDate = Week();
  q.Open();
  const bool any = !q.IsEmpty() && q.Fields(0)->AsInteger() > 0;
  btnDelete->setEnabled(any);
  mnDelete->setEnabled(true);  // the popup's command stays, as the shortcut does
}

void TfrmRetour::UpdateButtons() {
  btnPost->setEnabled(Modified);
  btnCancel->setEnabled(Modified);
}

// ---- week and region ----

bool TfrmRetour::LeavePrompt() {
  if (!Modified) return true;
  if (MessageDlg("Les informations modifiées n'ont pas été enregistrées.\rEnregister ?", MsgDlgType::Warning,
                 mbYes | mbNo) == ModalResult::Yes)
    return Save();
  // "Non" leaves the typing unsaved: Save and Cancel stay on until a save or "Annuler".
  return true;
}

void TfrmRetour::ChangeWeek(const QDate& saturday) {
  SetWeek(saturday);
  LoadGrid();
}

void TfrmRetour::btnPrevClick() {
  if (!LeavePrompt()) return;
  ChangeWeek(Week().addDays(-7));
}

void TfrmRetour::btnNextClick() {
  if (!LeavePrompt()) return;
  ChangeWeek(Week().addDays(7));
}

void TfrmRetour::btnCalendarClick() {
  auto* cal = new TfrmCalendar(nullptr);
  frmCalendar = cal;
  cal->myCalend->setSelectedDate(Week());
  const ModalResult res = Dialogs().RunModal(cal);
  const QDate chosen = cal->myCalend->selectedDate();
  delete cal;
  frmCalendar = nullptr;
  if (res != ModalResult::OK) return;
  if (WeekStart(chosen) != chosen) {
    ShowError("Il faut choisir une date de début de semaine !");
    return;
  }
  if (!LeavePrompt()) return;
  ChangeWeek(chosen);
}

void TfrmRetour::cmbRegionCloseUp() {
  if (!LeavePrompt()) {
    // The typed cells stay on screen with the region they belong to.
    cmbRegion->SetKeyValue(loadedRegion_);
    return;
  }
  LoadGrid();
}

// ---- entry ----

void TfrmRetour::grdRetourSetEditText(int, int row, const QString&) {
  editedRow_ = row;
  Modified = true;
  CellEdited = true;
  UpdateButtons();
}

void TfrmRetour::grdRetourEditCancel() {
  if (!Modified || modifiedBeforeEdit_) return;
  // The cell has its text back and nothing else was typed: nothing is left to save.
  Modified = false;
  CellEdited = false;
  UpdateButtons();
}

void TfrmRetour::grdRetourClick() {
  // The second click on the current cell opens its editor right after this.
  if (!grdRetour->EditorMode()) modifiedBeforeEdit_ = Modified;
  const int c = grdRetour->Col();
  TGridOptions o = grdRetour->Options() & ~goEditing;
  if (IsUnsoldCol(c) && GridLoaded) o |= goEditing;
  grdRetour->SetOptions(o);
  if (CellEdited) {
    // The row typed into, wherever the cursor went.
    if (editedRow_ >= 3 && editedRow_ < grdRetour->RowCount()) CalcClientAmount(editedRow_);
    CellEdited = false;
  }
  if (!syncing_) {
    syncing_ = true;
    struct Reset {
      bool& b;
      ~Reset() { b = false; }
    } reset{syncing_};
    if (c < grdTot->ColCount()) grdTot->FocusCell(c, 0);
    if (SoldCol(c) < grdTot1->ColCount()) grdTot1->FocusCell(std::max(3, SoldCol(c)), 0);
  }
  grdRetour->Invalidate();
  grdTot->Invalidate();
}

void TfrmRetour::grdRetourKeyUp(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  // Only the release of an Enter pressed in the grid: the one that closed the region box's
  // list comes here too once the grid is loaded.
  if (!enterDown_) return;
  enterDown_ = false;
  MoveToUnsold(false);
}

void TfrmRetour::MoveToUnsold(bool back) {
  const int c = grdRetour->Col(), r = grdRetour->Row();
  if (back) {
    if (CellEdited) {
      CalcClientAmount(r);
      CellEdited = false;
    }
    const int to = IsUnsoldCol(c) ? c - 2 : c - 1;
    if (to >= 4) grdRetour->FocusCell(to, r);
    else grdRetour->FocusCell(grdRetour->ColCount() - 1, r > 3 ? r - 1 : grdRetour->RowCount() - 1);
    return;
  }
  const int last = grdRetour->ColCount() - 1;
  // An edited row gets its amount before the cursor leaves it.
  if (CellEdited) {
    CalcClientAmount(r);
    CellEdited = false;
  }
  if (c >= last - 1) {
    const int next = r + 1 < grdRetour->RowCount() ? r + 1 : 3;
    grdRetour->FocusCell(4, next);
  } else if (IsUnsoldCol(c)) {
    grdRetour->FocusCell(c + 2, r);
  } else {
    grdRetour->FocusCell(c + 1, r);
  }
}

void TfrmRetour::grdRetourTopLeftChanged() {
  const int left = grdRetour->LeftCol();
  grdTot->SetLeftCol(left);
  grdTot1->SetLeftCol(std::max(3, SoldCol(left)));
  grdTot->Invalidate();
  grdRetour->Invalidate();
}

void TfrmRetour::grdTotClick() {
  if (syncing_) return;
  syncing_ = true;
  struct Reset {
    bool& b;
    ~Reset() { b = false; }
  } reset{syncing_};
  const int c = grdTot->Col();
  GuardEvent([&] { grdRetour->FocusCell(c, grdRetour->Row()); });
  grdTot1->FocusCell(std::max(3, SoldCol(c)), 0);
  grdTot->Invalidate();
  grdRetour->Invalidate();
}

void TfrmRetour::grdRetourMouseMove(int x, int y) {
  int c = -1, r = -1;
  grdRetour->MouseToCell(x, y, c, r);
  if (r == 1 && c >= 0) {
    const QString t = grdRetour->Cells(c, 1);
    grdRetour->setToolTip(t);
    stBar->Panels[2]->setText(t);
  }
}

// ---- save, cancel, delete, new week ----

bool TfrmRetour::Save() {
  const QDate week = Week();
  CurrentWeek = week;
  const int last = grdRetour->RowCount() - 1;
  // Every cell is checked before anything is written.
  for (int r = 3; r <= last; ++r)
    for (int c = kFirstPair + 1; c < grdRetour->ColCount(); c += 2) {  // the typed (unsold) cells
      int v = 0;
      if (!ParseQuantity(grdRetour->Cells(c, r), v)) {
        ShowError("La quantité invendue doit être numérique!");
        grdRetour->FocusCell(c, r);
        UpdateButtons();
        return false;
      }
    }
  ProcessMessages();
  PassProgress progress(this, "Sauvegarde", last - 2 + 1, true);
  std::vector<QString> titles;
  for (int c = kFirstPair; c + 1 < grdRetour->ColCount(); c += 2) titles.push_back(grdRetour->Cells(c, 0));
  if (std::find(titles.begin(), titles.end(), QString()) != titles.end()) titles.clear();  // no title listed
  const int nt = int(titles.size());
  // Only the cells that differ from what the grid was loaded from (and the saves since) are written.
  std::vector<trade::ClientReturns> rows;
  for (int r = 3; r <= last && nt > 0; ++r) {
    trade::ClientReturns row{grdRetour->Cells(0, r), std::vector<int>(nt, 0)};
    if (row.client.isEmpty()) continue;
    for (int k = 0; k < nt; ++k) ParseQuantity(grdRetour->Cells(kFirstPair + 2 * k + 1, r), row.qte[k]);
    rows.push_back(std::move(row));
  }
  try {
    trade::StoreWeekReturns(Retour, DataPath, {week}, titles, rows, stored_, [&] { progress.Step(); });
  } catch (...) {
    UpdateButtons();
    HandleException(std::current_exception());
    return false;
  }
  Modified = false;
  UpdateButtons();
  UpdateDeleteButton();
  return true;
}

void TfrmRetour::btnPostClick() { Save(); }

void TfrmRetour::btnCancelClick() {
  if (Modified && !AgreesToDropTyping()) return;
  LoadGrid();
  Modified = false;
  UpdateButtons();
}

void TfrmRetour::mnDeleteClick() {
  if (!LeavePrompt()) return;
  if (!ConfirmYesNo("Etes-vous sûr de vouloir supprimer ?")) return;
  DeleteWeek();
}

void TfrmRetour::DeleteWeek() {
  {
    HourGlass hg;
    trade::DeleteWeekReturns(DataPath, {Week()});
  }
  lkpRetour.Refresh();
  Retour.Refresh();
  // The typed cells belonged to the week just emptied.
  Modified = false;
  UpdateButtons();
  LoadGrid();
  ProcessMessages();
}

void TfrmRetour::btnLoadClick() {
  HourGlass hg;
  ReadTitles();
  const QDate week = Week();
  const QString region = RegionKey();
  const QStringList clients = trade::RegionClients(DataPath, region);
  const int nc = int(clients.size());
  PassProgress progress(this, "Traitement ...", nc, true);
  stBar->Panels[1]->setText(IntToStr(nc) + " clients");
  std::vector<QString> titles;
  for (const TitleInfo& t : titles_) titles.push_back(t.id);
  trade::CreateWeekReturns(DataPath, {week}, region, clients, titles, stored_, [&] { progress.Step(); });
  Retour.Refresh();
  lkpRetour.Refresh();
  UpdateDeleteButton();
  ProcessMessages();
}

// ---- taking correction ----

void TfrmRetour::grdRetourDblClick() {
  const int c = grdRetour->Col(), r = grdRetour->Row();
  if (!IsTakenCol(c) || !GridLoaded) return;
  const QString client = grdRetour->Cells(0, r), title = grdRetour->Cells(c, 0);
  if (client.isEmpty() || title.isEmpty()) return;
  const QDate week = Week();
  auto* f = new TfrmModifPrise(nullptr);
  struct Owned {
    TfrmModifPrise* f;
    ~Owned() { delete f; }
  } owned{f};
  f->Disto.SetFilter("(DATEJ>='" + DateToStr(week) + "') and (DATEJ<='" + DateToStr(trade::Week{week}.Friday()) +
                     "') and " + FilterEq("ID_CLIENT", client) + " and " + FilterEq("ID_Titre", title));
  f->Disto.SetFiltered(true);
  if (f->Disto.IsEmpty()) {
    // A zero taking on the Saturday at the client's net price, so that the window has one row to
    // correct (the price has the rebate already).
    const trade::TitlePrice net{GetPU(client, title)};
    trade::TakingStore(Disto, DataPath, week).Store(client, title, 0, &net);
    f->Disto.Refresh();
    f->Disto.First();
  }
  Dialogs().RunModal(f);
  grdRetour->SetCells(c, r, IntToStr(GetWeekPrise(client, title, week)));
  // The cell's price as the takings hold it now.
  const auto one = trade::ReadWeekTakings(DataPath, {week}, QString(), client);
  const QString key = trade::TakingKey(client, title);
  if (one.contains(key)) weekCells_.insert(key, one.value(key));
  CalcClientAmount(r);
  grdRetour->Invalidate();
}

// ---- totals ----

void TfrmRetour::ShowTotals(const QString& client) {
  HourGlass hg;
  const QDate week = Week();
  lkpRetour.SetFiltered(false);
  PassProgress progress(this, "Sauvegarde", grdRetour->ColCount() - 3, true);
  for (TStringGrid* g : {grdTot, grdTot1}) g->ClearCells();
  ProcessMessages();
  QString caption;
  QStringList clients;
  // Rebates are added to those of the region shown, which the grid's amounts still need.
  TQuery q;
  InDataPath(q);
  if (client == "*") {
    caption = "Total général ";
    q.SQL.Add("SELECT ID FROM CLIENT");
    ReadRebates(QString());
  } else {
    q.SQL.Add("SELECT ID, NOM FROM CLIENT WHERE ID=:myClient");
    q.ParamByName("myClient")->AsString = client;
  }
  q.Open();
  for (const auto& r : q.ReadRows(0, q.RecordCount())) {
    clients << r[0].toString();
    if (client != "*") caption = "Total de " + r[1].toString();
  }
  q.Close();
  if (client != "*") ReadRebates(QString(), client);
  const QString only = client == "*" ? QString() : client;
  const auto takings = trade::ReadWeekTakings(DataPath, {week}, QString(), only);
  const auto returns = trade::ReadWeekReturns(DataPath, {week}, QString(), only);
  Currency amount;
  struct Restore {
    TfrmRetour* w;
    Currency& amount;
    QString& caption;
    ~Restore() {
      w->grdTot1->SetCells(2, 0, CurrToStrF(amount));
      w->grdTot->SetCells(1, 0, caption);
      w->grdTot->Invalidate();
      w->grdTot1->Invalidate();
    }
  } restore{this, amount, caption};
  // The titles the grid has columns for (a new week reads the titles again).
  std::vector<QString> titles;
  for (const TitleInfo& t : titles_) {
    if (kFirstPair + 2 * int(titles.size()) >= grdRetour->ColCount()) break;
    titles.push_back(t.id);
  }
  const trade::WeekTotals totals =
      trade::SumWeek(takings, returns, clients, titles, [this](const QString& cl, int k) { return NetPrice(cl, k); });
  amount = totals.amount;
  for (int c = kFirstPair; c < grdRetour->ColCount(); ++c) {
    if (IsTakenCol(c)) {
      const int k = (c - kFirstPair) / 2;
      if (k >= int(titles.size())) break;
      const qint64 taken = totals.titles[size_t(k)].taken, unsold = totals.titles[size_t(k)].unsold;
      grdTot->SetCells(c, 0, IntToStr(taken));
      grdTot->SetCells(c + 1, 0, IntToStr(unsold));
      grdTot1->SetCells(SoldCol(c), 0,
                        IntToStr(taken - unsold) + "    [" + IntToStr(trade::PercentSold(taken, unsold)) + "%]");
    }
    progress.Step();
  }
}

void TfrmRetour::mnTotClientClick() {
  const QString client = grdRetour->Cells(0, grdRetour->Row());
  if (client.isEmpty()) return;
  ShowTotals(client);
}

void TfrmRetour::mnTotGClick() { ShowTotals("*"); }

void TfrmRetour::mnTotRClick() {
  if (!LeavePrompt()) return;
  LoadGrid();
}

void TfrmRetour::menuRetourPopup() {
  mnTotClient->setText("Total de  " + grdRetour->Cells(1, grdRetour->Row()));
}

void TfrmRetour::btnMenuClick() {
  menuRetour->popup(btnMenu->mapToGlobal(QPoint(3, btnMenu->height())));
}

void TfrmRetour::contextMenuEvent(QContextMenuEvent* e) { menuRetour->popup(e->globalPos()); }

void TfrmRetour::mnPrintClick() { TfrmMain::OpenWindow(WindowKey::Print); }

void TfrmRetour::FormClose() {
  if (!LeavePrompt()) Abort();
  Region.Close();
  lkpRetour.Close();
  Retour.Close();
  Disto.Close();
  Titre.Close();
  Client.Close();
}

// ---- painting ----

void TfrmRetour::grdRetourDrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = g->Canvas();
  QPainter* p = cv->Painter();
  const QString text = g->Cells(col, row);
  const int cur = g->Row();
  auto right = [&](const QColor& bg, const QColor& fg, bool bold = false, bool underline = false) {
    cv->Brush.Color = bg;
    cv->FillRect(rect);
    cv->Font.Color = fg;
    cv->Font.Bold = bold;
    cv->Font.Underline = underline;
    const QRect t = rect.adjusted(0, 0, -6, 0);
    // A quantity or an amount wider than its column shows as "#" marks, never cut.
    const QString shown = row >= 3 && col >= 2 ? FitInCell(text, t.width(), cv->CurrentFont()) : text;
    cv->DrawText(t, Qt::AlignRight | Qt::AlignVCenter, shown);
  };
  auto left = [&](const QColor& bg, const QColor& fg, int dx) {
    cv->Brush.Color = bg;
    cv->FillRect(rect);
    cv->Font.Color = fg;
    cv->Font.Bold = false;
    cv->Font.Underline = false;
    cv->DrawText(rect.adjusted(dx, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
  };
  if (row <= 2 && col <= 2) {
    if (row == 0) right(StdColors::Silver(), Qt::black);
    else left(StdColors::Silver(), Qt::black, 1);
  } else if (row <= 1) {
    // One name across both columns of a pair.
    cv->Brush.Color = RGBColor(0xE5E5E5);
    cv->FillRect(rect);
    cv->Font.Color = StdColors::Navy();
    cv->Font.Bold = false;
    cv->Font.Underline = false;
    const bool first = IsTakenCol(col);
    const QString name = first ? text : g->Cells(col - 1, row);
    const QRect span = first ? QRect(rect.left() + 1, rect.top() + 3, rect.width() + kPairColWidth, rect.height())
                             : QRect(rect.left() - kPairColWidth + 1, rect.top() + 3, rect.width() + kPairColWidth,
                                     rect.height());
    p->save();
    p->setClipRect(rect);
    cv->DrawText(span, Qt::AlignLeft | Qt::AlignTop, name);
    p->restore();
    if (first) {
      p->setPen(Qt::black);
      p->drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    }
  } else if (row == 2) {
    right(StdColors::Gray(), Qt::white);
  } else if (col <= 1) {
    if (row == cur) left(StdColors::Navy(), Qt::white, 2);
    else left(RGBColor(0xFEF5BC), Qt::black, 2);
  } else {
    const QColor band = row % 2 == 0 ? RGBColor(0xCEEDFF) : RGBColor(0xFEEFC0);
    if (row == cur) right(StdColors::Navy(), Qt::white);
    else if (IsTakenCol(col)) right(band, StdColors::Red(), true, true);
    else right(band, g->FontColor().isValid() ? g->FontColor() : QColor(Qt::black));
    if (col >= 3 && !IsNumber(text)) right(StdColors::Red(), Qt::white);
  }
  if ((state & (gdSelected | gdFocused)) && !(state & gdFixed)) right(Qt::white, StdColors::Red());
  if (col % 2 == 1) {
    p->setPen(StdColors::Silver());
    p->drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    p->setPen(Qt::black);
    p->drawLine(rect.left() + 1, rect.top(), rect.left() + 1, rect.bottom());
  }
}

void TfrmRetour::grdTot1DrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = g->Canvas();
  const QString text = g->Cells(col, row);
  QColor bg, fg;
  Qt::Alignment align = Qt::AlignRight;
  if (col <= 2) {
    bg = RGBColor(0xFEF5BC);
    fg = Qt::black;
  } else if (g == grdTot) {
    if (state & (gdSelected | gdFocused)) {
      bg = StdColors::Navy();
      fg = Qt::white;
      align = Qt::AlignHCenter;
    } else {
      bg = col % 2 == 1 ? QColor(Qt::black) : StdColors::Red();
      fg = Qt::white;
    }
  } else {
    bg = Qt::black;
    fg = StdColors::Lime();
    align = Qt::AlignHCenter;
  }
  cv->Brush.Color = bg;
  cv->FillRect(rect);
  cv->Font.Color = fg;
  cv->Font.Bold = false;
  cv->Font.Underline = false;
  const QRect t = rect.adjusted(0, 2, -3, 2);
  const bool number = g == grdTot && col > 2;
  // A caption too long for its cell ("Total de " and a long name) keeps its start in view.
  if (col <= 2 && QFontMetrics(cv->CurrentFont()).horizontalAdvance(text) > t.width()) align = Qt::AlignLeft;
  cv->DrawText(t, align | Qt::AlignVCenter, number ? FitInCell(text, t.width(), cv->CurrentFont()) : text);
}

bool TfrmRetour::eventFilter(QObject* o, QEvent* e) {
  if (o == grdRetour->InplaceEditor() && e->type() == QEvent::ShortcutOverride) {
    const auto* ke = static_cast<QKeyEvent*>(e);
    const QKeySequence pressed(ke->keyCombination());
    for (QAction* a : actions())
      if (a->isEnabled() && a->shortcut() == pressed) {
        e->ignore();  // not the editor's: the shortcut goes to the window's command
        return true;
      }
  }
  return TAppForm::eventFilter(o, e);
}
