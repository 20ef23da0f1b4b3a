#include "reports/URptBon.h"

#include <QDir>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "rules/TradeRules.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "reports/UPreview.h"
#include "reports/UPrint.h"
#include "shell/AppForm.h"
#include "shell/UProgress.h"
#include "shell/global.h"

TfrmInputBox::TfrmInputBox(const QString& caption, const QString& prompt, const QString& value, QWidget* owner)
    : QDialog(owner) {
  setObjectName("frmInputBox");
  setWindowTitle(caption);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(new QLabel(prompt, this));
  Value = new QLineEdit(value, this);
  Value->setObjectName("Value");
  Value->setMinimumWidth(360);
  lay->addWidget(Value);
  auto* box = new QDialogButtonBox(this);
  box->addButton("OK", QDialogButtonBox::AcceptRole);
  box->addButton("Annuler", QDialogButtonBox::RejectRole);
  lay->addWidget(box);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    EndModal(this, ModalResult::OK);
  });
  connect(box, &QDialogButtonBox::rejected, this, [this] {
    EndModal(this, ModalResult::Cancel);
  });
}

bool InputQuery(const QString& caption, const QString& prompt, QString& value) {
  TfrmInputBox box(caption, prompt, value);
  if (Dialogs().RunModal(&box) != ModalResult::OK) return false;
  value = box.Value->text();
  return true;
}

namespace {
// Millimetres: the note on the left, its copy on the right, a dotted line between them.
constexpr double kLeftW = 125, kSep = 128, kRightX = 131, kRightW = 59;
constexpr double kCols[] = {0, 45, 60, 75, 90, 105, kLeftW};  // Titres .. Montant
constexpr double kRightAmount = kRightX + 37;

TRFont Font(double size, bool bold = false, QColor color = Qt::black, bool underline = false, bool italic = false) {
  TRFont f;
  f.Size = size;
  f.Bold = bold;
  f.Color = color;
  f.Underline = underline;
  f.Italic = italic;
  return f;
}

TRLabel* Label(TRBand* b, const QString& name, const QString& text, double x, double y, double w, double h,
               const TRFont& font, TRAlignment align = taLeftJustify) {
  TRLabel* l = b->Add<TRLabel>(name, x, y, w, h);
  l->Caption = text;
  l->Font = font;
  l->Alignment = align;
  return l;
}

TRShape* Shape(TRBand* b, const QString& name, TRShapeType type, double x, double y, double w, double h) {
  TRShape* s = b->Add<TRShape>(name, x, y, w, h);
  s->Shape = type;
  return s;
}

void Separator(TRBand* b) {
  TRShape* s = Shape(b, "Sep" + b->Name, qrsVertLine, kSep - 1, 0, 2, b->Height);
  s->PenStyle = Qt::DotLine;
}

// An empty box to fill by hand, after its caption.
void Box(TRBand* b, const QString& name, const QString& caption, double x, double y, double captionW, double boxW,
         const TRFont& font) {
  Label(b, "l" + name, caption, x, y, captionW, 6, font, taRightJustify);
  Shape(b, "s" + name, qrsRectangle, x + captionW + 1, y, boxW, 6);
}
}  // namespace

TfrmRptBon::TfrmRptBon(QWidget* owner) : QWidget(owner) {
  setObjectName("frmRptBon");
  RptBon.setObjectName("RptBon");
  RptBon.ReportTitle = "Etat des Bons";
  RptBon.UnitMM = 1;
  RptBon.PageSize = QSizeF(210, 297);
  RptBon.LeftMargin = 10;
  RptBon.RightMargin = 10;
  RptBon.TopMargin = 10;
  RptBon.BottomMargin = 10;
  RptBon.DataSet = &qBon;
  qBon.Name = "qBon";
  BON.Name = "BON";
  BuildLayout();
  RptBon.BeforePrint = [this](TReport*, bool& print) { RptBonBeforePrint(print); };
  RptBon.AfterPrint = [this](TReport*) { qBon.Close(); };
  RptBon.OnPreview = [](TReport* r, TRPrintJob* job) { ShowPreview(r, job); };
  built_ = false;
  QString remark = Remarque;
  if (InputQuery("Remarque", "Taper la remarque à imprimer sur le BON", remark)) Remarque = remark;
}

TfrmRptBon::~TfrmRptBon() = default;

