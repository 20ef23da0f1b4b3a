#include "operations/UListVCR.h"

#include <QPainter>

#include "operations/Quantity.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

TfrmListVCR::TfrmListVCR(QWidget* parent) : TAppForm(parent), dsRegion(&qRegion) {
  setObjectName("frmListVCR");
  setWindowTitle("Encaissements");
  qRegion.Name = "qRegion";
  qRegion.SQL.Add("SELECT * FROM REGION");
  qRegion.SQL.Add("ORDER BY LIBELLE");
  qVCR.Name = "qVCR";
  qVCR.SQL.Add("SELECT ID, NOM, ORD, ID_CLIENT, WEEK, MONTANT");
  qVCR.SQL.Add("FROM    Client.db A LEFT OUTER JOIN VCR.DB B");
  qVCR.SQL.Add("ON         ID = ID_CLIENT AND WEEK=:myWeek");
  qVCR.SQL.Add("WHERE REGION=:myRegion ");
  qVCR.SQL.Add("ORDER BY ORD");
  qLkpVCR.Name = "qLkpVCR";
  qLkpVCR.SQL.Add("SELECT * FROM VCR");
  qLkpVCR.SQL.Add("WHERE WEEK=:MyWeek");
  myQuery.Name = "myQuery";
  for (TQuery* q : {&qRegion, &qVCR, &qLkpVCR, &myQuery}) InDataPath(*q);

  setFixedSize(505, 460);
  grdVCR = new TStringGrid(this);
  grdVCR->setObjectName("grdVCR");
  grdVCR->setGeometry(0, 0, 337, 438);
  grdVCR->SetDefaultRowHeight(17);
  grdVCR->SetColCount(3);
  grdVCR->SetRowCount(2);
  grdVCR->SetFixedRows(1);
  grdVCR->SetFixedCols(0);
  grdVCR->SetColWidths(0, 45);
  grdVCR->SetColWidths(1, 170);
  grdVCR->SetColWidths(2, 98);
  grdVCR->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goEditing);
  grdVCR->SetDefaultDrawing(false);
  grdVCR->SetScrollBars(TScrollStyle::ssVertical);

  const int x = 350;
  btnMenu = new QPushButton("&Menu", this);
  btnMenu->setObjectName("btnMenu");
  btnMenu->setAutoDefault(false);
  btnMenu->setGeometry(x, 8, 145, 28);
  Label1 = MakeLabel(this, "Région ", x, 52);
  cmbRegion = new TDBLookupComboBox(this);
  cmbRegion->setObjectName("cmbRegion");
  cmbRegion->setGeometry(x, 70, 145, 24);
  cmbRegion->SetListSource(&dsRegion);
  cmbRegion->SetKeyField("Id");
  cmbRegion->SetListField("Libelle");
  SetBold(cmbRegion);
  lblDu = MakeLabel(this, "Semaine du ", x, 106);
  cmbWeek = new QComboBox(this);
  cmbWeek->setObjectName("cmbWeek");
  cmbWeek->setGeometry(x, 124, 145, 24);
  SetBold(cmbWeek);
  Label2 = MakeLabel(this, "Total", x, 166);
  lTot = new TVxLabel(this);
  lTot->setObjectName("lTot");
  lTot->BeginLoading();
  lTot->SetAutoSize(false);
  lTot->setGeometry(x, 184, 145, 26);
  lTot->SetAlignment(TAlignment::taRightJustify);
  QFont bold = font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 2);
  lTot->setFont(bold);
  lTot->SetCaption("0.00");
  lTot->Loaded();
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAutoDefault(false);
  BitBtn1->setGeometry(x + 40, 400, 105, 30);
  stBar = new QStatusBar(this);
  stBar->setObjectName("stBar");
  stBar->setSizeGripEnabled(false);
  stBar->setGeometry(0, 438, 505, 22);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { Close(); });
  cmbRegion->OnCloseUp = [this](TDBLookupComboBox*) { GuardEvent([this] { cmbRegionCloseUp(); }); };
  connect(cmbWeek, &QComboBox::activated, this, [this] { GuardEvent([this] { cmbWeekChange(); }); });
  grdVCR->OnSelectCell = [this](TStringGrid*, int c, int r, bool& can) { grdVCRSelectCell(c, r, can); };
  grdVCR->OnKeyPress = [this](TStringGrid*, QChar& k) { grdVCRKeyPress(k); };
  grdVCR->OnDrawCell = [this](TStringGrid* g, int c, int r, const QRect& rc, TGridDrawState s) {
    grdVCRDrawCell(g, c, r, rc, s);
  };
  grdVCR->OnSetEditText = [this](TStringGrid*, int, int, const QString&) { AmountTyped = true; };
  grdVCR->OnClick = [this](TStringGrid*) { grdVCR->Invalidate(); };

  CenterOnScreen();
  FormCreate();
  FormShow();
}

