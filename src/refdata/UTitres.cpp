#include "refdata/UTitres.h"

#include <QColorDialog>
#include <QKeyEvent>

#include "platform/db/Transaction.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

TfrmTitres::TfrmTitres(QWidget* parent)
    : TRecordForm(parent, Titre, dsTitre), dsTitre(&Titre), dsSite(&Site), dsImprim(&Imprim), dsImprim1(&Imprim1) {
  setObjectName("frmTitres");
  setWindowTitle("Saisie des Titres");
  Titre.Name = "Titre";
  Titre.SetTableName("Titre.db");
  Titre.SetIndexFieldNames("Nord");
  Site.SetTableName("Site.DB");
  Imprim.SetTableName("Imprimerie.db");
  Imprim.SetIndexFieldNames("Id");
  Imprim1.SetTableName("Imprimerie.db");
  Imprim1.SetIndexFieldNames("Id");
  for (TTable* t : std::initializer_list<TTable*>{&Titre, &Site, &Imprim, &Imprim1}) InDataPath(*t);
  InDataPath(myQuery);
  Titre.BeforePost = [this](TDataSet&) { TitreBeforePost(); };
  Titre.InPost = [this] { TitreAfterPost(); };
  Titre.AfterScroll = [this](TDataSet&) { TitreAfterScroll(); };

  setFixedSize(700, 440);
  BuildTopPanel(700);

  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, 42, 240, 376);
  grdTitre = new TDBGrid(Panel1);
  grdTitre->setObjectName("grdTitre");
  grdTitre->setGeometry(4, 4, 232, 300);
  grdTitre->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                       dgAlwaysShowSelection | dgCancelOnExit);
  grdTitre->SetReadOnly(true);
  grdTitre->AddColumn("Id", "Code", 36);
  grdTitre->AddColumn("Titre", "Titre", 162);
  grdTitre->SetDataSource(&dsTitre);
  grdTitre->OnDrawColumnCell = [this](TDBGrid* g, const QRect& r, int c, TColumn& col, TGridDrawState s) {
    grdTitreDrawColumnCell(g, r, c, col, s);
  };
  cmbImp = BuildFilter(Panel1, "Imprimerie", "cmbImp", &dsImprim1, 8, 312, 150);

  Panel2 = new QWidget(this);
  Panel2->setGeometry(240, 42, 460, 376);
  const int lx = 12, ex = 130;
  int y = 10;
  auto row = [&](const QString& label) {
    MakeLabel(Panel2, label, lx, y + 3, 115);
    const int at = y;
    y += 30;
    return at;
  };
  edCode = FieldEdit(Panel2, "edCode", &dsTitre, "Id", ex, row("Code : "), 60);
  edCode->SetReadOnly(true);
  edCode->SetColors(RGBColor(0xE6E6E6), QColor());
  edOrd = FieldEdit(Panel2, "edOrd", &dsTitre, "Nord", ex, row("N° Ordre : "), 60);
  edTitre = FieldEdit(Panel2, "edTitre", &dsTitre, "Titre", ex, row("Titre : "), 300);
  edDiminutif = FieldEdit(Panel2, "edDiminutif", &dsTitre, "Diminutif", ex, row("Diminutif : "), 160);
  int at = row("Couleur : ");
  edColor = FieldEdit(Panel2, "edColor", &dsTitre, "Couleur", ex, at, 90);
  btnAv = new QPushButton("...", Panel2);
  btnAv->setObjectName("btnAv");
  btnAv->setToolTip("Changer la couleur du texte");
  btnAv->setAutoDefault(false);
  btnAv->setGeometry(ex + 96, at, 26, 22);
  myShape = new TShapeCircle(Panel2);
  myShape->setObjectName("myShape");
  myShape->setGeometry(ex + 130, at - 2, 26, 26);
  edPha = FieldEdit(Panel2, "edPha", &dsTitre, "Pha", ex, row("Prix d'achat : "), 90);
  edPrix = FieldEdit(Panel2, "edPrix", &dsTitre, "Prix", ex, row("Prix de vente : "), 90);
  cmbPeriode = new QComboBox(Panel2);
  cmbPeriode->setObjectName("cmbPeriode");
  cmbPeriode->addItems({"Quotidien", "Hebdomadaire", "Bimensuel", "Mensuel", "Bimestriel", "Trimestriel"});
  cmbPeriode->setCurrentIndex(-1);
  cmbPeriode->setGeometry(ex, row("Périodicité : "), 160, 22);
  cmbSite = LookupBox(Panel2, "cmbSite", &dsSite, ex, row("Site : "), 200);
  cmbSite->SetDataSource(&dsTitre);
  cmbSite->SetDataField("Site");
  cmbImprim = LookupBox(Panel2, "cmbImprim", &dsImprim, ex, row("Imprimerie : "), 200);
  cmbImprim->SetDataSource(&dsTitre);
  cmbImprim->SetDataField("Imprimerie");
  for (TDBEdit* e : {edCode, edOrd, edTitre, edDiminutif, edColor, edPha, edPrix})
    e->SetCharCase(TEditCharCase::ecUpperCase);

  BuildStatusBar(418, 700);

  QWidget* order[] = {edCode, edOrd, edTitre, edDiminutif, edColor, edPha, edPrix, cmbPeriode, cmbSite, cmbImprim};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  for (TDBEdit* e : {edCode, edOrd, edTitre, edDiminutif, edColor, edPha, edPrix})
    e->OnKeyPress = [this](QWidget* s, QChar& k) { edCodeKeyPress(s, k); };
  for (TDBLookupComboBox* c : {cmbSite, cmbImprim})
    c->OnKeyPress = [this](QWidget* s, QChar& k) { edCodeKeyPress(s, k); };
  cmbPeriode->installEventFilter(this);

  dsTitre.OnDataChange = [this](TDataSource*, TField*) { dsTitreDataChange(); };
  dsTitre.OnStateChange = [this](TDataSource*) { UpdateButtons(); };
  OnClick(btnAdd, this, &TfrmTitres::btnAddClick);
  OnClick(btnDelete, this, &TfrmTitres::btnDeleteClick);
  OnClick(btnPost, this, &TfrmTitres::btnPostClick);
  OnClick(btnCancel, this, &TfrmTitres::btnCancelClick);
  OnClick(btnClose, this, &TfrmTitres::btnCloseClick);
  OnClick(btnAv, this, &TfrmTitres::btnAvClick);
  OnClick(chkTout, this, &TfrmTitres::chkToutClick);
  connect(cmbPeriode, &QComboBox::activated, this, [this] { GuardEvent([this] { cmbPeriodeChange(); }); });
  cmbImp->OnCloseUp = [this](TDBLookupComboBox*) { cmbImpCloseUp(); };

  CenterOnScreen();
  FormCreate();
  UpdateButtons();
}

