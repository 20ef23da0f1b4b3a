#include "operations/UDisto.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <optional>

#include "operations/OpsCommon.h"
#include "operations/Quantity.h"
#include "rules/TradeRules.h"
#include "operations/UGetDay.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/UCalendar.h"
#include "shell/UMain.h"
#include "shell/global.h"


TfrmDisto::TfrmDisto(QWidget* parent)
    : TDayForm(parent), dsDisto(&Disto), dsClient(&Client), dsTitre(&Titre), dsRegion1(&Region1) {
  setObjectName("frmDisto");
  setWindowTitle("Distribution");
  Disto.Name = "Disto";
  Disto.SetTableName("Disto.db");
  Disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  lkpDisto.SetTableName("Disto.db");
  lkpDisto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  Client.Name = "Client";
  Client.SetTableName("Client.DB");
  Client.SetIndexFieldNames("Ord");
  Titre.SetTableName("Titre.db");
  Region1.SetTableName("Region.db");
  for (TTable* t : {&Disto, &lkpDisto, &Client, &Titre, &Region1}) InDataPath(*t);
  Disto.AfterPost = [this](TDataSet&) { DbiSaveChanges(Disto); };
  Disto.BeforeInsert = [this](TDataSet&) {
    if (!allowInsert_) Abort();  // rows come only from the window's passes
  };
  Disto.BeforePost = [this](TDataSet&) {
    int q;
    if (!ParseQuantity(Disto.FieldByName("Qte_Prise")->AsString(), q)) {
      ShowError(kQuantityNotNumber);
      Abort();
    }
  };
  // The row being typed is stored before another client is shown.
  Client.BeforeScroll = [this](TDataSet&) { Disto.CheckBrowseMode(); };
  Client.AfterScroll = [this](TDataSet&) { ShowDay(); };

  setFixedSize(760, 520);
  pnlButtons = new QWidget(this);
  pnlButtons->setGeometry(0, 0, 760, 48);
  btnLoad = GlyphButton(pnlButtons, "btnLoad", QStyle::SP_FileDialogNewFolder, "Charger des prises nulles");
  btnLoad->move(6, 8);
  btnDelete = GlyphButton(pnlButtons, "btnDelete", QStyle::SP_TrashIcon, "Supprimer des prises");
  btnDelete->move(44, 8);
  btnPrint = GlyphButton(pnlButtons, "btnPrint", QStyle::SP_FileDialogDetailedView, "Imprimer");
  btnPrint->move(82, 8);
  lDay = new QLabel(pnlButtons);
  lDay->setObjectName("lDay");
  lDay->setGeometry(130, 9, 96, 28);
  pnlDate = new QLabel(pnlButtons);
  pnlDate->setObjectName("pnlDate");
  pnlDate->setGeometry(230, 9, 120, 28);
  for (QLabel* l : {lDay, pnlDate}) {
    SetBold(l);
    l->setAlignment(Qt::AlignCenter);
    SetColors(l, StdColors::Black(), StdColors::Lime());
  }
  pnlDate->installEventFilter(this);
  btnPrev = new QToolButton(pnlButtons);
  btnPrev->setObjectName("btnPrev");
  btnPrev->setArrowType(Qt::LeftArrow);
  btnPrev->setGeometry(360, 9, 28, 28);
  btnMenu = new QPushButton("&Menu", pnlButtons);
  btnMenu->setObjectName("btnMenu");
  SetBold(btnMenu);
  btnMenu->setGeometry(392, 9, 80, 28);
  btnNext = new QToolButton(pnlButtons);
  btnNext->setObjectName("btnNext");
  btnNext->setArrowType(Qt::RightArrow);
  btnNext->setGeometry(476, 9, 28, 28);
  btnFermer = GlyphButton(pnlButtons, "btnFermer", QStyle::SP_DialogCloseButton, "Fermer");
  btnFermer->move(716, 8);
  for (QPushButton* b : {btnLoad, btnDelete, btnPrint, btnMenu, btnFermer}) b->setAutoDefault(false);

  Panel2 = new QWidget(this);
  Panel2->setGeometry(0, 48, 760, 450);
  grdClient = new TDBGrid(Panel2);
  grdClient->setObjectName("grdClient");
  grdClient->setGeometry(4, 4, 330, 340);
  grdClient->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                        dgAlwaysShowSelection);
  grdClient->SetReadOnly(true);
  grdClient->SetColor(StdColors::Black());
  grdClient->SetFontColor(StdColors::White());
  TColumn& code = grdClient->AddColumn("Id", "Code", 50);
  code.Alignment = code.TitleAlignment = Qt::AlignHCenter;
  TColumn& ord = grdClient->AddColumn("Ord", "No Ordre", 60);
  ord.Alignment = ord.TitleAlignment = Qt::AlignHCenter;
  ord.Color = StdColors::Maroon();
  grdClient->AddColumn("Nom", "Nom", 190);
  grdClient->SetDataSource(&dsClient);
  rCode = new QLineEdit(Panel2);
  rCode->setObjectName("rCode");
  rCode->setGeometry(16, 348, 50, 22);
  rNom = new QLineEdit(Panel2);
  rNom->setObjectName("rNom");
  rNom->setGeometry(126, 348, 190, 22);
  for (QLineEdit* e : {rCode, rNom}) {
    MakeUpperCase(e);
    SetColors(e, QColor(), StdColors::Maroon());
  }
  MakeLabel(Panel2, "Région", 8, 378);
  cmbRegion1 = RegionBox(Panel2, "cmbRegion1", &dsRegion1, QRect(8, 396, 200, 24));
  cmbRegion1->setEnabled(false);
  SetColors(cmbRegion1, StdColors::Silver());
  chkTout = new QCheckBox("Toutes", Panel2);
  chkTout->setObjectName("chkTout");
  chkTout->setGeometry(216, 398, 80, 20);
  chkTout->setChecked(true);

  grdDisto = new TDBGrid(Panel2);
  grdDisto->setObjectName("grdDisto");
  grdDisto->setGeometry(340, 4, 414, 440);
  grdDisto->SetOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                       dgCancelOnExit);
  TColumn& cTitre = grdDisto->AddColumn("Id_Titre", "Code", 50);
  cTitre.ReadOnly = true;
  cTitre.Color = RGBColor(0xDCDADA);
  TColumn& lTitre = grdDisto->AddColumn("lTitre", "Titre", 220);
  lTitre.ReadOnly = true;
  lTitre.Color = RGBColor(0xDCDADA);
  lTitre.LookupDataSet = &Titre;
  lTitre.KeyField = "Id_Titre";
  lTitre.LookupKeyField = "Id";
  lTitre.LookupResultField = "Titre";
  TColumn& qte = grdDisto->AddColumn("Qte_Prise", "Prise", 80);
  qte.TitleAlignment = Qt::AlignRight;
  qte.Alignment = Qt::AlignRight;
  qte.Color = RGBColor(0xCBFFC1);
  qte.DisplayFormat = "### ##0";
  grdDisto->SetDataSource(&dsDisto);

  stBar = new QStatusBar(this);
  stBar->setSizeGripEnabled(false);
  stBar->setGeometry(0, 498, 760, 22);

  menuDisto = new QMenu(this);
  mnLoad = menuDisto->addAction("Charger des prises nulles");
  menuDisto->addSeparator();
  mnInsert = menuDisto->addAction("Importer des prises");
  mnDelete = menuDisto->addAction("Supprimer des prises");
  menuDisto->addSeparator();
  mnPrint = menuDisto->addAction("Imprimer");

  WireDayControls(btnPrev, btnNext, btnMenu, chkTout, btnFermer);
  OnCommand({btnLoad, mnLoad}, &TfrmDisto::btnLoadClick);
  OnCommand({btnDelete, mnDelete}, &TfrmDisto::mnDeleteClick);
  OnCommand({mnInsert}, &TfrmDisto::mnInsertClick);
  OnCommand({btnPrint, mnPrint}, &TfrmDisto::mnPrintClick);
  OnCommand({rCode}, &TfrmDisto::rCodeChange);
  OnCommand({rNom}, &TfrmDisto::rNomChange);
  cmbRegion1->OnCloseUp = [this](TDBLookupComboBox*) { Command([this] { cmbRegion1CloseUp(); }); };
  grdClient->OnTitleClick = [this](TDBGrid*, TColumn& c) { Command([this, &c] { grdClientTitleClick(c); }); };
  grdDisto->OnColEnter = [this](TDBGrid*) { grdDistoColEnter(); };
  grdDisto->OnDblClick = [this](TDBGrid*) { Command([this] { LoadNullPrises(QString()); }); };
  qApp->installEventFilter(this);

  CenterOnScreen();
  FormCreate();
}

