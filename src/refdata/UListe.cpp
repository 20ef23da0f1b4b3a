#include "refdata/UListe.h"

#include <QApplication>
#include <QKeyEvent>

#include "platform/db/Transaction.h"
#include "shell/Settings.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

#if !__has_include("controls/QVNumEdit.h")
void TListNumberEdit::keyPressEvent(QKeyEvent* e) {
  QString t = e->text();
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) t = QString(QChar(13));
  if (OnKeyPress && t.size() == 1) {
    QChar k = t.at(0);
    OnKeyPress(this, k);
    if (k.isNull()) return;
  }
  QLineEdit::keyPressEvent(e);
}

void TListNumberEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (OnExit) OnExit(this);
}
#endif

namespace {
bool IsListNo(long double v) { return v >= 1 && v <= TfrmListe::LastListNo; }

// The two one-pixel lines along a cell's left edge: silver, then the given colour.
void DrawLeftEdge(TCanvas* cv, const QRect& rect, const QColor& inner) {
  cv->Pen.Color = StdColors::Silver();
  cv->MoveTo(rect.left() - 2, rect.top());
  cv->LineTo(rect.left() - 2, rect.bottom() + 1);
  cv->Pen.Color = inner;
  cv->MoveTo(rect.left() - 1, rect.top());
  cv->LineTo(rect.left() - 1, rect.bottom() + 1);
}

const QString kFull = "La liste est complète !\rVous ne pouvez pas ajouter de titres à cette liste.";
}

