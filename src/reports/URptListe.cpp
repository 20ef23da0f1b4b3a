#include "reports/URptListe.h"

#include <QProgressBar>

#include "platform/db/Transaction.h"
#include "platform/ui/Cursor.h"
#include "reports/UPreview.h"
#include "shell/AppForm.h"
#include "shell/UProgress.h"
#include "shell/global.h"

namespace {
// Layout units of a quarter millimetre: the client column is 120 wide, the title slots share 615.
constexpr double kUnitMM = 0.25;
constexpr double kClientW = 120, kSlotsW = 615, kMaxSlotW = 102;
constexpr double kHeadH = 26, kRowH = 22, kTotH = 24;

TRFont Font(double size, bool bold = false, QColor color = Qt::black, bool underline = false) {
  TRFont f;
  f.Size = size;
  f.Bold = bold;
  f.Color = color;
  f.Underline = underline;
  return f;
}

TRShape* Cell(TRBand* b, const QString& name, double x, double y, double w, double h) {
  TRShape* s = b->Add<TRShape>(name, x, y, w, h);
  s->Shape = qrsRectangle;
  return s;
}
}  // namespace

TfrmRptListe::TfrmRptListe(QWidget* owner) : QWidget(owner) {
  setObjectName("frmRptListe");
  rptListe.setObjectName("rptListe");
  rptListe.ReportTitle = "Liste";
  rptListe.UnitMM = kUnitMM;
  rptListe.PageSize = QSizeF(840, 1188);
  rptListe.LeftMargin = rptListe.RightMargin = 40;
  rptListe.TopMargin = rptListe.BottomMargin = 40;
  for (TQuery* q : {&qListe, &qClient, &qDisto, &qTitre, &qRegion}) q->SetDatabaseName(DataPath);
  qListe.SQL.Add("SELECT * FROM TLISTE");
  qListe.SQL.Add("WHERE NOLISTE=:MyListe");
  qListe.SQL.Add("ORDER BY NORD");
  qClient.SQL.Add("SELECT ID, ORD, NOM, REGION");
  qClient.SQL.Add("FROM CLIENT");
  qClient.SQL.Add("WHERE REGION=:myRegion");
  qClient.SQL.Add("ORDER BY ORD");
  qDisto.SQL.Add("SELECT * FROM DISTO");
  qDisto.SQL.Add("WHERE DATEJ=:MyDate");
  qTitre.SQL.Add("Select * From Titre");
  qRegion.SQL.Add("Select * From Region");
  LISTE.Name = "LISTE";
  LISTE.SetDatabaseName(DataPath);
  LISTE.SetTableName("Liste.DB");
  rptListe.DataSet = &LISTE;
  BuildLayout();
  rptListe.BeforePrint = [this](TReport*, bool& print) { rptListeBeforePrint(print); };
  rptListe.AfterPrint = [this](TReport*) { rptListeAfterPrint(); };
  rptListe.OnPreview = [](TReport* r, TRPrintJob* job) { ShowPreview(r, job); };
}

TfrmRptListe::~TfrmRptListe() = default;