TfrmDisto::~TfrmDisto() {
  qApp->removeEventFilter(this);
  grdClient->SetDataSource(nullptr);
  grdDisto->SetDataSource(nullptr);
}

void TfrmDisto::FormCreate() {
  CurrentDay = Date();
  pnlDate->setText(DateToStr(CurrentDay));
  for (TDataSet* d : std::initializer_list<TDataSet*>{&Titre, &lkpDisto, &Disto, &Client, &Region1}) d->Open();
  ShowDay();
}

void TfrmDisto::FormClose() {
  if (busy_) Abort();
  Disto.CheckBrowseMode();  // the row being typed is stored (a refused one keeps the window open)
  Region1.Close();
  lkpDisto.Close();
  Disto.Close();
  Titre.Close();
  Client.Close();
}

QString TfrmDisto::CurrentClient() {
  if (!Client.Active() || Client.IsEmpty()) return QString();
  return Client.FieldByName("Id")->AsString().trimmed();
}

void TfrmDisto::ShowDay() {
  lDay->setText(DayName(CurrentDay));
  if (!Disto.Active()) return;
  Disto.SetFilter("(" + FilterEq("DATEJ", pnlDate->text()) + ") and (" + FilterEq("ID_CLIENT", CurrentClient()) + ")");
  Disto.SetFiltered(true);
  Disto.First();
  Disto.Refresh();
}