TfrmListVCR::~TfrmListVCR() { cmbRegion->SetListSource(nullptr); }

void TfrmListVCR::FormCreate() {
  grdVCR->SetCells(0, 0, "Code");
  grdVCR->SetCells(1, 0, "Nom");
  grdVCR->SetCells(2, 0, "Montant");
}

void TfrmListVCR::FormShow() {
  cmbWeek->clear();
  myQuery.Close();
  myQuery.SQL.Clear();
  myQuery.SQL.Add("SELECT DISTINCT WEEK FROM RETOUR ORDER BY WEEK DESCENDING");
  myQuery.Open();
  for (const auto& r : myQuery.ReadRows(0, myQuery.RecordCount())) cmbWeek->addItem(DateToStr(r[0].toDate()));
  myQuery.Close();
  cmbWeek->setCurrentIndex(cmbWeek->count() > 0 ? 0 : -1);
  qRegion.Open();
  qRegion.First();
  if (!qRegion.IsEmpty()) cmbRegion->SetKeyValue(qRegion.FieldByName("Id")->Value());
  LoadVCRGrid();
}

void TfrmListVCR::LoadVCRGrid() {
  const auto week = TryStrToDate(cmbWeek->currentText());
  if (!week) {
    MessageDlg("La date de début de semaine est incorrect", MsgDlgType::Error, mbOK);
    return;
  }
  grdVCR->SetEditorMode(false);
  qVCR.Close();
  qVCR.ParamByName("myRegion")->AsString = cmbRegion->KeyValue().toString();
  qVCR.ParamByName("myWeek")->AsDate = *week;
  qVCR.Open();
  const int n = qVCR.RecordCount();
  const auto rows = qVCR.ReadRows(0, n);
  qVCR.Close();
  grdVCR->SetRowCount(n + 1 < 2 ? 2 : n + 1);
  if (n == 0) grdVCR->ClearRow(1);
  stBar->showMessage("  " + IntToStr(n) + " Clients");
  for (int i = 0; i < n; ++i) {
    const int r = i + 1;
    grdVCR->SetCells(0, r, rows[i][0].toString());
    grdVCR->SetCells(1, r, rows[i][1].toString());
    const Currency m = Currency::FromDouble(rows[i][5].toDouble());
    grdVCR->SetCells(2, r, m == Currency() ? QString() : CurrToStrF(m));
  }
  AmountTyped = false;
  loadedWeek_ = cmbWeek->currentIndex();
  loadedRegion_ = cmbRegion->KeyValue();
  grdVCR->FocusCell(2, 1);
  grdVCR->SetTopRow(1);
  grdVCR->SetLeftCol(0);  // the three columns fit: code and name stay in view
  if (grdVCR->isVisible()) grdVCR->setFocus();
  qLkpVCR.Close();
  qLkpVCR.ParamByName("MyWeek")->AsDate = *week;
  qLkpVCR.Open();
  CalcTotal();
  ProcessMessages();
}

bool TfrmListVCR::SaveAmount() {
  const int row = grdVCR->Row();
  const QString text = grdVCR->Cells(2, row).trimmed();
  if (text.isEmpty() || grdVCR->Cells(0, row).isEmpty()) {
    AmountTyped = false;
    ProcessMessages();
    return true;
  }
  const QString v = RemoveSpaces(text.toUpper());
  Currency amount;
  const auto week = TryStrToDate(cmbWeek->itemText(loadedWeek_));  // the week the grid shows
  if (!ParseAmount(v, amount) || !week) {
    // The typing stays pending: leaving the cell, the week or the region asks again.
    ShowError("Le montant que vous venez de saisir est incorrect !");
    grdVCR->setFocus();
    return false;
  }
  grdVCR->SetEditorMode(false);
  grdVCR->SetCells(2, row, CurrToStrF(amount));
  const QString client = grdVCR->Cells(0, row);
  {
    // One payment per week and client: in place when it is there, else a new row, together.
    TDbTransaction tx(DataPath);
    try {
      myQuery.Close();
      myQuery.SQL.Clear();
      myQuery.SQL.Add("UPDATE VCR.DB SET MONTANT=:myAmount WHERE WEEK=:myWeek AND ID_CLIENT=:myClient");
      myQuery.ParamByName("myAmount")->AsCurrency = amount;
      myQuery.ParamByName("myWeek")->AsDate = *week;
      myQuery.ParamByName("myClient")->AsString = client;
      myQuery.ExecSQL();
      if (myQuery.RowsAffected() == 0) {
        myQuery.SQL.Clear();
        myQuery.SQL.Add("INSERT INTO VCR.DB (WEEK, ID_CLIENT, MONTANT) VALUES (:myWeek, :myClient, :myAmount)");
        myQuery.ParamByName("myAmount")->AsCurrency = amount;
        myQuery.ParamByName("myWeek")->AsDate = *week;
        myQuery.ParamByName("myClient")->AsString = client;
        myQuery.ExecSQL();
      }
    } catch (...) {
      tx.Rollback();
      throw;
    }
    tx.Commit();
  }
  AmountTyped = false;
  CalcTotal();
  ProcessMessages();
  return true;
}