TfrmTitres::~TfrmTitres() { grdTitre->SetDataSource(nullptr); }

void TfrmTitres::FormCreate() {
  OpenNamed(Site);
  OpenNamed(Imprim1);
  OpenNamed(Imprim);
  OpenNamed(Titre);
  Titre.First();
  TitreAfterScroll();
}

void TfrmTitres::dsTitreDataChange() {
  if (!Titre.Active()) return;
  myShape->SetBrushColor(IntToColor(Titre.FieldByName("Couleur")->AsInteger));
  UpdateButtons();
  stBar->Panels[1]->setText(IntToStr(Titre.RecordCount()) + "  Titres");
}

// The box shows the current title's periodicity, or no choice when the stored value is none of
// the six codes: it never carries the previous title's choice over.
void TfrmTitres::TitreAfterScroll() {
  if (!Titre.Active()) return;
  const QString p = Titre.FieldByName("Periode")->AsString().trimmed();
  int idx = -1;
  if (IsNumber(p)) {
    const int v = int(StrToFloat(p));
    if (v >= 0 && v < cmbPeriode->count()) idx = v;
  }
  cmbPeriode->setCurrentIndex(idx);
}

void TfrmTitres::cmbPeriodeChange() {
  if (!Editing()) Titre.Edit();
  Titre.FieldByName("Periode")->AsString = IntToStr(cmbPeriode->currentIndex());
}

void TfrmTitres::NewTitle(bool append) {
  if (append) Titre.Append();
  else Titre.Insert();
  Titre.FieldByName("Id")->AsString = NewKey(&Titre, "ID", 4);
  // A new title is a daily until the operator says otherwise.
  Titre.FieldByName("Periode")->AsString = "0";
  cmbPeriode->setCurrentIndex(0);
}

void TfrmTitres::btnAddClick() {
  Titre.CheckBrowseMode();
  NewTitle(true);
  edTitre->setFocus();
}