TfrmListe::TfrmListe(QWidget* parent) : TAppForm(parent), dsTitre(&qTitre), dsListe(&qListe), dsRegion(&qRegion) {
  setObjectName("frmListe");
  setWindowTitle("Confection des listes");
  qTitre.SQL.Add("SELECT ID, NORD, TITRE FROM TITRE.DB");
  qTitre.SQL.Add("ORDER BY NORD");
  qRegion.SQL.Add("SELECT * FROM REGION");
  qRegion.SQL.Add("ORDER BY LIBELLE");
  TLISTE.SetTableName("TLISTE.db");
  for (TDataSet* d : std::initializer_list<TDataSet*>{&qTitre, &qListe, &qRegion, &TLISTE}) InDataPath(*d);
  qTitre.OnFilterRecord = [this](TDataSet& ds, bool& accept) { qTitreFilterRecord(ds, accept); };
  qListe.BeforeDelete = [](TDataSet&) { Abort(); };

  setFixedSize(620, 500);
  GradientBackground(this, QRect(0, 0, 620, 478));
  Label1 = MakeLabel(this, "Liste N° & Titre", 12, 10, 120);
  SetBold(Label1);
  edNoListe = new TListNumberEdit(this);
  edNoListe->setObjectName("edNoListe");
  edNoListe->setGeometry(12, 30, 60, 24);
  edNoListe->setAlignment(Qt::AlignCenter);
  SetBold(edNoListe);
  SetColors(edNoListe, StdColors::Black(), StdColors::Lime());
#if __has_include("controls/QVNumEdit.h")
  edNoListe->SetDecimals(-1);
  edNoListe->SetAlignment(TAlignment::taCenter);
#endif
  btnP = new QToolButton(this);
  btnP->setObjectName("btnP");
  btnP->setArrowType(Qt::LeftArrow);
  btnP->setToolTip("Liste précédente");
  btnP->setGeometry(76, 30, 24, 24);
  btnN = new QToolButton(this);
  btnN->setObjectName("btnN");
  btnN->setArrowType(Qt::RightArrow);
  btnN->setToolTip("Liste suivante");
  btnN->setGeometry(102, 30, 24, 24);
  for (QToolButton* b : {btnP, btnN}) b->setFocusPolicy(Qt::NoFocus);
  edTitre = new QLineEdit(this);
  edTitre->setObjectName("edTitre");
  edTitre->setGeometry(132, 30, 210, 24);
  edTitre->setMaxLength(20);
  MakeLabel(this, "Région", 356, 12);
  cmbRegion = new TDBLookupComboBox(this);
  cmbRegion->setObjectName("cmbRegion");
  cmbRegion->SetListSource(&dsRegion);
  cmbRegion->SetKeyField("ID");
  cmbRegion->SetListField("LIBELLE");
  cmbRegion->setGeometry(356, 30, 180, 24);

  grdListe = new TStringGrid(this);
  grdListe->setObjectName("grdListe");
  grdListe->setGeometry(12, 66, 260, 16 * 20 + 4);
  grdListe->SetColCount(3);
  grdListe->SetRowCount(16);
  grdListe->SetFixedRows(1);
  grdListe->SetFixedCols(1);
  grdListe->SetDefaultRowHeight(19);
  grdListe->SetColWidths(0, 19);
  grdListe->SetColWidths(1, 40);
  grdListe->SetColWidths(2, 174);
  grdListe->SetScrollBars(TScrollStyle::ssNone);
  grdListe->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRowSelect | goRowMoving);
  grdListe->SetDefaultDrawing(false);
  grdListe->OnDrawCell = [this](TStringGrid* g, int c, int r, const QRect& rc, TGridDrawState s) {
    grdListeDrawCell(g, c, r, rc, s);
  };
  grdListe->OnRowMoved = [this](TStringGrid*, int from, int to) { grdListeRowMoved(from, to); };
  grdListe->OnDblClick = [this](TStringGrid*) { btnRetireClick(); };

  btnAdd = new QPushButton("<   Ajouter un titre", this);
  btnAdd->setObjectName("btnAdd");
  btnRetire = new QPushButton(">  Retirer un titre", this);
  btnRetire->setObjectName("btnRetire");
  btnRetireAll = new QPushButton(">> Supprimer la liste", this);
  btnRetireAll->setObjectName("btnRetireAll");
  int by = 70;
  for (QPushButton* b : {btnAdd, btnRetire, btnRetireAll}) {
    b->setGeometry(282, by, 150, 26);
    b->setAutoDefault(false);
    by += 32;
  }

  grdTitre = new TDBGrid(this);
  grdTitre->setObjectName("grdTitre");
  grdTitre->setGeometry(282, 170, 326, 216);
  grdTitre->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                       dgAlwaysShowSelection | dgMultiSelect);
  grdTitre->SetReadOnly(true);
  grdTitre->SetColor(RGBColor(0xECEBEA));
  TColumn& code = grdTitre->AddColumn("ID", "Code", 50);
  code.TitleAlignment = Qt::AlignHCenter;
  TColumn& titre = grdTitre->AddColumn("TITRE", "Titre", 220);
  titre.Color = RGBColor(0xDDDDDD);
  grdTitre->SetDataSource(&dsTitre);
  grdTitre->OnDrawColumnCell = [this](TDBGrid* g, const QRect& r, int c, TColumn& col, TGridDrawState s) {
    grdListeDrawColumnCell(g, r, c, col, s);
  };
  grdTitre->OnDblClick = [this](TDBGrid*) { btnAddClick(); };

  btnSave = new QPushButton("Enregistrer", this);
  btnSave->setObjectName("btnSave");
  btnSave->setDefault(true);
  btnCancel = new QPushButton("Annuler", this);
  btnCancel->setObjectName("btnCancel");
  btnMenu = new QPushButton("&Menu", this);
  btnMenu->setObjectName("btnMenu");
  SetBold(btnMenu);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  btnClose->setObjectName("btnClose");
  int bx = 282;
  for (QPushButton* b : {btnSave, btnCancel, btnMenu, btnClose}) {
    b->setGeometry(bx, 400, 78, 28);
    if (b != btnSave) b->setAutoDefault(false);
    bx += 82;
  }
  btnSave->setEnabled(false);
  btnCancel->setEnabled(false);

  PopMenu = new QMenu(this);
  mnSave = PopMenu->addAction("Enregistrer les modifications");
  mnCancel = PopMenu->addAction("Annuler les modifications");
  PopMenu->addSeparator();
  mnNext = PopMenu->addAction("Liste suivante");
  mnPrev = PopMenu->addAction("Liste Précédente");
  mnSaveTitle = PopMenu->addAction("Enregistrer le titre de la liste");
  PopMenu->addSeparator();
  mnAdd = PopMenu->addAction("Ajouter un titre");
  mnRetire = PopMenu->addAction("Retirer un titre");
  mnRetireAll = PopMenu->addAction("Retirer tous les titres");
  PopMenu->addSeparator();
  mnPrint = PopMenu->addAction("Imprimer la liste");
  PopMenu->addSeparator();
  mnClose = PopMenu->addAction("&Fermer");
  mnSave->setEnabled(false);
  mnCancel->setEnabled(false);

  stBar = new TPanelStatusBar(this, {50, 150, 250});
  stBar->setObjectName("stBar");
  stBar->setGeometry(0, 478, 620, 22);

  auto guarded = [this](void (TfrmListe::*m)()) { return [this, m] { GuardEvent([&] { (this->*m)(); }); }; };
  OnClick(btnAdd, this, &TfrmListe::btnAddClick);
  OnClick(btnRetire, this, &TfrmListe::btnRetireClick);
  OnClick(btnRetireAll, this, &TfrmListe::btnRetireAllClick);
  OnClick(btnSave, this, &TfrmListe::btnSaveClick);
  OnClick(btnCancel, this, &TfrmListe::btnCancelClick);
  OnClick(btnMenu, this, &TfrmListe::btnMenuClick);
  OnClick(btnP, this, &TfrmListe::btnPClick);
  OnClick(btnN, this, &TfrmListe::btnNClick);
  connect(btnClose, &QPushButton::clicked, this, [this] { Close(); });
  connect(mnSave, &QAction::triggered, this, guarded(&TfrmListe::btnSaveClick));
  connect(mnCancel, &QAction::triggered, this, guarded(&TfrmListe::btnCancelClick));
  connect(mnNext, &QAction::triggered, this, guarded(&TfrmListe::btnNClick));
  connect(mnPrev, &QAction::triggered, this, guarded(&TfrmListe::btnPClick));
  connect(mnSaveTitle, &QAction::triggered, this, guarded(&TfrmListe::mnSaveTitleClick));
  connect(mnAdd, &QAction::triggered, this, guarded(&TfrmListe::btnAddClick));
  connect(mnRetire, &QAction::triggered, this, guarded(&TfrmListe::btnRetireClick));
  connect(mnRetireAll, &QAction::triggered, this, guarded(&TfrmListe::btnRetireAllClick));
  connect(mnClose, &QAction::triggered, this, [this] { Close(); });
  edTitre->installEventFilter(this);
  edNoListe->OnKeyPress = [this](QObject*, QChar& k) {
    if (k == QChar(13)) {
      k = QChar();
      GuardEvent([this] { edNoListeExit(); });
    }
  };
  edNoListe->OnExit = [this](QObject*) {
    leavingNumber_ = true;
    GuardEvent([this] { edNoListeExit(); });
    leavingNumber_ = false;
  };
  cmbRegion->OnCloseUp = [this](TDBLookupComboBox*) { cmbRegionCloseUp(); };
  dsTitre.OnDataChange = [this](TDataSource*, TField*) { dsTitreDataChange(); };
  qApp->installEventFilter(this);  // the window's own keys come before its controls'

  CenterOnScreen();
  FormCreate();
}