void TfrmRptBon::BuildLayout() {
  const QString period = "Semaine du ";
  PageHeader = RptBon.AddBand(rbPageHeader, "PageHeader", 6);
  lHeader = Label(PageHeader, "lHeader", QString(), 0, 0, kLeftW, 5, Font(8));
  lHeader->Enabled = false;
  lHeaderR = Label(PageHeader, "lHeaderR", QString(), kRightX, 0, kRightW, 5, Font(8));
  lHeaderR->Enabled = false;
  Separator(PageHeader);

  GroupHeader = RptBon.AddBand(rbGroupHeader, "GroupHeader", 36);
  GroupHeader->Expression = "qBON.Id_Client";
  Label(GroupHeader, "lSituation", "SITUATION HEBDOMADAIRE", 0, 1, kLeftW, 7, Font(14, true, Qt::black, true), taCenter);
  lPeriode = Label(GroupHeader, "lPeriode", period, 0, 9, kLeftW, 6, Font(11, true), taCenter);
  Label(GroupHeader, "lClient", "Client : ", 2, 17, 18, 6, Font(11, true));
  TRDBText* dClient = GroupHeader->Add<TRDBText>("dClient", 20, 17, 100, 6);
  dClient->SetField(&qBon, "CLIENT");
  dClient->Font = Font(11, true, Qt::red);
  TRShape* strip = Shape(GroupHeader, "sStrip", qrsRectangle, 0, 28, kLeftW, 7);
  strip->BrushColor = QColor(0xE6, 0xE6, 0xE6);
  const char* heads[] = {"Titres", "Prises ", "Invend.", "Ventes ", "P.U ", "Montant "};
  for (int i = 0; i < 6; ++i) {
    Label(GroupHeader, QString("lCol%1").arg(i), heads[i], kCols[i] + 1, 28, kCols[i + 1] - kCols[i] - 2, 7,
          Font(9, true), i == 0 ? taLeftJustify : taRightJustify);
    if (i > 0) Shape(GroupHeader, QString("vCol%1").arg(i), qrsVertLine, kCols[i] - 1, 28, 2, 7);
  }
  Label(GroupHeader, "lSituationR", "SITUATION HEBDOMADAIRE", kRightX, 1, kRightW, 7, Font(10, true, Qt::black, true),
        taCenter);
  lPeriodeR = Label(GroupHeader, "lPeriodeR", period, kRightX, 9, kRightW, 6, Font(8, true), taCenter);
  Label(GroupHeader, "lClientR", "Client : ", kRightX + 1, 17, 14, 6, Font(8, true));
  TRDBText* dClientR = GroupHeader->Add<TRDBText>("dClientR", kRightX + 15, 17, kRightW - 16, 6);
  dClientR->SetField(&qBon, "CLIENT");
  dClientR->Font = Font(8, true, Qt::red);
  TRShape* stripR = Shape(GroupHeader, "sStripR", qrsRectangle, kRightX, 28, kRightW, 7);
  stripR->BrushColor = QColor(0xE6, 0xE6, 0xE6);
  Label(GroupHeader, "lColR0", "Titres", kRightX + 1, 28, 35, 7, Font(9, true));
  Label(GroupHeader, "lColR1", "Montant ", kRightAmount + 1, 28, kRightX + kRightW - kRightAmount - 2, 7, Font(9, true),
        taRightJustify);
  Shape(GroupHeader, "vColR", qrsVertLine, kRightAmount - 1, 28, 2, 7);
  Separator(GroupHeader);

  Detail = RptBon.AddBand(rbDetail, "Detail", 6);
  Shape(Detail, "sLine", qrsRectangle, 0, 0, kLeftW, 6);
  for (int i = 1; i < 6; ++i) Shape(Detail, QString("vLine%1").arg(i), qrsVertLine, kCols[i] - 1, 0, 2, 6);
  lTitre = Label(Detail, "lTitre", QString(), 1, 0, kCols[1] - 2, 6, Font(9));
  TRDBText* dQte = Detail->Add<TRDBText>("dQte", kCols[1] + 1, 0, kCols[2] - kCols[1] - 2, 6);
  dQte->SetField(&qBon, "QTE");
  dQte->Font = Font(10, true, Qt::red);
  dQte->Alignment = taRightJustify;
  TRDBText* dPU = Detail->Add<TRDBText>("dPU", kCols[4] + 1, 0, kCols[5] - kCols[4] - 2, 6);
  dPU->SetField(&qBon, "PU");
  dPU->Font = Font(9);
  dPU->Alignment = taRightJustify;
  dQte->OnPrint = dPU->OnPrint = [](TRDBText*, QString& v) { v = v.trimmed(); };
  Shape(Detail, "sLineR", qrsRectangle, kRightX, 0, kRightW, 6);
  Shape(Detail, "vLineR", qrsVertLine, kRightAmount - 1, 0, 2, 6);
  lTitreR = Label(Detail, "lTitreR", QString(), kRightX + 1, 0, kRightAmount - kRightX - 2, 6, Font(8));
  Separator(Detail);
  Detail->BeforePrint = [this](TRBand*, bool& print) { DetailBeforePrint(print); };

  GroupFooter = RptBon.AddBand(rbGroupFooter, "GroupFooter", 70);
  GroupHeader->FooterBand = GroupFooter;
  GroupFooter->Frame.Top = true;
  const TRFont f10 = Font(10), red = Font(10, true, Qt::red, true);
  Box(GroupFooter, "ErreurMontant", "Erreur sur le Montant : ", 0, 3, 50, 30, f10);
  Box(GroupFooter, "ManqueInvendu", "Manque invendu : ", 0, 11, 50, 30, f10);
  Box(GroupFooter, "Montant", "Montant : ", 0, 19, 50, 30, f10);
  Box(GroupFooter, "Dovedeve", "Dovedeve : ", 0, 27, 50, 30, f10);
  Box(GroupFooter, "Erreur", "Erreur : ", 0, 35, 50, 30, red);
  Box(GroupFooter, "TotalGeneral", "Total Général : ", 0, 43, 50, 30, red);
  Label(GroupFooter, "lPreparer", "A  Préparer  Pour le  DIMANCHE  S.V.P., Merci !", 0, 51, kLeftW, 6,
        Font(10, true, Qt::black, true, true), taCenter);
  // Two lines: a remark longer than the note is wide stays on the note.
  lRemarque = Label(GroupFooter, "lRemarque", QString(), 0, 57, kLeftW, 12, Font(11, true, Qt::red, false, true),
                    taCenter);
  lRemarque->WordWrap = true;
  Box(GroupFooter, "MontantR", "Montant : ", kRightX, 3, 22, 30, f10);
  Separator(GroupFooter);
  GroupFooter->BeforePrint = [this](TRBand*, bool&) { lRemarque->Caption = Remarque; };
  // Every client's note starts on its own page.
  GroupFooter->AfterPrint = [this](TRBand*, bool printed) {
    if (printed) RptBon.NewPage();
  };

  PageFooter = RptBon.AddBand(rbPageFooter, "PageFooter", 5);
  PageFooter->Frame.Top = true;

  RptBon.OnStartPage = [this](TReport*) {
    lHeader->Caption = ReportHeader;
    lHeaderR->Caption = ReportHeader;
    const QString text = "Semaine du " + DateToStr(DateDebut) + "  au " + DateToStr(DateFin);
    lPeriode->Caption = text;
    lPeriodeR->Caption = text;
  };
}

