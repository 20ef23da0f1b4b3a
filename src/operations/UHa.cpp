#include "operations/UHa.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QMouseEvent>

#include "operations/Quantity.h"
#include "platform/db/Transaction.h"
#include "platform/sys/Clock.h"
#include "rules/TradeRules.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/UCalendar.h"
#include "shell/global.h"

namespace {
TVxLabel* Label3D(QWidget* parent, const QString& name, const QString& text, const QRect& r, TTextStyle style,
                  TAlignment align = TAlignment::taLeftJustify) {
  auto* l = new TVxLabel(parent);
  l->setObjectName(name);
  l->BeginLoading();
  l->SetAutoSize(false);
  l->setGeometry(r);
  l->SetTransparent(true);
  l->SetAlignment(align);
  QFont f = parent->font();
  f.setBold(true);
  l->setFont(f);
  l->SetTextStyle(style);
  l->SetCaption(text);
  l->Loaded();
  return l;
}
}  // namespace

TfrmHa::TfrmHa(QWidget* parent) : TAppForm(parent), dsHa(&HA) {
  setObjectName("frmHa");
  setWindowTitle("Saisie des Achats");
  HA.Name = "HA";
  HA.SetTableName("Ha.DB");
  HA.SetIndexFieldNames("DateH;Id");
  lkpHa.Name = "lkpHa";
  lkpHa.SetTableName("Ha.DB");
  lkpHa.SetIndexFieldNames("DateH;Id");
  Titre.Name = "Titre";
  Titre.SetTableName("Titre.DB");
  Titre.SetIndexFieldNames("Id");
  for (TTable* t : {&HA, &lkpHa, &Titre}) InDataPath(*t);
  InDataPath(myQuery);
  HA.BeforeInsert = [this](TDataSet&) {
    if (!inserting_) Abort();  // rows come from "&Insérer" only
  };
  HA.BeforePost = [this](TDataSet&) { HABeforePost(); };
  HA.AfterPost = [this](TDataSet&) {
    if (!inserting_) CalcTotals();
  };

  setFixedSize(640, 470);
  Gradient1 = new TGradient(this);
  Gradient1->setObjectName("Gradient1");
  Gradient1->setGeometry(0, 0, 640, 448);
  Gradient1->SetColorEnd(RGB(0xC0, 0xC0, 0xC0));
  Gradient1->SetStyle(TGradientStyle::gsLinearV);

  btnPrev = GlyphButton(this, "btnPrev", QStyle::SP_ArrowLeft, "Jour précédent");
  btnPrev->move(10, 10);
  pnlDate = new QLabel(this);
  pnlDate->setObjectName("pnlDate");
  pnlDate->setGeometry(50, 10, 130, 30);
  pnlDate->setAlignment(Qt::AlignCenter);
  pnlDate->setStyleSheet("QLabel { background: black; color: #00FF00; border: 2px inset gray; }");
  QFont digits("DejaVu Sans Mono");
  digits.setPixelSize(18);
  digits.setBold(true);
  pnlDate->setFont(digits);
  pnlDate->setCursor(Qt::PointingHandCursor);
  pnlDate->setToolTip("Calendrier");
  pnlDate->installEventFilter(this);
  btnNext = GlyphButton(this, "btnNext", QStyle::SP_ArrowRight, "Jour suivant");
  btnNext->move(186, 10);
  lDay = new QLabel(this);
  lDay->setObjectName("lDay");
  lDay->setGeometry(230, 10, 120, 30);
  lDay->setAlignment(Qt::AlignCenter);
  lDay->setFrameShape(QFrame::Panel);
  lDay->setFrameShadow(QFrame::Sunken);
  SetBold(lDay);

  DBGrid1 = new TDBGrid(this);
  DBGrid1->setObjectName("DBGrid1");
  DBGrid1->setGeometry(10, 50, 400, 390);
  DBGrid1->SetOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                      dgAlwaysShowSelection | dgCancelOnExit);
  TColumn& code = DBGrid1->AddColumn("Id", "Code", 44);
  code.ReadOnly = true;
  code.Color = RGBColor(0xE6E6E6);
  TColumn& titre = DBGrid1->AddColumn("lTitre", "Titre", 170);
  titre.LookupDataSet = &Titre;
  titre.KeyField = "Id";
  titre.LookupKeyField = "Id";
  titre.LookupResultField = "Titre";
  titre.ReadOnly = true;
  titre.Color = RGBColor(0xE6E6E6);
  TColumn& qte = DBGrid1->AddColumn("Qte", "Quantité", 70);
  qte.Alignment = Qt::AlignRight;
  qte.DisplayFormat = "### ##0";
  TColumn& pu = DBGrid1->AddColumn("Pu", "P.Unit.", 70);
  pu.Alignment = Qt::AlignHCenter;
  pu.TitleAlignment = Qt::AlignHCenter;
  DBGrid1->SetDataSource(&dsHa);
  DBGrid1->OnKeyPress = [this](TDBGrid* g, QChar& key) {
    if (key.unicode() < 32) return;
    const int col = g->SelectedIndex();
    const bool digit = key >= '0' && key <= '9';
    if (col == 2 && !digit) key = QChar();
    // A comma (the French decimal mark) stays in the price, where the check refuses it: dropped,
    // "1,5" would be stored as 15.
    if (col == 3 && !digit && key != '.' && key != ',') key = QChar();
  };
  DBGrid1->OnDrawColumnCell = [](TDBGrid* g, const QRect& r, int c, TColumn& col, TGridDrawState s) {
    TCanvas* cv = g->Canvas();
    if (s & gdSelected) {
      cv->Brush.Color = StdColors::Navy();
      cv->Font.Color = Qt::white;
    }
    g->DefaultDrawColumnCell(r, c, col, s);
  };

  Gradient2 = new TGradient(this);
  Gradient2->setObjectName("Gradient2");
  Gradient2->setGeometry(420, 50, 210, 230);
  Gradient2->SetColorEnd(RGB(0xC0, 0xC0, 0xC0));
  Gradient2->SetReverse(true);
  Gradient2->SetStyle(TGradientStyle::gsReflectedH);
  lTotaux = Label3D(Gradient2, "lTotaux", "Totaux", QRect(0, 6, 210, 24), TTextStyle::tsRaised, TAlignment::taCenter);
  MakeLabel(Gradient2, "Jour du : ", 10, 44);
  lJour = Label3D(Gradient2, "lJour", QString(), QRect(90, 40, 110, 22), TTextStyle::tsNormal);
  lTotDay = Label3D(Gradient2, "lTotDay", QString(), QRect(10, 68, 190, 26), TTextStyle::tsShadow,
                    TAlignment::taRightJustify);
  MakeLabel(Gradient2, "Semaine du : ", 10, 114);
  lDu = Label3D(Gradient2, "lDu", QString(), QRect(100, 110, 100, 22), TTextStyle::tsNormal);
  MakeLabel(Gradient2, "au : ", 60, 140);
  lAu = Label3D(Gradient2, "lAu", QString(), QRect(100, 136, 100, 22), TTextStyle::tsNormal);
  lTotWeek = Label3D(Gradient2, "lTotWeek", QString(), QRect(10, 166, 190, 26), TTextStyle::tsShadow,
                     TAlignment::taRightJustify);

  btnInsert = new QPushButton("&Insérer", this);
  btnInsert->setObjectName("btnInsert");
  btnInsert->setGeometry(430, 300, 190, 30);
  btnDelete = new QPushButton("&Supprimer", this);
  btnDelete->setObjectName("btnDelete");
  btnDelete->setGeometry(430, 340, 190, 30);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  btnClose->setObjectName("btnClose");
  btnClose->setGeometry(430, 408, 190, 30);
  for (QPushButton* b : {btnInsert, btnDelete, btnClose}) b->setAutoDefault(false);

  stBar = new TPanelStatusBar(this, {120, 200});
  stBar->setObjectName("stBar");
  stBar->setGeometry(0, 448, 640, 22);

  OnClick(btnPrev, this, &TfrmHa::btnPrevClick);
  OnClick(btnNext, this, &TfrmHa::btnNextClick);
  OnClick(btnInsert, this, &TfrmHa::btnInsertClick);
  OnClick(btnDelete, this, &TfrmHa::btnDeleteClick);
  connect(btnClose, &QPushButton::clicked, this, [this] { Close(); });
  dsHa.OnDataChange = [this](TDataSource*, TField* f) {
    if (!f) UpdateButtons();
  };
  qApp->installEventFilter(this);  // the window's own keys come before its controls'

  CenterOnScreen();
  FormCreate();
}

