#include "refdata/UClient.h"

#include <QApplication>
#include <QMouseEvent>

#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "refdata/URegion.h"
#include "refdata/USite.h"
#include "shell/global.h"

namespace {
const char* kDelete = "Etes-vous sûr de vouloir supprimer cet enregistrement ?";
}  // namespace

TfrmClient::TfrmClient(QWidget* parent)
    : TRecordForm(parent, Client, dsClient), dsClient(&Client), dsRegion(&Region), dsSite(&Site), dsRegion1(&Region1) {
  setObjectName("frmClient");
  setWindowTitle("Mise à jour des Clients");
  Client.Name = "Client";
  Client.SetTableName("Client.DB");
  Client.SetIndexFieldNames("Nom");
  Region.SetTableName("Region.db");
  Site.SetTableName("Site.DB");
  Region1.SetTableName("Region.db");
  for (TTable* t : {&Client, &Region, &Site, &Region1}) InDataPath(*t);
  Client.BeforePost = [this](TDataSet&) { ClientBeforePost(); };

  setFixedSize(720, 470);

  BuildTopPanel(720);
  chkTri = new QCheckBox(Panel3);
  chkTri->setObjectName("chkTri");
  chkTri->setGeometry(300, 12, 18, 18);
  Label17 = MakeLabel(Panel3, "&Tri par No Ordre", 320, 12, 120);
  Label17->setBuddy(chkTri);
  Label17->installEventFilter(this);

  // Left panel: the list, the search boxes and the region filter.
  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, 42, 250, 406);
  DBGrid1 = new TDBGrid(Panel1);
  DBGrid1->setObjectName("DBGrid1");
  DBGrid1->setGeometry(4, 4, 242, 300);
  DBGrid1->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                      dgAlwaysShowSelection | dgCancelOnExit);
  DBGrid1->SetReadOnly(true);
  DBGrid1->AddColumn("Id", "Code", 49);
  DBGrid1->AddColumn("Nom", "Nom/Raison sociale", 160);
  DBGrid1->SetDataSource(&dsClient);
  DBGrid1->OnDrawColumnCell = [this](TDBGrid* g, const QRect& r, int c, TColumn& col, TGridDrawState s) {
    DBGrid1DrawColumnCell(g, r, c, col, s);
  };
  rCode = new QLineEdit(Panel1);
  rCode->setObjectName("rCode");
  rCode->setGeometry(4 + 13, 308, 50, 22);
  rNom = new QLineEdit(Panel1);
  rNom->setObjectName("rNom");
  rNom->setGeometry(4 + 13 + 50, 308, 161, 22);
  for (QLineEdit* e : {rCode, rNom}) {
    MakeUpperCase(e);
    SetColors(e, QColor(), StdColors::Maroon());
  }
  cmbRegion1 = BuildFilter(Panel1, "Route", "cmbRegion1", &dsRegion1, 8, 336, 160);

  // Right panel: the record.
  Panel2 = new QWidget(this);
  Panel2->setGeometry(250, 42, 470, 406);
  GradientBackground(Panel2);
  const int lx = 12, ex = 120;
  int y = 8;
  auto row = [&](const QString& label) {
    MakeLabel(Panel2, label, lx, y + 3, 105);
    const int at = y;
    y += 28;
    return at;
  };
  edCode = FieldEdit(Panel2, "edCode", &dsClient, "Id", ex, row("Code"), 60);
  edCode->SetReadOnly(true);
  edCode->SetColors(RGBColor(0xE6E6E6), QColor());
  edCode->setFocusPolicy(Qt::StrongFocus);
  edOrd = FieldEdit(Panel2, "edOrd", &dsClient, "Ord", ex, row("No Ordre "), 60);
  edOrd->SetMaxLength(4);
  edRs = FieldEdit(Panel2, "edRs", &dsClient, "Nom", ex, row("Nom/R.Sociale"), 330);
  int at = row("Région ");
  cmbRegion = LookupBox(Panel2, "cmbRegion", &dsRegion, ex, at, 220);
  cmbRegion->SetDataSource(&dsClient);
  cmbRegion->SetDataField("Region");
  BitBtn1 = new QPushButton("...", Panel2);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAutoDefault(false);
  BitBtn1->setGeometry(ex + 224, at, 26, 22);
  at = row("Site ");
  cmbSite = LookupBox(Panel2, "cmbSite", &dsSite, ex, at, 220);
  cmbSite->SetDataSource(&dsClient);
  cmbSite->SetDataField("Site");
  BitBtn2 = new QPushButton("...", Panel2);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setAutoDefault(false);
  BitBtn2->setGeometry(ex + 224, at, 26, 22);
  edAdr = FieldEdit(Panel2, "edAdr", &dsClient, "Adr", ex, row("Adresse"), 330);
  DBEdit5 = FieldEdit(Panel2, "DBEdit5", &dsClient, "Tel", ex, row("Téléphone"), 160);
  DBEdit6 = FieldEdit(Panel2, "DBEdit6", &dsClient, "Fax", ex, row("Fax"), 160);
  for (TDBEdit* e : {edCode, edOrd, edRs, edAdr}) e->SetCharCase(TEditCharCase::ecUpperCase);
  for (QWidget* w : std::initializer_list<QWidget*>{edCode, edOrd, edRs, cmbRegion, cmbSite, edAdr, DBEdit5, DBEdit6})
    SetBold(w);

  GroupAb = new QGroupBox("Abattements", Panel2);
  GroupAb->setGeometry(lx, y + 6, 450, 100);
  const char* abLabels[6] = {"Quotidien", "Hebdomadaire", "Bimensuel", "Mensuel ", "Bimestriel ", "Trimestriel "};
  const char* abNames[6] = {"edAb0", "edab1", "edAb2", "edAb3", "edab4", "edab5"};
  TDBEdit** abEdits[6] = {&edAb0, &edab1, &edAb2, &edAb3, &edab4, &edab5};
  for (int i = 0; i < 6; ++i) {
    const int cx = 10 + (i % 3) * 146, cy = 24 + (i / 3) * 36;
    MakeLabel(GroupAb, QString::fromUtf8(abLabels[i]), cx, cy + 3, 92);
    TDBEdit* e = FieldEdit(GroupAb, abNames[i], &dsClient, QString("Ab%1").arg(i), cx + 92, cy, 46);
    e->SetMaxLength(4);
    SetBold(e);
    e->SetColors(StdColors::Black(), StdColors::White());
    *abEdits[i] = e;
  }

  BuildStatusBar(448, 720);

  // Tab order of the record.
  QWidget* order[] = {edCode, edOrd, edRs, cmbRegion, cmbSite, edAdr, DBEdit5, DBEdit6,
                      edAb0, edab1, edAb2, edAb3, edab4, edab5};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  for (TDBEdit* e : {edCode, edOrd, edRs, edAdr, DBEdit5, DBEdit6, edAb0, edab1, edAb2, edAb3, edab4, edab5})
    e->OnKeyPress = [this](QWidget* s, QChar& k) { edCodeKeyPress(s, k); };
  for (TDBLookupComboBox* c : {cmbRegion, cmbSite})
    c->OnKeyPress = [this](QWidget* s, QChar& k) { edCodeKeyPress(s, k); };

  // Events.
  dsClient.OnDataChange = [this](TDataSource*, TField*) { dsClientDataChange(); };
  dsClient.OnStateChange = [this](TDataSource*) { UpdateButtons(); };
  OnClick(btnAdd, this, &TfrmClient::btnAddClick);
  OnClick(btnDelete, this, &TfrmClient::btnDeleteClick);
  OnClick(btnPost, this, &TfrmClient::btnPostClick);
  OnClick(btnCancel, this, &TfrmClient::btnCancelClick);
  OnClick(btnClose, this, &TfrmClient::btnCloseClick);
  OnClick(chkTri, this, &TfrmClient::chkTriClick);
  OnClick(chkTout, this, &TfrmClient::chkToutClick);
  OnClick(BitBtn1, this, &TfrmClient::BitBtn1Click);
  OnClick(BitBtn2, this, &TfrmClient::BitBtn2Click);
  connect(rCode, &QLineEdit::textChanged, this, [this] { GuardEvent([this] { rCodeChange(); }); });
  connect(rNom, &QLineEdit::textChanged, this, [this] { GuardEvent([this] { rNomChange(); }); });
  cmbRegion1->OnCloseUp = [this](TDBLookupComboBox*) { cmbRegion1CloseUp(); };

  CenterOnScreen();
  FormCreate();
}