void TfrmDisto::SetDay(const QDate& d) {
  Disto.CheckBrowseMode();
  CurrentDay = d;
  pnlDate->setText(DateToStr(d));
  ShowDay();
}

void TfrmDisto::btnPrevClick() { SetDay(StrToDate(pnlDate->text()).addDays(-1)); }
void TfrmDisto::btnNextClick() { SetDay(StrToDate(pnlDate->text()).addDays(1)); }

void TfrmDisto::pnlDateDblClick() {
  Disto.CheckBrowseMode();
  if (const auto chosen = AskCalendarDay(CurrentDay)) SetDay(*chosen);
}

void TfrmDisto::grdDistoColEnter() {
  if (grdDisto->SelectedIndex() < 2) grdDisto->SetSelectedIndex(2);
}

void TfrmDisto::Pass(const std::function<void()>& body) {
  busy_ = true;
  Disto.CheckBrowseMode();
  SetScreenCursor(TCursor::crHourGlass);
  Disto.DisableControls();
  Client.DisableControls();
  auto end = [this] {
    allowInsert_ = false;
    Client.EnableControls();
    Disto.EnableControls();
    if (Disto.Active()) Disto.First();
    grdDisto->SetSelectedIndex(2);
    grdDisto->setFocus();
    if (Disto.Active() && !Disto.IsEmpty()) grdDisto->SetEditorMode(true);
    SetScreenCursor(TCursor::crDefault);
    busy_ = false;
    ProcessMessages();
  };
  try {
    body();
  } catch (...) {
    end();
    throw;
  }
  end();
}

void TfrmDisto::LoadNullPrises(const QString& client) {
  Pass([&] {
    // The clients of the list (or the one given) and the titles, read once.
    const QString keptFilter = Client.Filter();
    const bool keptFiltered = Client.Filtered();
    std::vector<QString> clients;
    {
      const int id = Client.FieldByName("Id")->Index();
      for (const auto& row : Client.ReadRows(0, Client.RecordCount()))
        if (client.isEmpty() || row[id].toString() == client) clients.push_back(row[id].toString());
    }
    struct TitleRow {
      QString id;
      trade::TitlePrice price;
    };
    std::vector<TitleRow> titles;
    {
      const int id = Titre.FieldByName("Id")->Index(), prix = Titre.FieldByName("Prix")->Index(),
                periode = Titre.FieldByName("Periode")->Index();
      for (const auto& row : Titre.ReadRows(0, Titre.RecordCount()))
        titles.push_back({row[id].toString(),
                          {Currency::FromDouble(row[prix].toDouble()), trade::PeriodIndex(row[periode].toString())}});
    }
    std::optional<PassProgress> progress;
    if (client.isEmpty()) progress.emplace(this, "Chargement ...", int(clients.size()));
    allowInsert_ = true;
    Disto.SetFiltered(false);
    TDbTransaction tx(DataPath);
    try {
      trade::TakingStore store(Disto, DataPath, CurrentDay, trade::TakingStore::Pass{});
      int done = 0;
      for (const QString& c : clients) {
        for (const TitleRow& t : titles)
          if (!store.Has(c, t.id)) store.Store(c, t.id, 0, &t.price);
        if (progress) progress->SetValue(++done);
      }
      tx.Commit();
    } catch (...) {
      if (Disto.State() != dsBrowse) Disto.Cancel();
      tx.Rollback();
      Client.SetFilter(keptFilter);
      Client.SetFiltered(keptFiltered);
      throw;
    }
    DbiSaveChanges(Disto);
    Client.SetFilter(keptFilter);
    Client.SetFiltered(keptFiltered);
    Client.First();
    ShowDay();
  });
}

void TfrmDisto::btnLoadClick() {
  LoadNullPrises(QString());
  grdClient->setFocus();
}