TfrmListe::~TfrmListe() {
  qApp->removeEventFilter(this);
  grdTitre->SetDataSource(nullptr);
}

void TfrmListe::FormCreate() {
  MaxListTitles = 15;
  {
    CurrentListNo = TZelmIni().NoListe();
  }
  if (!IsListNo(CurrentListNo)) CurrentListNo = 1;
  grdListe->SetRowCount(16);
  grdListe->SetCells(0, 0, "No");
  grdListe->SetCells(1, 0, "Code");
  grdListe->SetCells(2, 0, "Titre");
  OpenNamed(qRegion);
  qTitre.SetFiltered(true);
  OpenNamed(qTitre);
  LoadListe();
  ToggleLock();
}

void TfrmListe::FormClose() {
  {
    TZelmIni().SetNoListe(CurrentListNo);
  }
  qTitre.Close();
  qListe.Close();
  qRegion.Close();
}

void TfrmListe::qTitreFilterRecord(TDataSet& ds, bool& accept) {
  accept = !listTitles_.contains(ds.FieldByName("ID")->AsString());
}

void TfrmListe::UpdateListButtons() {
  if (!qTitre.Active()) return;
  btnAdd->setEnabled(!qTitre.IsEmpty());
  const bool hasRows = qListe.Active() && !qListe.IsEmpty();
  btnRetire->setEnabled(hasRows);
  btnRetireAll->setEnabled(hasRows);
}

void TfrmListe::dsTitreDataChange() {
  UpdateListButtons();
  if (qTitre.Active()) stBar->Panels[1]->setText(IntToStr(qTitre.RecordCount()) + "  titres affichés");
}

void TfrmListe::SetSaveEnabled(bool on) {
  btnSave->setEnabled(on);
  btnCancel->setEnabled(on);
  mnSave->setEnabled(on);
  mnCancel->setEnabled(on);
}