TfrmHa::~TfrmHa() {
  qApp->removeEventFilter(this);
  DBGrid1->SetDataSource(nullptr);
}

void TfrmHa::FormCreate() {
  Titre.Open();
  lkpHa.Open();
  HA.Open();
  ShowDay(Date());
}

void TfrmHa::ShowDay(const QDate& day) {
  HA.CheckBrowseMode();
  Day = day;
  pnlDate->setText(DateToStr(day));
  lDay->setText(DayName(day));
  HA.SetFilter("DATEH='" + DateToStr(day) + "'");
  HA.SetFiltered(true);
  HA.First();
  HA.Refresh();
  UpdateButtons();
  CalcTotals();
}

void TfrmHa::CalcTotals() {
  SetScreenCursor(TCursor::crHourGlass);
  struct Reset {
    ~Reset() { SetScreenCursor(TCursor::crDefault); }
  } reset;
  auto sum = [this](const QString& sql, const QDate& from, const QDate& to) {
    myQuery.Close();
    myQuery.SQL.Clear();
    myQuery.SQL.Add(sql);
    myQuery.ParamByName("d1")->AsDate = from;
    if (TParam* p = myQuery.FindParam("d2")) p->AsDate = to;
    myQuery.Open();
    const QString text = myQuery.IsEmpty() || myQuery.Fields(0)->IsNull() ? QString() : myQuery.Fields(0)->AsString();
    myQuery.Close();
    return text;
  };
  lTotDay->SetCaption(sum("SELECT SUM(QTE) AS TOT FROM HA.DB WHERE DATEH=:d1", Day, Day));
  lJour->SetCaption(DateToStr(Day));
  const trade::Week week = trade::WeekOf(Day);
  lTotWeek->SetCaption(
      sum("SELECT SUM(QTE) AS TOTW FROM HA.DB WHERE DATEH>=:d1 AND DATEH<=:d2", week.saturday, week.Friday()));
  lDu->SetCaption(DateToStr(week.saturday));
  lAu->SetCaption(DateToStr(week.Friday()));
}