void TfrmDisto::mnInsertClick() {
  const auto choice = AskDayChoice("Importation", "Importer les prises de :");
  grdClient->setFocus();
  if (!choice) return;
  QString code, scopeText = "et les appliquer à tous les clients";
  if (!choice->allClients) {
    code = CurrentClient();
    if (code.isEmpty()) return;  // no client: nothing goes to another one
    scopeText = " et les appliquer au client " + Client.FieldByName("Nom")->AsString();
  }
  if (MessageDlg(choice->Question("d'importer", scopeText), MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  LoadNullPrises(code);
  ImportPrises(code, choice->day);
  grdClient->setFocus();
}

void TfrmDisto::ImportPrises(const QString& client, const QDate& sourceDay) {
  Pass([&] {
    const QHash<QString, int> source = trade::ReadDayQuantities(DataPath, sourceDay);
    // The shown day's rows of the client, or of every client whatever the list shows; only the
    // titles ticked in the dialog.
    const QStringList ticked = SelectedTitles ? *SelectedTitles : QStringList();
    const QHash<QString, int> targets = trade::ReadDayQuantities(DataPath, CurrentDay, QString(), client);
    Disto.SetFiltered(false);
    TDbTransaction tx(DataPath);
    try {
      trade::TakingStore store(Disto, DataPath, CurrentDay);  // only the rows the day has
      for (auto it = targets.constBegin(); it != targets.constEnd(); ++it) {
        const QString c = it.key().section(QChar(0x1F), 0, 0), t = it.key().section(QChar(0x1F), 1);
        if (!ticked.contains(t)) continue;
        const int q = source.value(it.key(), 0);
        if (it.value() != q) store.Store(c, t, q);
      }
      tx.Commit();
    } catch (...) {
      if (Disto.State() != dsBrowse) Disto.Cancel();
      tx.Rollback();
      ShowDay();
      throw;
    }
    ShowDay();
  });
}

void TfrmDisto::mnDeleteClick() {
  const auto choice = AskDayChoice("Suppression", "Supprimer les prises de :");
  grdClient->setFocus();
  if (!choice) return;
  QString code, scopeText = "et les appliquer à tous les clients";
  if (!choice->allClients) {
    code = CurrentClient();
    if (code.isEmpty()) return;
    scopeText = " et les appliquer au client " + Client.FieldByName("Nom")->AsString();
  }
  if (MessageDlg(choice->Question("de supprimer", scopeText), MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  DeletePrises(code, choice->day);
  grdClient->setFocus();
}

void TfrmDisto::DeletePrises(const QString& client, const QDate& day) {
  Pass([&] {
    TQuery q;
    q.SetDatabaseName(DataPath);
    q.SQL.Add("DELETE FROM DISTO.DB WHERE DATEJ=:myDay");
    if (!client.isEmpty()) q.SQL.Add("AND ID_CLIENT=:myClient");
    q.ParamByName("myDay")->AsDate = day;
    if (!client.isEmpty()) q.ParamByName("myClient")->AsString = client;
    q.ExecSQL();
    ShowDay();
  });
}

void TfrmDisto::btnMenuClick() {
  menuDisto->popup(btnMenu->mapToGlobal(QPoint(3, btnMenu->height() + 23 - 20)));
}

void TfrmDisto::mnPrintClick() {
  Disto.CheckBrowseMode();
  // The report chooser, when the program has it.
  TfrmMain::OpenWindow(WindowKey::Print);
}

void TfrmDisto::rCodeChange() { Client.Locate("Id", rCode->text(), loCaseInsensitive | loPartialKey); }
void TfrmDisto::rNomChange() { Client.Locate("Nom", rNom->text(), loCaseInsensitive | loPartialKey); }

void TfrmDisto::grdClientTitleClick(TColumn& column) { Client.SetIndexFieldNames(column.FieldName); }

void TfrmDisto::chkToutClick() {
  const bool all = chkTout->isChecked();
  cmbRegion1->setEnabled(!all);
  Client.SetFiltered(!all);
  SetColors(cmbRegion1, all ? StdColors::Silver() : StdColors::Window());
}

void TfrmDisto::cmbRegion1CloseUp() {
  const QVariant key = cmbRegion1->KeyValue();
  if (key.isNull()) return;
  Client.SetFilter(FilterEq("REGION", key.toString()));
  Client.First();
}

bool TfrmDisto::eventFilter(QObject* o, QEvent* e) {
  if (DateDoubleClicked(o, e, pnlDate, [this] { pnlDateDblClick(); })) return true;
  // A right click anywhere in the window opens its menu, over the controls' own menus.
  if (e->type() == QEvent::ContextMenu && o->isWidgetType() && static_cast<QWidget*>(o)->window() == this &&
      !menuDisto->isVisible()) {
    if (!busy_) menuDisto->popup(static_cast<QContextMenuEvent*>(e)->globalPos());
    return true;
  }
  if (e->type() == QEvent::KeyPress && o->isWidgetType() && static_cast<QWidget*>(o)->window() == this) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {  // FormShortCut: the day, consumed
      Command([this, key] { key == Qt::Key_PageUp ? btnPrevClick() : btnNextClick(); });
      return true;
    }
  }
  return TDayForm::eventFilter(o, e);
}