void TfrmListe::SaveHeading(int listNo) {
  TQuery q;
  InDataPath(q);
  q.SQL.Add("UPDATE TLISTE.DB SET TITRELISTE=:Titre WHERE NOLISTE=:NoListe");
  q.ParamByName("Titre")->AsString = edTitre->text();
  q.ParamByName("NoListe")->AsInteger = listNo;
  q.ExecSQL();
  if (listNo == shownList_) storedHeading_ = edTitre->text();
}

// Pending messages run while a list loads, but no input: a click that moved the focus out of the
// number box must reach its button after the load, not be delivered in the middle of it. While the
// focus is changing nothing runs at all (the press that moved it is not yet handled).
static void LetPaintsRun(bool focusChanging) {
  if (!focusChanging) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmListe::LoadListe() {
  SetScreenCursor(TCursor::crHourGlass);
  for (int r = 1; r <= 15; ++r) {
    grdListe->SetCells(0, r, IntToStr(r));
    grdListe->SetCells(1, r, "");
    grdListe->SetCells(2, r, "");
  }
  // The heading is stored only when it was changed: a folder that cannot be written is no
  // reason to refuse moving from one list to another.
  if (shownList_ > 0 && edTitre->text() != storedHeading_) SaveHeading(shownList_);
  edNoListe->SetValue(CurrentListNo);
  LetPaintsRun(leavingNumber_);
  qListe.Close();
  qListe.SQL.Clear();
  qListe.SQL.Add("SELECT A.NOLISTE, A.NORD, TITRELISTE, A.ID_REGION, A.ID_TITRE, B.ID, B.TITRE");
  qListe.SQL.Add("FROM TLISTE A, TITRE B WHERE (A.ID_TITRE=B.ID) AND NOLISTE=:NoListe");
  qListe.SQL.Add("ORDER BY NORD, B.TITRE");
  qListe.ParamByName("NoListe")->AsInteger = CurrentListNo;
  OpenNamed(qListe);
  shownList_ = CurrentListNo;
  const auto rows = qListe.ReadRows(0, qListe.RecordCount());
  const int fHead = qListe.FieldByName("TITRELISTE")->Index(), fRegion = qListe.FieldByName("ID_REGION")->Index(),
            fId = qListe.FieldByName("ID_TITRE")->Index(), fTitre = qListe.FieldByName("TITRE")->Index();
  if (rows.empty()) {
    edTitre->setText("");
    cmbRegion->SetKeyValue(QVariant());
  } else {
    edTitre->setText(rows[0].value(fHead).toString());
    const QString region = rows[0].value(fRegion).toString();
    cmbRegion->SetKeyValue(region.isEmpty() ? QVariant() : QVariant(region));
  }
  listTitles_.clear();
  int r = 1;
  for (const auto& row : rows) {
    listTitles_.insert(row.value(fId).toString());
    if (r <= 15) {
      grdListe->SetCells(1, r, row.value(fId).toString());
      grdListe->SetCells(2, r, row.value(fTitre).toString());
    }
    ++r;
  }
  storedHeading_ = edTitre->text();
  RowsInList = int(rows.size());
  // Titles picked in the grid stay picked while they are still offered: reading the list again
  // (leaving the number box on the way to "Ajouter") must not undo the operator's choice.
  QStringList picked;
  TBookmarkList& sel = grdTitre->SelectedRows();
  for (int i = 0; i < sel.Count(); ++i)
    if (qTitre.Active() && qTitre.BookmarkValid(sel[i])) {
      qTitre.GotoBookmark(sel[i]);
      picked << qTitre.FieldByName("ID")->AsString();
    }
  qTitre.Close();
  OpenNamed(qTitre);
  if (!picked.isEmpty()) {
    for (const QString& id : picked)
      if (qTitre.Locate("ID", id)) grdTitre->SelectedRows().SetCurrentRowSelected(true);
    qTitre.First();
  }
  qListe.First();
  UpdateListButtons();
  SetScreenCursor(TCursor::crDefault);
  LetPaintsRun(leavingNumber_);
}

void TfrmListe::ToggleLock() {
  for (QWidget* w : std::initializer_list<QWidget*>{btnAdd, btnRetire, btnRetireAll, btnSave, btnCancel, btnMenu})
    w->setVisible(w->isHidden());
  for (QWidget* w : std::initializer_list<QWidget*>{cmbRegion, grdTitre, grdListe}) w->setEnabled(!w->isEnabled());
  if (!grdTitre->isEnabled()) {
    grdTitre->SetColor(StdColors::Silver());
    grdListe->SetColor(StdColors::Silver());
    stBar->Panels[2]->setText("Ecran verrouillé - F5 pour déverrouiller");
  } else {
    grdTitre->SetColor(StdColors::BtnFace());
    grdListe->SetColor(StdColors::Window());
    stBar->Panels[2]->setText("F5 pour verrouiller");
  }
}

void TfrmListe::btnAddClick() {
  TBookmarkList& sel = grdTitre->SelectedRows();
  if (RowsInList >= MaxListTitles) {
    ShowError(kFull);
    Abort();
  }
  if (cmbRegion->KeyValue().isNull() || cmbRegion->KeyValue().toString().isEmpty()) {
    ShowError("Veuillez sélectionner une région S.V.P.");
    cmbRegion->setFocus();
    Abort();
  }
  if (sel.Count() == 0) return;
  // A list holds fifteen titles: an addition that does not fit is refused as a whole.
  const int room = MaxListTitles - RowsInList;
  if (sel.Count() > room) {
    ShowError("La liste ne peut plus recevoir que " + IntToStr(room) + " titre(s) !\rVous ne pouvez pas ajouter " +
              IntToStr(sel.Count()) + " titres à cette liste.");
    Abort();
  }
  const std::vector<TBookmark> marks(&sel[0], &sel[0] + sel.Count());
  const QString region = cmbRegion->KeyValue().toString();
  ChangeList([&] {
    for (const TBookmark& bm : marks) {
      qTitre.GotoBookmark(bm);
      AppendListRow(RowsInList + 1, region, qTitre.FieldByName("ID")->AsString);
    }
  });
  grdTitre->Invalidate();
  LoadListe();
  sel.Refresh();
  SetSaveEnabled(false);
}

void TfrmListe::AfterRemoval() {
  qListe.Close();
  OpenNamed(qListe);
  LoadListe();
  qListe.First();
  grdTitre->Invalidate();
  grdTitre->SelectedRows().Refresh();
}

void TfrmListe::btnRetireClick() {
  const QString code = grdListe->Cells(1, grdListe->Row());
  if (code.isEmpty()) return;
  if (!ConfirmYesNo("Etes-vous sûr de vouloir supprimer ce titre ?")) return;
  TQuery q;
  InDataPath(q);
  q.SQL.Add("DELETE FROM TLISTE.DB WHERE NOLISTE=:NoListe AND ID_TITRE=:Titre");
  q.ParamByName("NoListe")->AsInteger = CurrentListNo;
  q.ParamByName("Titre")->AsString = code;
  q.ExecSQL();
  AfterRemoval();
}

void TfrmListe::btnRetireAllClick() {
  if (!ConfirmYesNo("Etes-vous sûr de vouloir supprimer la liste ?")) return;
  DeleteList();
  AfterRemoval();
}

void TfrmListe::DeleteList() {
  TQuery q;
  InDataPath(q);
  q.SQL.Add("DELETE FROM TLISTE.DB WHERE NOLISTE=:NoListe");
  q.ParamByName("NoListe")->AsInteger = CurrentListNo;
  q.ExecSQL();
}

void TfrmListe::AppendListRow(int position, const QString& region, const QString& titleId) {
  if (!TLISTE.Active()) TLISTE.Open();
  TLISTE.Append();
  TLISTE.FieldByName("NoListe")->AsInteger = CurrentListNo;
  TLISTE.FieldByName("Nord")->AsInteger = position;
  TLISTE.FieldByName("TitreListe")->AsString = edTitre->text();
  TLISTE.FieldByName("ID_Region")->AsString = region;
  TLISTE.FieldByName("ID_Titre")->AsString = titleId;
  TLISTE.Post();
}

void TfrmListe::ChangeList(const std::function<void()>& change) {
  TDbTransaction tx(DataPath);
  try {
    change();
  } catch (...) {
    if (TLISTE.State() == dsInsert) TLISTE.Cancel();
    TLISTE.Close();
    tx.Rollback();
    throw;
  }
  if (TLISTE.Active()) {
    TLISTE.FlushBuffers();
    TLISTE.Close();
  }
  tx.Commit();
}

// The list is rewritten from the grid in one transaction: it is never left half stored.
void TfrmListe::btnSaveClick() {
  const QString region = cmbRegion->KeyValue().toString();
  ChangeList([&] {
    DeleteList();
    int position = 1;
    for (int r = 1; r <= 15; ++r) {
      const QString code = grdListe->Cells(1, r);
      if (code.isEmpty()) continue;
      AppendListRow(position++, region, code);
    }
  });
  SetSaveEnabled(false);
}

void TfrmListe::btnCancelClick() {
  LoadListe();
  SetSaveEnabled(false);
}

void TfrmListe::grdListeRowMoved(int fromIndex, int toIndex) {
  const bool moved = fromIndex != toIndex;
  if (moved) {
    for (int r = 1; r <= 15; ++r) grdListe->SetCells(0, r, IntToStr(r));
    grdListe->SetRow(toIndex);
  }
  SetSaveEnabled(moved);
}

void TfrmListe::cmbRegionCloseUp() { SetSaveEnabled(true); }

// A number no list can have names no rows: there is nothing to update.
void TfrmListe::mnSaveTitleClick() {
  const long double v = edNoListe->Value();
  if (!IsListNo(v)) return;
  if (int(v) == shownList_ && edTitre->text() == storedHeading_) return;  // nothing changed
  SaveHeading(int(v));
}

void TfrmListe::btnNClick() {
  if (CurrentListNo < LastListNo) {
    CurrentListNo += 1;
    LoadListe();
  }
}

void TfrmListe::btnPClick() {
  if (CurrentListNo > 1) {
    CurrentListNo -= 1;
    LoadListe();
  }
}

void TfrmListe::edNoListeExit() {
  const long double v = edNoListe->Value();
  if (IsListNo(v)) CurrentListNo = int(v);
  else edNoListe->SetValue(CurrentListNo);
  LoadListe();
}

void TfrmListe::btnMenuClick() {
  PopMenu->popup(btnMenu->mapToGlobal(QPoint(0, btnMenu->height())));
}

void TfrmListe::EscapePressed() {
  // Escape is the cancel button's key.
  if (btnCancel->isVisible() && btnCancel->isEnabled()) GuardEvent([this] { btnCancelClick(); });
}

bool TfrmListe::eventFilter(QObject* o, QEvent* e) {
  if (o == edTitre && e->type() == QEvent::FocusOut) {
    GuardEvent([this] { mnSaveTitleClick(); });
  }
  if (o == edTitre && e->type() == QEvent::KeyPress) {
    const int k = static_cast<QKeyEvent*>(e)->key();
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
      GuardEvent([this] { mnSaveTitleClick(); });
      return true;
    }
  }
  if (e->type() == QEvent::KeyPress && o->isWidgetType() && isVisible() &&
      (o == this || isAncestorOf(static_cast<QWidget*>(o))) && !PopMenu->isVisible()) {
    auto* ke = static_cast<QKeyEvent*>(e);
    switch (ke->key()) {
      case Qt::Key_Left:
      case Qt::Key_Down:
        GuardEvent([this] { btnPClick(); });
        return true;
      case Qt::Key_Right:
      case Qt::Key_Up:
        GuardEvent([this] { btnNClick(); });
        return true;
      case Qt::Key_F5:
        ToggleLock();
        return true;
      default:
        break;
    }
  }
  return TAppForm::eventFilter(o, e);
}