void TfrmRptBon::ReadChooser() {
  if (!frmPrint) return;
  DateDebut = StrToDate(frmPrint->DateDeb->text());
  DateFin = StrToDate(frmPrint->DateFin->text());
  QteNul = frmPrint->chkQteNul->isChecked();
  AllRegions = frmPrint->chkRegion->isChecked();
  const QVariant key = frmPrint->cmbRegion->KeyValue();
  Region = key.isNull() ? QString() : key.toString();
}

void TfrmRptBon::RptBonBeforePrint(bool& print) {
  ReadChooser();
  if (!built_) {
    BuildBon();
    built_ = true;
  }
  // Issue numbers and periodicity as they are now (the numbering window has just run).
  titles_.clear();
  {
    TQuery t;
    t.SetDatabaseName(DataPath);
    t.SQL.Add("SELECT ID, NUM, PERIODE FROM TITRE");
    OpenNamed(t);
    for (t.First(); !t.Eof(); t.Next())
      titles_.insert(t.Fields(0)->AsString(), {t.Fields(2)->AsString() != "0", t.Fields(1)->AsInteger()});
  }
  qBon.Close();
  qBon.SetDatabaseName(AppPath);
  // The client code after the delivery order keeps two clients of one order on separate notes.
  qBon.SQL.SetText(RevertOrder ? "SELECT * FROM BON ORDER BY ORD_CL DESCENDING, ID_CLIENT, NORD"
                               : "SELECT * FROM BON ORDER BY ORD_CL, ID_CLIENT, NORD");
  OpenNamed(qBon);
  print = true;
}