TfrmClient::~TfrmClient() {
  for (TDBGrid* g : {DBGrid1}) g->SetDataSource(nullptr);
}

void TfrmClient::FormCreate() {
  OpenNamed(Site);
  OpenNamed(Region1);
  OpenNamed(Region);
  OpenNamed(Client);
}

void TfrmClient::showEvent(QShowEvent* e) {
  TRecordForm::showEvent(e);
  if (!shown_) {
    shown_ = true;
    GuardEvent([this] { FormShow(); });
  }
}

void TfrmClient::FormShow() { UpdateButtons(); }

void TfrmClient::dsClientDataChange() {
  UpdateButtons();
  if (Client.Active()) stBar->Panels[1]->setText(IntToStr(Client.RecordCount()) + "  Clients");
}

void TfrmClient::btnAddClick() {
  Client.CheckBrowseMode();
  Client.Append();
  Client.FieldByName("Id")->AsString = NewKey(&Client, "ID", 4);
  edOrd->setFocus();
}

void TfrmClient::btnDeleteClick() {
  Client.CheckBrowseMode();
  Beep();
  // An empty table (or an empty filtered view) has nothing to delete.
  if (ConfirmYesNo(kDelete) && !Client.IsEmpty()) Client.Delete();
}

void TfrmClient::FormClose() {
  DropBadInput();
  Client.CheckBrowseMode();  // the checks run; a refused record keeps the window open
  Site.Close();
  Client.Close();
  Region.Close();
  Region1.Close();
}