void TfrmListe::grdListeDrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column,
                                       TGridDrawState state) {
  TCanvas* cv = grid->Canvas();
  if (state & gdSelected) {
    cv->Brush.Color = StdColors::Navy();
    cv->Font.Color = StdColors::White();
  }
  grid->DefaultDrawColumnCell(rect, dataCol, column, state);
  DrawLeftEdge(cv, rect, RGBColor(0x0080FF));
}

void TfrmListe::grdListeDrawCell(TStringGrid* grid, int col, int row, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = grid->Canvas();
  if (state & gdFixed) cv->Brush.Color = grid->FixedColor();
  else cv->Brush.Color = grid->Color();
  cv->Font.Color = grid->FontColor();
  if (state & gdSelected) {
    cv->Brush.Color = StdColors::Navy();
    cv->Font.Color = StdColors::White();
  }
  cv->FillRect(rect);
  const QString text = grid->Cells(col, row);
  if (col <= 1) {
    const QString t = text.trimmed();
    cv->TextOut(rect.left() + (rect.width() - cv->TextWidth(t)) / 2, rect.top() + 3, t);
  } else {
    cv->TextOut(rect.left() + 3, rect.top() + 3, text);
  }
  DrawLeftEdge(cv, rect, StdColors::Highlight());
}