void TfrmRptBon::DetailBeforePrint(bool& print) {
  if (!QteNul && qBon.FieldByName("QTE")->AsInteger() == 0) {
    print = false;
    return;
  }
  const QString titre = qBon.FieldByName("TITRE")->AsString();
  lTitre->Caption = titre;
  lTitreR->Caption = titre;
  lTitre->Tail.clear();
  lTitreR->Tail.clear();
  auto it = titles_.constFind(qBon.FieldByName("ID_TITRE")->AsString());
  if (it == titles_.constEnd()) return;
  lTitre->Font.Bold = lTitreR->Font.Bold = it->periodical;
  // The issue prints whole; a title too long for the column gives way.
  if (it->periodical && it->num != 0) {
    lTitre->Tail = " - N°" + QString::number(it->num);
    lTitreR->Tail = " - N° " + QString::number(it->num);
  }
}

void TfrmRptBon::BuildBon() {
  BON.Close();
  BON.SetDatabaseName(AppPath);
  BON.SetTableType(ttParadox);
  BON.SetTableName("BON.DB");
  BON.FieldDefs.Clear();
  BON.FieldDefs.Add("ID_CLIENT", ftString, 4);
  BON.FieldDefs.Add("ID_TITRE", ftString, 4);
  BON.FieldDefs.Add("ORD_CL", ftInteger);
  BON.FieldDefs.Add("NORD", ftInteger);
  BON.FieldDefs.Add("CLIENT", ftString, 30);
  BON.FieldDefs.Add("TITRE", ftString, 20);
  BON.FieldDefs.Add("NUM", ftInteger);
  BON.FieldDefs.Add("PU", ftCurrency);
  BON.FieldDefs.Add("QTE", ftInteger);
  BON.IndexDefs.Clear();
  BON.IndexDefs.Add("", "ID_CLIENT;ID_TITRE", ixPrimary | ixUnique);
  BON.IndexDefs.Add("iNORD", "ORD_CL;NORD", 0);
  try {
    BON.CreateTable();
  } catch (const Exception&) {
    TQuery del;
    del.SetDatabaseName(AppPath);
    del.SQL.Add("DELETE FROM BON.DB");
    try {
      del.ExecSQL();
    } catch (const EDBEngineError& e) {
      // Neither made nor emptied (a program folder that cannot be written): the operator learns
      // which file, not only the engine's word.
      throw EDBEngineError(e.ErrorCode(), e.Message() + "\nLe fichier de travail des bons " +
                                              QDir::toNativeSeparators(AppPath + "BON.DB") +
                                              " ne peut être ni créé ni vidé.");
    }
  }

  SetScreenCursor(TCursor::crHourGlass);
  struct Restore {
    ~Restore() {
      SetScreenCursor(TCursor::crDefault);
      if (frmProgress) delete frmProgress.data();
    }
  } restore;

  struct Client {
    QString id, nom;
    int ord = 0;
    trade::Rebates ab;
  };
  struct Title {
    QString titre;
    int nord = 0, num = 0;
    Currency prix;
    int periode = -1;
  };
  std::vector<Client> clients;
  {
    TTable c;
    c.SetDatabaseName(DataPath);
    c.SetTableName("CLIENT.DB");
    c.SetIndexFieldNames("Region;Ord");
    if (!AllRegions && !Region.isEmpty()) {
      c.SetFilter(FilterEq("REGION", Region));
      c.SetFiltered(true);
    }
    OpenNamed(c);
    const auto rebates = trade::ReadRebates(DataPath);
    for (c.First(); !c.Eof(); c.Next()) {
      Client cl;
      cl.id = c.FieldByName("Id")->AsString();
      cl.nom = c.FieldByName("Nom")->AsString();
      cl.ord = c.FieldByName("Ord")->AsInteger();
      cl.ab = rebates.value(cl.id);
      clients.push_back(cl);
    }
  }
  QHash<QString, Title> titles;
  {
    TQuery t;
    t.SetDatabaseName(DataPath);
    t.SQL.Add("SELECT ID, NORD, TITRE, NUM, PRIX, PERIODE FROM TITRE");
    OpenNamed(t);
    for (t.First(); !t.Eof(); t.Next()) {
      Title ti;
      ti.nord = t.Fields(1)->AsInteger();
      ti.titre = t.Fields(2)->AsString();
      ti.num = t.Fields(3)->AsInteger();
      ti.prix = t.Fields(4)->AsCurrency();
      ti.periode = trade::PeriodIndex(t.Fields(5)->AsString());
      titles.insert(t.Fields(0)->AsString(), ti);
    }
  }

  frmProgress = new TfrmProgress(this);
  frmProgress->setWindowTitle("Progression");
  frmProgress->lProgress->SetCaption("Impression en cours ..., patientez ...");
  frmProgress->MyGauge->setMinimum(0);
  frmProgress->MyGauge->setMaximum(std::max<int>(1, int(clients.size())));
  frmProgress->MyGauge->setValue(0);
  frmProgress->show();
  ProcessMessages();

  // The period's takings summed per client and title in one grouped query. Zero quantities
  // print only on request: without it they are left out of the sums, which halves the rows
  // to group; a client whose takings are all zero still gets its note (without lines) below.
  QHash<QString, std::vector<std::pair<QString, int>>> taken;
  auto sum = [&](const QString& client) {
    TQuery q;
    q.SetDatabaseName(DataPath);
    q.SQL.Add("SELECT ID_CLIENT, ID_TITRE, SUM(QTE_PRISE) AS QTE FROM DISTO");
    q.SQL.Add("WHERE DATEJ >= :DEB AND DATEJ <= :FIN");
    if (!client.isEmpty()) q.SQL.Add("AND ID_CLIENT = :CLIENT");
    else if (!QteNul) q.SQL.Add("AND QTE_PRISE <> 0");
    q.SQL.Add("GROUP BY ID_CLIENT, ID_TITRE");
    q.ParamByName("DEB")->AsDate = DateDebut;
    q.ParamByName("FIN")->AsDate = DateFin;
    if (!client.isEmpty()) q.ParamByName("CLIENT")->AsString = client;
    OpenNamed(q);
    for (q.First(); !q.Eof(); q.Next())
      taken[q.Fields(0)->AsString()].push_back({q.Fields(1)->AsString(), q.Fields(2)->AsInteger()});
  };
  sum(QString());
  if (!QteNul) {
    for (const Client& cl : clients) {
      if (taken.contains(cl.id)) continue;
      TQuery any;
      any.SetDatabaseName(DataPath);
      any.SQL.Add("SELECT ID_CLIENT FROM DISTO WHERE DATEJ >= :DEB AND DATEJ <= :FIN AND ID_CLIENT = :CLIENT LIMIT 1");
      any.ParamByName("DEB")->AsDate = DateDebut;
      any.ParamByName("FIN")->AsDate = DateFin;
      any.ParamByName("CLIENT")->AsString = cl.id;
      OpenNamed(any);
      if (!any.IsEmpty()) sum(cl.id);
    }
  }

  OpenNamed(BON);
  TDbTransaction tx(BON);
  try {
    int done = 0;
    for (const Client& cl : clients) {
      auto it = taken.constFind(cl.id);
      if (it != taken.constEnd()) {
        for (const auto& [idTitre, qte] : *it) {
          auto ti = titles.constFind(idTitre);
          if (ti == titles.constEnd() || ti->titre.trimmed().isEmpty()) continue;
          BON.Append();
          BON.Fields(0)->AsString = cl.id;
          BON.Fields(1)->AsString = idTitre;
          BON.Fields(2)->AsInteger = cl.ord;
          BON.Fields(3)->AsInteger = ti->nord;
          BON.Fields(4)->AsString = cl.nom;
          BON.Fields(5)->AsString = ti->titre;
          BON.Fields(6)->AsInteger = ti->num;
          BON.Fields(7)->AsCurrency = trade::NetPrice(ti->prix, ti->periode, cl.ab);
          BON.Fields(8)->AsInteger = qte;
          BON.Post();
        }
      }
      if (frmProgress && (++done % 16 == 0 || done == int(clients.size()))) {
        frmProgress->MyGauge->setValue(done);
        ProcessMessages();
      }
    }
  } catch (...) {
    tx.Rollback();
    BON.Close();
    throw;
  }
  tx.Commit();
  BON.Close();
}