// The title and its rows in the regions' distribution go together, or not at all.
void TfrmTitres::btnDeleteClick() {
  Titre.CheckBrowseMode();
  Beep();
  if (!ConfirmYesNo("Etes-vous sûr de vouloir supprimer ce titre ?") || Titre.IsEmpty()) return;
  const QString id = Titre.FieldByName("Id")->AsString;
  TDbTransaction tx(DataPath);
  try {
    myQuery.Close();
    myQuery.SQL.Clear();
    myQuery.SQL.Add("DELETE FROM ORGAD WHERE ID_TITRE=:Id");
    myQuery.ParamByName("Id")->AsString = id;
    myQuery.ExecSQL();
    Titre.Delete();
  } catch (...) {
    tx.Rollback();  // the title stays, so do its rows
    throw;
  }
  tx.Commit();
}

void TfrmTitres::btnCancelClick() {
  if (!Editing()) return;
  TRecordForm::btnCancelClick();
  TitreAfterScroll();
}

void TfrmTitres::FormClose() {
  DropBadInput();
  Titre.CheckBrowseMode();  // a refused record keeps the window open
  Site.Close();
  Imprim1.Close();
  Imprim.Close();
  Titre.Close();
}

void TfrmTitres::btnAvClick() {
  QColorDialog ColorDialog1(this);
  ColorDialog1.setObjectName("ColorDialog1");
  ColorDialog1.setCurrentColor(IntToColor(Titre.FieldByName("Couleur")->AsInteger));
  if (Dialogs().RunModal(&ColorDialog1) != ModalResult::OK) return;
  const QColor c = ColorDialog1.currentColor();
  if (!Editing()) Titre.Edit();
  Titre.FieldByName("Couleur")->AsInteger = ColorToInt(c);
  myShape->SetBrushColor(c);
}

void TfrmTitres::chkToutClick() {
  ToutesClicked(cmbImp);
  TitreAfterScroll();
}

void TfrmTitres::cmbImpCloseUp() {
  if (FilterOnChoice(cmbImp, "IMPRIMERIE")) TitreAfterScroll();
}

void TfrmTitres::edCodeKeyPress(QWidget* sender, QChar& key) {
  RecordKeyPress(sender, key, cmbImprim, edCode, [this] { NewTitle(false); });
}

bool TfrmTitres::eventFilter(QObject* o, QEvent* e) {
  if (o == cmbPeriode && e->type() == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
      QChar k(13);
      GuardEvent([&] { edCodeKeyPress(cmbPeriode, k); });
      return true;
    }
  }
  return TRecordForm::eventFilter(o, e);
}

void TfrmTitres::TitreBeforePost() {
  if (Titre.FieldByName("Id")->AsString().trimmed().isEmpty()) Refuse("Le Code Titre est manquant !", edCode);
  if (Titre.FieldByName("Titre")->AsString().trimmed().isEmpty()) Refuse("Le Titre du journal est manquant !", edTitre);
  if (Titre.FieldByName("Prix")->AsString().trimmed().isEmpty()) Refuse("Le prix du journal est manquant !", edPrix);
  if (cmbPeriode->currentText().trimmed().isEmpty()) Refuse("La périodicité est manquante !", cmbPeriode);
  if (Titre.FieldByName("Site")->AsString().trimmed().isEmpty()) Refuse("Le Site est manquant !", cmbSite);
  if (Titre.FieldByName("Imprimerie")->AsString().trimmed().isEmpty())
    Refuse("L'Imprimerie est manquante !", cmbImprim);
  Titre.FieldByName("Periode")->AsString = IntToStr(cmbPeriode->currentIndex());
}

void TfrmTitres::TTitreTable::DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) {
  TDbTransaction tx(DatabaseName());
  try {
    TTable::DoPost(rec, inserting, changed);
    if (InPost) InPost();
  } catch (...) {
    tx.Rollback();
    throw;
  }
  tx.Commit();
}

// Every region's entry for the title carries the title's current order number.
void TfrmTitres::TitreAfterPost() {
  myQuery.Close();
  myQuery.SQL.Clear();
  myQuery.SQL.Add("UPDATE ORGAD SET ORD_TITRE=:Nord WHERE ID_TITRE=:Id");
  myQuery.ParamByName("Nord")->AsInteger = Titre.FieldByName("Nord")->AsInteger;
  myQuery.ParamByName("Id")->AsString = Titre.FieldByName("Id")->AsString;
  myQuery.ExecSQL();
}

void TfrmTitres::grdTitreDrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column,
                                        TGridDrawState state) {
  DrawStripedCell(grid, rect, dataCol, column, state);
}