void TfrmRptListe::BuildLayout() {
  PageHeader = rptListe.AddBand(rbPageHeader, "PageHeader", 60);
  lStatut = PageHeader->Add<TRLabel>("lStatut", 0, 0, 300, 16);
  lStatut->Enabled = false;
  lJournee = PageHeader->Add<TRLabel>("lJournee", 0, 18, 760, 30);
  lJournee->Font = Font(14, true, Qt::red, true);
  lJournee->Alignment = taCenter;

  GroupHeader = rptListe.AddBand(rbGroupHeader, "GroupHeader", 34 + kHeadH);
  GroupHeader->Expression = "QListe.Region";
  GroupHeader->ReprintOnNewPage = true;
  lRegion = GroupHeader->Add<TRLabel>("lRegion", 0, 2, 700, 26);
  lRegion->Font = Font(11, true, Qt::black, true);
  Cell(GroupHeader, "BoxClients", 0, 34, kClientW, kHeadH);
  TRLabel* lClients = GroupHeader->Add<TRLabel>("lClients", 4, 34, kClientW - 8, kHeadH);
  lClients->Caption = "Clients";
  lClients->Font = Font(9, true);

  Detail = rptListe.AddBand(rbDetail, "Detail", kRowH);
  Cell(Detail, "BoxNom", 0, 0, kClientW, kRowH);
  lNom = Detail->Add<TRLabel>("lNom", 4, 0, kClientW - 8, kRowH);
  lNom->Font = Font(8);

  GroupFooter = rptListe.AddBand(rbGroupFooter, "GroupFooter", kTotH);
  GroupHeader->FooterBand = GroupFooter;
  Cell(GroupFooter, "BoxTotaux", 0, 0, kClientW, kTotH);
  TRLabel* lTotaux = GroupFooter->Add<TRLabel>("lTotaux", 4, 0, kClientW - 8, kTotH);
  lTotaux->Caption = "Totaux  ";
  lTotaux->Font = Font(9, true);
  lTotaux->Alignment = taRightJustify;

  for (int k = 1; k <= kSlots; ++k) {
    const QString n = QString::number(k);
    auto disable = [](TRControl* c) { c->Enabled = false; return c; };
    disable(Cell(GroupHeader, "Box" + n, 0, 34, 0, kHeadH));
    TRLabel* t = GroupHeader->Add<TRLabel>("lTitre" + n, 0, 34, 0, kHeadH);
    t->Font = Font(8, true);
    t->Alignment = taCenter;
    disable(t);
    disable(Cell(Detail, "dBox" + n, 0, 0, 0, kRowH));
    TRDBText* q = Detail->Add<TRDBText>("lQte" + n, 0, 0, 0, kRowH);
    q->SetField(&LISTE, "Qte" + n);
    q->Font = Font(9, true);
    q->Alignment = taCenter;
    q->OnPrint = [](TRDBText*, QString& v) {
      if (RemoveSpaces(v) == "0") v.clear();
    };
    disable(q);
    disable(Cell(GroupFooter, "cBox" + n, 0, 0, 0, kTotH));
    TRExpr* s = GroupFooter->Add<TRExpr>("lTot" + n, 0, 0, 0, kTotH);
    s->Expression = "SUM(LISTE.Qte" + n + ")";
    s->DataSet = &LISTE;
    s->Font = Font(9, true);
    s->Alignment = taCenter;
    disable(s);
  }

  PageHeader->BeforePrint = [this](TRBand*, bool&) {
    lStatut->Caption = ReportHeader;
    lJournee->Caption = "Journée du ";
    lJournee->Tail = DateToStr(DateListe.date());  // the day prints whole
  };
  GroupHeader->BeforePrint = [this](TRBand*, bool&) {
    lRegion->Caption = "REGION : " + region_ + " - " + regionLabel_;
  };
  Detail->BeforePrint = [this](TRBand*, bool&) {
    lNom->Caption = names_.value(LISTE.FieldByName("Id_Client")->AsString(), "?????????");
  };
  GroupFooter->AfterPrint = [this](TRBand*, bool printed) {
    if (printed) rptListe.NewPage();
  };
}

void TfrmRptListe::rptListeBeforePrint(bool& print) {
  qListe.Close();
  qListe.ParamByName("MYLISTE")->AsInteger = NoListe;
  OpenNamed(qListe);
  if (qListe.IsEmpty()) {
    ShowError("Liste Inexistannte !");
    qListe.Close();
    print = false;
    return;
  }
  const int n = qListe.RecordCount();
  qListe.First();
  region_ = qListe.FieldByName("ID_REGION")->AsString();
  qTitre.Close();
  OpenNamed(qTitre);

  const int w = std::min<int>(int(kSlotsW) / n, int(kMaxSlotW));
  double left = kClientW;
  for (int k = 1; k <= kSlots; ++k) {
    const QString s = QString::number(k);
    for (const QString& name : {"Box" + s, "dBox" + s, "cBox" + s, "lTitre" + s, "lQte" + s, "lTot" + s})
      rptListe.FindControl(name)->Enabled = false;
  }
  int k = 1;
  for (qListe.First(); !qListe.Eof() && k <= kSlots; qListe.Next(), ++k, left += w) {
    QString shortName = "????";
    // A title that is gone keeps the colour of the row the titles query stood on.
    if (qTitre.Locate("ID", qListe.FieldByName("ID_TITRE")->AsString()))
      shortName = qTitre.FieldByName("DIMINUTIF")->AsString().trimmed();
    const QColor colour = qTitre.IsEmpty() ? QColor(Qt::black) : IntToColor(qTitre.FieldByName("COULEUR")->AsInteger());
    const QString s = QString::number(k);
    for (const QString& name : {"Box" + s, "dBox" + s, "cBox" + s}) {
      TRControl* c = rptListe.FindControl(name);
      c->Enabled = true;
      c->Width = w;
      c->Left = left;
    }
    TRLabel* t = static_cast<TRLabel*>(rptListe.FindControl("lTitre" + s));
    t->Font.Color = colour;
    t->Enabled = true;
    t->Width = w - 2;
    t->Left = left + 2;
    t->Caption = shortName;
    for (const QString& name : {"lQte" + s, "lTot" + s}) {
      TRControl* c = rptListe.FindControl(name);
      c->Font.Color = colour;
      c->Enabled = true;
      c->Width = w - 4;
      c->Left = left + 2;
    }
  }

  qRegion.Close();
  OpenNamed(qRegion);
  regionLabel_ = qRegion.Locate("ID", region_) ? qRegion.FieldByName("LIBELLE")->AsString() : QString();
  if (!built_) {
    BuildListe();
    built_ = true;
  }
  // The names the detail prints (read again on every run).
  names_.clear();
  qClient.Close();
  qClient.ParamByName("MYREGION")->AsString = region_;
  OpenNamed(qClient);
  for (qClient.First(); !qClient.Eof(); qClient.Next())
    names_.insert(qClient.FieldByName("ID")->AsString(), qClient.FieldByName("NOM")->AsString());
  LISTE.Close();
  OpenNamed(LISTE);
  print = true;
}