void TfrmListVCR::CalcTotal() {
  Currency total;
  for (int r = 1; r < grdVCR->RowCount(); ++r) {
    Currency v;
    if (ParseAmount(RemoveSpaces(grdVCR->Cells(2, r).trimmed()), v)) total += v;
  }
  lTot->SetCaption(CurrToStrF(total));
}

void TfrmListVCR::cmbRegionCloseUp() {
  if (AmountTyped && !SaveAmount()) {
    cmbRegion->SetKeyValue(loadedRegion_);
    return;
  }
  LoadVCRGrid();
}

void TfrmListVCR::cmbWeekChange() {
  if (AmountTyped && !SaveAmount()) {
    cmbWeek->setCurrentIndex(loadedWeek_);
    return;
  }
  LoadVCRGrid();
}

void TfrmListVCR::grdVCRSelectCell(int col, int, bool& canSelect) {
  if (col != 2) {
    canSelect = false;
    return;
  }
  if (AmountTyped) {
    bool ok = false;
    GuardEvent([&] { ok = SaveAmount(); });
    canSelect = ok;
  }
}

void TfrmListVCR::grdVCRKeyPress(QChar& key) {
  const QChar k = key;
  key = QChar();
  if (k == QChar(13)) {
    GuardEvent([this] {
      if (AmountTyped && !SaveAmount()) return;
      grdVCR->SetEditorMode(false);
      const int r = grdVCR->Row();
      grdVCR->FocusCell(2, r + 1 < grdVCR->RowCount() ? r + 1 : 1);
      grdVCR->Invalidate();
      ProcessMessages();
    });
  } else if (k == QChar(27)) {
    GuardEvent([this] { LoadVCRGrid(); });
  } else if ((k >= '0' && k <= '9') || k == '.' || k == ',') {
    // A comma is the French decimal mark: dropped, "1,5" would be stored as 15. It stays in the
    // text, where the amount check refuses it with its message.
    key = k;
    AmountTyped = true;
  }
}

void TfrmListVCR::FormClose() {
  if (AmountTyped && !SaveAmount()) Abort();
  qVCR.Close();
  qLkpVCR.Close();
  qRegion.Close();
}

void TfrmListVCR::grdVCRDrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state) {
  TCanvas* cv = g->Canvas();
  QString text = g->Cells(col, row);
  if (text == "0.00") text.clear();
  QColor bg, fg;
  Qt::Alignment align = col == 0 ? Qt::AlignHCenter : col == 1 ? Qt::AlignLeft : Qt::AlignRight;
  int dx = col == 1 ? 1 : 0;
  const bool current = row == g->Row();
  if (row == 0) {
    bg = StdColors::BtnFace();
    fg = Qt::black;
  } else if (col <= 1) {
    bg = current ? RGBColor(0x5EAEFF) : RGBColor(0xE6E6E6);
    fg = current ? QColor(Qt::white) : QColor(Qt::black);
  } else {
    bg = current ? RGBColor(0x5EAEFF) : QColor(Qt::white);
    fg = current ? QColor(Qt::white) : (g->FontColor().isValid() ? g->FontColor() : QColor(Qt::black));
  }
  if (row > 0 && (state & (gdSelected | gdFocused)) && !(state & gdFixed)) {
    bg = StdColors::Yellow();
    fg = StdColors::Red();
    align = Qt::AlignRight;
    dx = 0;
  }
  cv->Brush.Color = bg;
  cv->FillRect(rect);
  cv->Font.Color = fg;
  cv->DrawText(rect.adjusted(dx, 0, align == Qt::AlignRight ? -5 : 0, 0), align | Qt::AlignVCenter, text);
}
