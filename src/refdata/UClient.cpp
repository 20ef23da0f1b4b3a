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

TDBEdit* FieldEdit(QWidget* parent, const QString& name, TDataSource* ds, const QString& field, int x, int y, int w) {
  auto* e = new TDBEdit(parent);
  e->setObjectName(name);
  e->SetDataSource(ds);
  e->SetDataField(field);
  e->setGeometry(x, y, w, 22);
  SetBold(e);
  return e;
}

TDBLookupComboBox* LookupBox(QWidget* parent, const QString& name, TDataSource* list, int x, int y, int w) {
  auto* c = new TDBLookupComboBox(parent);
  c->setObjectName(name);
  c->SetListSource(list);
  c->SetKeyField("Id");
  c->SetListField("Libelle");
  c->setGeometry(x, y, w, 22);
  SetBold(c);
  return c;
}
}  // namespace

TfrmClient::TfrmClient(QWidget* parent)
    : TRefForm(parent), dsClient(&Client), dsRegion(&Region), dsSite(&Site), dsRegion1(&Region1) {
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

  // Top panel.
  Panel3 = new QWidget(this);
  Panel3->setGeometry(0, 0, 720, 42);
  GradientBackground(Panel3);
  MyNavigator = new TDBNavigator(Panel3);
  MyNavigator->SetVisibleButtons(nbFirst | nbPrior | nbNext | nbLast);
  MyNavigator->SetDataSource(&dsClient);
  MyNavigator->setGeometry(4, 6, 124, 30);
  btnAdd = GlyphButton(Panel3, "btnAdd", QStyle::SP_FileDialogNewFolder, "Ajouter");
  btnDelete = GlyphButton(Panel3, "btnDelete", QStyle::SP_TrashIcon, "Supprimer");
  btnPost = GlyphButton(Panel3, "btnPost", QStyle::SP_DialogApplyButton, "Enregistrer");
  btnCancel = GlyphButton(Panel3, "btnCancel", QStyle::SP_DialogCancelButton, "Annuler");
  btnAdd->move(136, 6);
  btnDelete->move(172, 6);
  btnPost->move(208, 6);
  btnCancel->move(244, 6);
  chkTri = new QCheckBox(Panel3);
  chkTri->setObjectName("chkTri");
  chkTri->setGeometry(300, 12, 18, 18);
  Label17 = MakeLabel(Panel3, "&Tri par No Ordre", 320, 12, 120);
  Label17->setBuddy(chkTri);
  Label17->installEventFilter(this);
  btnClose = GlyphButton(Panel3, "btnClose", QStyle::SP_DialogCloseButton, "Fermer");
  btnClose->move(720 - 40, 6);

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
  MakeLabel(Panel1, "Route", 8, 336);
  cmbRegion1 = LookupBox(Panel1, "cmbRegion1", &dsRegion1, 8, 354, 160);
  cmbRegion1->setEnabled(false);
  SetColors(cmbRegion1, StdColors::Silver());
  chkTout = new QCheckBox("Toutes", Panel1);
  chkTout->setObjectName("chkTout");
  chkTout->setGeometry(176, 356, 70, 20);
  chkTout->setChecked(true);

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
    e->SetColors(StdColors::Black(), StdColors::White());
    *abEdits[i] = e;
  }

  stBar = new TPanelStatusBar(this, {50, 100, 50});
  stBar->setObjectName("stBar");
  stBar->setGeometry(0, 448, 720, 22);

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
  Site.Open();
  Region1.Open();
  Region.Open();
  Client.Open();
}

void TfrmClient::showEvent(QShowEvent* e) {
  TRefForm::showEvent(e);
  if (!shown_) {
    shown_ = true;
    GuardEvent([this] { FormShow(); });
  }
}

void TfrmClient::FormShow() { UpdateButtons(); }

void TfrmClient::UpdateButtons() {
  const bool editing = Client.State() == dsEdit || Client.State() == dsInsert;
  btnPost->setEnabled(editing);
  btnCancel->setEnabled(editing);
  btnAdd->setEnabled(!editing);
  btnDelete->setEnabled(!editing);
}

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
  if (ConfirmYesNo(kDelete)) Client.Delete();
}

void TfrmClient::btnPostClick() {
  if (Client.State() == dsEdit || Client.State() == dsInsert) Client.Post();
}

void TfrmClient::btnCancelClick() {
  if (Client.State() == dsEdit || Client.State() == dsInsert) Client.Cancel();
}

void TfrmClient::btnCloseClick() { Close(); }

void TfrmClient::FormClose() {
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
  return TRefForm::eventFilter(o, e);
}

void TfrmClient::chkToutClick() {
  const bool all = chkTout->isChecked();
  cmbRegion1->setEnabled(!all);
  Client.SetFiltered(!all);
  SetColors(cmbRegion1, all ? StdColors::Silver() : StdColors::Window());
}

void TfrmClient::cmbRegion1CloseUp() {
  const QVariant key = cmbRegion1->KeyValue();
  if (key.isNull()) return;
  Client.SetFilter(FilterEq("REGION", key.toString()));
  Client.First();
}

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
  if (key != QChar(13)) return;
  key = QChar();
  if (sender == edab5) {
    if (Client.State() == dsEdit || Client.State() == dsInsert) {
      Client.Post();
      Client.Insert();
      Client.FieldByName("Id")->AsString = NewKey(&Client, "ID", 4);
    }
    edCode->setFocus();
    return;
  }
  focusNextChild();
}

void TfrmClient::ClientBeforePost() {
  auto fail = [](const QString& msg, QWidget* w) {
    ShowError(msg);
    w->setFocus();
    Abort();
  };
  if (Client.FieldByName("Id")->AsString().trimmed().isEmpty()) fail("Le Code Client est manquant !", edCode);
  if (Client.FieldByName("Nom")->AsString().trimmed().isEmpty()) fail("Le Nom du Client est manquant !", edRs);
  if (Client.FieldByName("Region")->AsString().trimmed().isEmpty()) fail("La région est manquante !", cmbRegion);
  if (Client.FieldByName("Site")->AsString().trimmed().isEmpty()) fail("Le Site est manquant !", cmbSite);
}

void TfrmClient::DBGrid1DrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column,
                                       TGridDrawState state) {
  TCanvas* cv = grid->Canvas();
  if (grid->DrawRecNo() % 2 == 0) cv->Brush.Color = RGBColor(0xEAEAEA);
  if (state & gdSelected) {
    cv->Brush.Color = RGBColor(0x5EAEFF);
    cv->Font.Color = StdColors::White();
  }
  grid->DefaultDrawColumnCell(rect, dataCol, column, state);
}