void TfrmHa::UpdateButtons() {
  if (!HA.Active()) return;
  const int n = HA.State() == dsInsert ? HA.RecordCount() + 1 : HA.RecordCount();
  btnInsert->setEnabled(n == 0);
  btnDelete->setEnabled(n > 0);
  stBar->Panels[0]->setText(IntToStr(n) + " Titres");
}

void TfrmHa::btnPrevClick() { ShowDay(TryStrToDate(pnlDate->text()).value_or(Day).addDays(-1)); }

void TfrmHa::btnNextClick() { ShowDay(TryStrToDate(pnlDate->text()).value_or(Day).addDays(1)); }

void TfrmHa::pnlDateClick() {
  auto* cal = new TfrmCalendar(nullptr);
  frmCalendar = cal;
  cal->myCalend->setSelectedDate(Day);
  const ModalResult res = Dialogs().RunModal(cal);
  const QDate chosen = cal->myCalend->selectedDate();
  delete cal;
  frmCalendar = nullptr;
  if (res == ModalResult::OK && chosen.isValid()) ShowDay(chosen);
}

int TfrmHa::ProposedQuantity(const QString& title) {
  // The title's purchase on the latest other date, a later date included.
  myQuery.Close();
  myQuery.SQL.Clear();
  myQuery.SQL.Add("SELECT DATEH, QTE FROM HA.DB WHERE ID=:myTitle AND DATEH<>:d1 ORDER BY DATEH DESCENDING");
  myQuery.ParamByName("myTitle")->AsString = title;
  myQuery.ParamByName("d1")->AsDate = Day;
  myQuery.Open();
  myQuery.First();
  const int q = myQuery.IsEmpty() ? 0 : myQuery.FieldByName("QTE")->AsInteger;
  myQuery.Close();
  return q;
}