void TfrmClient::rCodeChange() {
  Client.Locate("Id", rCode->text(), loCaseInsensitive | loPartialKey);
}

void TfrmClient::rNomChange() {
  Client.Locate("Nom", rNom->text(), loCaseInsensitive | loPartialKey);
}

void TfrmClient::chkTriClick() { Client.SetIndexFieldNames(chkTri->isChecked() ? "Ord" : "Nom"); }

bool TfrmClient::eventFilter(QObject* o, QEvent* e) {
  if (o == Label17 && e->type() == QEvent::MouseButtonRelease) {
    chkTri->click();  // the label toggles its box, which reorders
    return true;
  }
  return TRecordForm::eventFilter(o, e);
}

void TfrmClient::chkToutClick() { ToutesClicked(cmbRegion1); }

void TfrmClient::cmbRegion1CloseUp() { FilterOnChoice(cmbRegion1, "REGION"); }

void TfrmClient::BitBtn1Click() {
  auto* w = new TfrmRegion(this);
  Dialogs().RunModal(w);
  delete w;
  Region.Refresh();
}

void TfrmClient::BitBtn2Click() {
  auto* w = new TfrmSite(this);
  Dialogs().RunModal(w);
  delete w;
  Site.Refresh();
}

void TfrmClient::edCodeKeyPress(QWidget* sender, QChar& key) {
  RecordKeyPress(sender, key, edab5, edCode, [this] {
    Client.Insert();
    Client.FieldByName("Id")->AsString = NewKey(&Client, "ID", 4);
  });
}

void TfrmClient::ClientBeforePost() {
  if (Client.FieldByName("Id")->AsString().trimmed().isEmpty()) Refuse("Le Code Client est manquant !", edCode);
  if (Client.FieldByName("Nom")->AsString().trimmed().isEmpty()) Refuse("Le Nom du Client est manquant !", edRs);
  if (Client.FieldByName("Region")->AsString().trimmed().isEmpty()) Refuse("La région est manquante !", cmbRegion);
  if (Client.FieldByName("Site")->AsString().trimmed().isEmpty()) Refuse("Le Site est manquant !", cmbSite);
}

void TfrmClient::DBGrid1DrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column,
                                       TGridDrawState state) {
  DrawStripedCell(grid, rect, dataCol, column, state);
}
