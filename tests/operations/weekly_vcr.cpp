// The payments window: weeks from the returns, amounts typed, checked and stored once per week
// and client, kept when the week, the region or the window changes.
#include "WeeklyFixture.h"
#include "operations/UListVCR.h"
#include "shell/global.h"

namespace {
class VcrTest : public WeeklyTest {
 protected:
  // Returns for the weeks of 28/02 and 06/03/2004; client 0002 paid 12.50 on 06/03 and 0 on 28/02.
  void AddPayments() {
    AddReference();
    AddRow("Retour.DB", {Sat, "0001", "0001", 2});
    AddRow("Retour.DB", {Sat.addDays(-7), "0001", "0001", 1});
    AddRow("VCR.DB", {Sat, "0002", 12.5});
    AddRow("VCR.DB", {Sat.addDays(-7), "0002", 0.0});
  }
  QStringList Payments() { return Rows("SELECT WEEK, ID_CLIENT, MONTANT FROM VCR ORDER BY WEEK, ID_CLIENT"); }
  static QStringList Column(TStringGrid* g, int c) {
    QStringList out;
    for (int r = 0; r < g->RowCount(); ++r) out << g->Cells(c, r);
    return out;
  }
  static void ChooseWeek(TfrmListVCR& w, int i) {
    w.cmbWeek->setCurrentIndex(i);
    emit w.cmbWeek->activated(i);
  }
};
}  // namespace

TEST_F(VcrTest, WithoutReturnsThereIsNoWeekAndNoGrid) {
  AddReference();
  TfrmListVCR w;
  EXPECT_EQ(dlg->Messages(), QStringList({"La date de début de semaine est incorrect"}));
  EXPECT_EQ(w.cmbWeek->count(), 0);
  EXPECT_EQ(w.grdVCR->RowCount(), 2);
  EXPECT_EQ(w.grdVCR->Cells(0, 1), "");
}

TEST_F(VcrTest, OpensOnTheLatestWeekOfTheReturnsAndTheFirstRegion) {
  AddPayments();
  TfrmListVCR w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Encaissements");
  EXPECT_EQ(w.cmbWeek->currentText(), "06/03/2004");
  EXPECT_EQ(w.cmbWeek->itemText(1), "28/02/2004");
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  EXPECT_EQ(Column(w.grdVCR, 0), QStringList({"Code", "0001", "0002"}));
  EXPECT_EQ(Column(w.grdVCR, 1), QStringList({"Nom", "KIOSQUE GARE", "TABAC DES AMIS"}));
  EXPECT_EQ(Column(w.grdVCR, 2), QStringList({"Montant", "", "12.50"}));
  EXPECT_EQ(w.lTot->Caption(), "12.50");
  EXPECT_EQ(w.stBar->currentMessage(), "  2 Clients");
  EXPECT_EQ(w.grdVCR->Col(), 2);
  EXPECT_EQ(w.grdVCR->Row(), 1);
  ChooseWeek(w, 1);
  EXPECT_EQ(Column(w.grdVCR, 2), QStringList({"Montant", "", ""}));  // a zero payment reads empty
}

TEST_F(VcrTest, APaymentIsInsertedThenUpdatedAndEnterWrapsToTheFirstClient) {
  AddPayments();
  TfrmListVCR w;
  Activate(&w);
  Type("1255");
  Press(Qt::Key_Return);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(w.grdVCR->Cells(2, 1), "1 255.00");
  EXPECT_EQ(w.grdVCR->Row(), 2);
  EXPECT_EQ(w.lTot->Caption(), "1 267.50");
  Type("7.5");
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdVCR->Row(), 1);  // from the last row back to the first client
  Type("20.05");
  Press(Qt::Key_Return);
  EXPECT_EQ(Payments(), QStringList({"28/02/2004|0002|0", "06/03/2004|0001|20.05", "06/03/2004|0002|7.5"}));
  EXPECT_EQ(w.lTot->Caption(), "27.55");
  // Typing 0 stores a zero payment (client 0002, the row Enter moved to), read back empty.
  Type("0");
  Press(Qt::Key_Return);
  EXPECT_EQ(Value("SELECT MONTANT FROM VCR WHERE WEEK='3/6/2004' AND ID_CLIENT='0002'"), "0");
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdVCR->Cells(2, 2), "");
}

