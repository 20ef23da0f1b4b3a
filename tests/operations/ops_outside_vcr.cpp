// The payments window as the operator met it in the real program: a comma typed as the decimal
// mark is refused with the amount's message, never stored as a number ten times larger.
#include "WeeklyFixture.h"
#include "operations/UListVCR.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Grids.h"

TEST_F(WeeklyTest, ACommaTypedInAPaymentIsRefusedNotDropped) {
  AddReference();
  AddTaking(Sat, "0001", "0001", 5, 9.0);
  AddRow("Retour.DB", {Sat, "0001", "0001", 1});
  TfrmListVCR w;
  Activate(&w);
  ASSERT_EQ(w.grdVCR->Cells(0, 1), "0001");
  for (const char* typed : {"1,5", "1,5,0"}) {
    dlg->Clear();
    w.grdVCR->FocusCell(2, 1);
    Type(typed);
    EXPECT_EQ(w.grdVCR->Cells(2, 1), typed);
    Press(Qt::Key_Return);
    EXPECT_EQ(dlg->Messages(), QStringList({"Le montant que vous venez de saisir est incorrect !"})) << typed;
    EXPECT_EQ(w.grdVCR->Row(), 1);
    Press(Qt::Key_Escape);
  }
  EXPECT_EQ(Rows("SELECT MONTANT FROM VCR"), QStringList());
  // With the point, the amount goes in.
  dlg->Clear();
  w.grdVCR->FocusCell(2, 1);
  Type("1.5");
  Press(Qt::Key_Return);
  EXPECT_TRUE(dlg->Messages().isEmpty()) << dlg->Messages().join("/").toStdString();
  EXPECT_EQ(Rows("SELECT ID_CLIENT, MONTANT FROM VCR"), QStringList({"0001|1.5"}));
}