void TfrmRptListe::rptListeAfterPrint() {
  for (TDataSet* d : std::initializer_list<TDataSet*>{&qRegion, &qClient, &qListe, &LISTE, &qTitre}) d->Close();
  ProcessMessages();
}

void TfrmRptListe::BuildListe() {
  frmProgress = new TfrmProgress(this);
  struct Cleanup {
    TfrmRptListe* w;
    ~Cleanup() {
      w->LISTE.Close();
      w->qDisto.Close();
      if (frmProgress) delete frmProgress.data();
      ProcessMessages();
    }
  } cleanup{this};
  frmProgress->setWindowTitle("Création de la liste");
  frmProgress->lProgress->SetCaption("Traitement en cours, patientez ...");
  frmProgress->MyGauge->setMinimum(0);

  TQuery del;
  del.SetDatabaseName(DataPath);
  del.SQL.Add("DELETE FROM LISTE.DB");
  del.ExecSQL();
  ProcessMessages();

  LISTE.Close();
  OpenNamed(LISTE);
  qClient.Close();
  qClient.ParamByName("MYREGION")->AsString = region_;
  OpenNamed(qClient);
  frmProgress->MyGauge->setMaximum(std::max(1, qClient.RecordCount()));
  frmProgress->show();

  qDisto.Close();
  qDisto.ParamByName("MYDATE")->AsDate = DateListe.date();
  OpenNamed(qDisto);
  // The day's takings, found per client and title without a query per cell.
  QHash<QString, int> qte;
  const int fc = qDisto.FieldByName("Id_Client")->Index(), ft = qDisto.FieldByName("Id_Titre")->Index(),
            fq = qDisto.FieldByName("Qte_Prise")->Index();
  for (qDisto.First(); !qDisto.Eof(); qDisto.Next())
    qte.insert(qDisto.Fields(fc)->AsString() + '\x1f' + qDisto.Fields(ft)->AsString(), qDisto.Fields(fq)->AsInteger());
  QStringList titles;
  for (qListe.First(); !qListe.Eof(); qListe.Next()) titles << qListe.FieldByName("ID_Titre")->AsString();
  qListe.First();

  TDbTransaction tx(LISTE);
  int done = 0;
  for (qClient.First(); !qClient.Eof(); qClient.Next()) {
    const QString id = qClient.FieldByName("ID")->AsString();
    LISTE.Append();
    LISTE.FieldByName("ID_CLIENT")->AsString = id;
    LISTE.FieldByName("ORD_CLIENT")->AsInteger = qClient.FieldByName("ORD")->AsInteger();
    for (int k = 1; k <= std::min<int>(kSlots, titles.size()); ++k) {
      LISTE.FieldByName("TITRE" + QString::number(k))->AsString = titles[k - 1];
      LISTE.FieldByName("QTE" + QString::number(k))->AsInteger = qte.value(id + '\x1f' + titles[k - 1], 0);
    }
    LISTE.Post();
    frmProgress->MyGauge->setValue(++done);
    ProcessMessages();
  }
  tx.Commit();
  LISTE.FlushBuffers();
}