TEST_F(VcrTest, LettersAndSignsAreRefusedAsTypedAndBadAmountsWithAMessage) {
  AddPayments();
  TfrmListVCR w;
  Activate(&w);
  Type("1A- 2");
  EXPECT_EQ(w.grdVCR->Cells(2, 1), "12");
  Press(Qt::Key_Backspace);
  EXPECT_EQ(w.grdVCR->Cells(2, 1), "12");
  Press(Qt::Key_Escape);  // the typing is dropped
  EXPECT_EQ(w.grdVCR->Cells(2, 1), "");
  for (const char* bad : {"1.2.3", "1.234"}) {
    dlg->Clear();
    w.grdVCR->FocusCell(2, 1);
    Type(bad);
    Press(Qt::Key_Return);
    EXPECT_EQ(dlg->Messages(), QStringList({"Le montant que vous venez de saisir est incorrect !"})) << bad;
    EXPECT_EQ(w.grdVCR->Row(), 1);
    Press(Qt::Key_Escape);
  }
  // A text put in the cell by other means than typing is checked all the same.
  w.grdVCR->SetCells(2, 1, "1,5,0");
  w.AmountTyped = true;
  dlg->Clear();
  EXPECT_FALSE(w.SaveAmount());
  EXPECT_EQ(dlg->Messages(), QStringList({"Le montant que vous venez de saisir est incorrect !"}));
  EXPECT_EQ(Payments().size(), 2);
}

TEST_F(VcrTest, AnAmountNotYetConfirmedIsStoredBeforeTheWeekRegionOrWindowChanges) {
  AddPayments();
  TfrmListVCR w;
  Activate(&w);
  Type("5");
  ChooseWeek(w, 1);
  EXPECT_EQ(w.cmbWeek->currentText(), "28/02/2004");
  EXPECT_EQ(Value("SELECT MONTANT FROM VCR WHERE WEEK='3/6/2004' AND ID_CLIENT='0001'"), "5");

  Type("6");
  w.cmbRegion->setCurrentIndex(1);
  emit w.cmbRegion->activated(1);
  EXPECT_EQ(w.grdVCR->Cells(1, 1), "PRESSE DU PORT");
  EXPECT_EQ(Value("SELECT MONTANT FROM VCR WHERE WEEK='2/28/2004' AND ID_CLIENT='0001'"), "6");

  Type("7");
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Value("SELECT MONTANT FROM VCR WHERE WEEK='2/28/2004' AND ID_CLIENT='0003'"), "7");
}

TEST_F(VcrTest, ARefusedAmountKeepsTheWeekTheRegionAndTheWindow) {
  AddPayments();
  TfrmListVCR w;
  Activate(&w);
  Type("1.2.3");
  ChooseWeek(w, 1);
  EXPECT_EQ(w.cmbWeek->currentText(), "06/03/2004");
  w.cmbRegion->setCurrentIndex(1);
  emit w.cmbRegion->activated(1);
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  EXPECT_EQ(w.grdVCR->Cells(1, 1), "KIOSQUE GARE");
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(dlg->Messages().size(), 3);
  // Leaving the cell is refused too, and the cursor stays.
  w.grdVCR->FocusCell(2, 2);
  EXPECT_EQ(w.grdVCR->Row(), 1);
  EXPECT_EQ(Payments().size(), 2);
  Press(Qt::Key_Escape);
  w.close();
  EXPECT_FALSE(w.isVisible());
}