void TfrmHa::btnInsertClick() {
  HA.CheckBrowseMode();
  QSet<QString> present;
  for (const auto& r : HA.ReadRows(0, HA.RecordCount())) present.insert(r[1].toString());
  std::vector<std::pair<QString, Currency>> titles;
  for (const auto& r : Titre.ReadRows(0, Titre.RecordCount()))
    titles.push_back({r[Titre.FieldByName("Id")->Index()].toString(),
                      Currency::FromDouble(r[Titre.FieldByName("Pha")->Index()].toDouble())});
  {
    inserting_ = true;
    struct Reattach {
      bool& b;
      ~Reattach() { b = false; }
    } reattach{inserting_};
    HA.DisableControls();
    struct Enable {
      TTable& t;
      ~Enable() { t.EnableControls(); }
    } enable{HA};
    TDbTransaction tx(DataPath);
    try {
      for (const auto& [id, pha] : titles) {
        if (present.contains(id)) continue;
        const int q = ProposedQuantity(id);
        HA.Append();
        HA.FieldByName("DateH")->AsDate = Day;
        HA.FieldByName("Id")->AsString = id;
        HA.FieldByName("Qte")->AsInteger = q;
        HA.FieldByName("Pu")->AsCurrency = pha;
        HA.Post();
      }
    } catch (...) {
      if (HA.State() == dsInsert) HA.Cancel();
      tx.Rollback();
      HA.Refresh();
      throw;
    }
    tx.Commit();
  }
  HA.First();
  UpdateButtons();
  CalcTotals();
  // The button just turned disabled: the keys go back to the grid (its first quantity).
  DBGrid1->SetSelectedIndex(2);
  DBGrid1->setFocus();
}

void TfrmHa::btnDeleteClick() {
  HA.CheckBrowseMode();
  if (!ConfirmYesNo("Etes-vous sûr de vouloir supprimer les achats ?")) return;
  {
    TDbTransaction tx(DataPath);
    try {
      myQuery.Close();
      myQuery.SQL.Clear();
      myQuery.SQL.Add("DELETE FROM HA.DB WHERE DATEH=:d1");
      myQuery.ParamByName("d1")->AsDate = Day;
      myQuery.ExecSQL();
    } catch (...) {
      tx.Rollback();
      throw;
    }
    tx.Commit();
  }
  HA.Refresh();
  HA.First();
  UpdateButtons();
  CalcTotals();
  // The button just turned disabled: the keys go back to the grid (its first quantity).
  DBGrid1->SetSelectedIndex(2);
  DBGrid1->setFocus();
}

void TfrmHa::HABeforePost() {
  int q = 0;
  TField* qte = HA.FieldByName("Qte");
  if (qte->IsNull() || !ParseQuantity(qte->AsString(), q)) {
    ShowError("La quantité doit être un nombre entier positif !");
    Abort();
  }
  TField* pu = HA.FieldByName("Pu");
  const Currency v = pu->AsCurrency;
  if (pu->IsNull() || v < Currency() || v.Raw() % 100 != 0) {
    ShowError("Le prix unitaire doit être un montant positif avec au plus deux décimales !");
    Abort();
  }
}

void TfrmHa::FormClose() {
  if (HA.State() == dsEdit || HA.State() == dsInsert) {
    DBGrid1->SetEditorMode(false);
    if (DBGrid1->EditorMode()) Abort();
    HA.Post();  // refused: the window stays open on the row
  }
  Titre.Close();
  HA.Close();
  lkpHa.Close();
}

bool TfrmHa::eventFilter(QObject* o, QEvent* e) {
  if (o == pnlDate && e->type() == QEvent::MouseButtonRelease) {
    GuardEvent([this] { pnlDateClick(); });
    return true;
  }
  if (e->type() == QEvent::KeyPress && o->isWidgetType() && isVisible() && isActiveWindow() &&
      (o == this || isAncestorOf(static_cast<QWidget*>(o)))) {
    const int k = static_cast<QKeyEvent*>(e)->key();
    if (k == Qt::Key_PageUp || k == Qt::Key_PageDown) {
      GuardEvent([this, k] {
        HA.CheckBrowseMode();
        k == Qt::Key_PageUp ? btnPrevClick() : btnNextClick();
      });
      return true;
    }
  }
  return TAppForm::eventFilter(o, e);
}
