// The purchases window: a day at a time, its totals and its week, rows added by "&Insérer" only,
// quantities and prices checked as they are stored.
#include <QLineEdit>

#include "WeeklyFixture.h"
#include "operations/UHa.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Errors.h"
#include "shell/global.h"

namespace {
class HaTest : public WeeklyTest {
 protected:
  // EL WATAN (0001) bought on 03/03 (5 at 7.90) and on 10/03 (8 at 8.00); LIBERTE never.
  void AddPurchases() {
    AddReference();
    AddRow("Ha.DB", {QDate(2004, 3, 3), "0001", 5, 7.9});
    AddRow("Ha.DB", {QDate(2004, 3, 10), "0001", 8, 8.0});
  }
  QStringList Day(const QDate& d) {
    return Rows("SELECT ID, QTE, PU FROM HA WHERE DATEH='" + DateToSQL(d) + "' ORDER BY ID");
  }
};
}  // namespace

TEST_F(HaTest, ShowsTodayWithItsTotalsAndItsWeek) {
  AddPurchases();
  TfrmHa w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Saisie des Achats");
  EXPECT_EQ(w.pnlDate->text(), "10/03/2004");
  EXPECT_EQ(w.lDay->text(), "Mercredi");
  EXPECT_EQ(w.lJour->Caption(), "10/03/2004");
  EXPECT_EQ(w.lTotDay->Caption(), "8");
  EXPECT_EQ(w.lDu->Caption(), "06/03/2004");
  EXPECT_EQ(w.lAu->Caption(), "12/03/2004");
  EXPECT_EQ(w.lTotWeek->Caption(), "8");
  EXPECT_EQ(w.stBar->Panels[0]->text(), "1 Titres");
  EXPECT_FALSE(w.btnInsert->isEnabled());
  EXPECT_TRUE(w.btnDelete->isEnabled());
  EXPECT_EQ(w.DBGrid1->DisplayText(1, 0), "EL WATAN");
  EXPECT_EQ(w.DBGrid1->DisplayText(3, 0), "8.00");
}

TEST_F(HaTest, PageUpAndDownChangeTheDayAndTheWeekFollows) {
  AddPurchases();
  SetClock(QDateTime(QDate(2004, 3, 26), QTime(9, 0)));  // a Friday
  TfrmHa w;
  Activate(&w);
  EXPECT_EQ(w.lDu->Caption(), "20/03/2004");
  EXPECT_EQ(w.lAu->Caption(), "26/03/2004");
  // A day without purchases.
  EXPECT_EQ(w.lTotDay->Caption(), "");
  EXPECT_EQ(w.stBar->Panels[0]->text(), "0 Titres");
  EXPECT_TRUE(w.btnInsert->isEnabled());
  EXPECT_FALSE(w.btnDelete->isEnabled());
  w.DBGrid1->setFocus();
  Press(Qt::Key_PageDown);
  EXPECT_EQ(w.pnlDate->text(), "27/03/2004");
  EXPECT_EQ(w.lDay->text(), "Samedi");
  EXPECT_EQ(w.lDu->Caption(), "27/03/2004");
  EXPECT_EQ(w.lAu->Caption(), "02/04/2004");
  for (int i = 0; i < 24; ++i) Press(Qt::Key_PageUp);
  EXPECT_EQ(w.pnlDate->text(), "03/03/2004");
  EXPECT_EQ(w.lTotDay->Caption(), "5");
  EXPECT_EQ(w.lTotWeek->Caption(), "5");  // 28/02 to 05/03
  w.ShowDay(QDate(2004, 12, 31));
  Press(Qt::Key_PageDown);
  EXPECT_EQ(w.pnlDate->text(), "01/01/2005");
}

TEST_F(HaTest, InsertAddsEveryMissingTitleWithTheLatestQuantityAndThePurchasePrice) {
  AddPurchases();
  TfrmHa w;
  Activate(&w);
  w.btnPrevClick();
  w.btnPrevClick();
  w.btnPrevClick();
  w.btnPrevClick();
  w.btnPrevClick();  // 05/03: EL WATAN was bought on 03/03 and, later, on 10/03
  EXPECT_EQ(w.pnlDate->text(), "05/03/2004");
  QTest::mouseClick(w.btnInsert, Qt::LeftButton);
  EXPECT_EQ(Day(QDate(2004, 3, 5)), QStringList({"0001|8|8", "0002|0|15"}));
  EXPECT_EQ(w.stBar->Panels[0]->text(), "2 Titres");
  EXPECT_EQ(w.lTotDay->Caption(), "8");
  EXPECT_EQ(w.lTotWeek->Caption(), "13");  // 28/02 to 05/03: 5 + 8
  EXPECT_FALSE(w.btnInsert->isEnabled());
  // A title that has its row already never gets a second one.
  w.btnNextClick();
  w.btnNextClick();
  w.btnNextClick();
  w.btnNextClick();
  w.btnNextClick();
  w.btnInsertClick();
  EXPECT_EQ(Day(QDate(2004, 3, 10)), QStringList({"0001|8|8", "0002|0|15"}));

  dlg->QueueAnswer(ModalResult::No);
  w.btnDeleteClick();
  EXPECT_EQ(Day(QDate(2004, 3, 10)).size(), 2);
  dlg->QueueAnswer(ModalResult::Yes);
  QTest::mouseClick(w.btnDelete, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir supprimer les achats ?");
  EXPECT_TRUE(Day(QDate(2004, 3, 10)).isEmpty());
  EXPECT_EQ(Day(QDate(2004, 3, 5)).size(), 2);
  EXPECT_TRUE(w.btnInsert->isEnabled());
  EXPECT_EQ(w.lTotDay->Caption(), "");
}

TEST_F(HaTest, TheGridAddsNoRowAndChecksQuantityAndPrice) {
  AddPurchases();
  TfrmHa w;
  Activate(&w);
  w.DBGrid1->setFocus();
  w.DBGrid1->SetSelectedIndex(2);
  Press(Qt::Key_Down);
  Press(Qt::Key_Insert);
  EXPECT_EQ(w.HA.State(), dsBrowse);
  EXPECT_EQ(Rows("SELECT * FROM HA").size(), 2);

  // Letters and signs never reach the quantity; a stored change recomputes the totals.
  Type("1-A2");
  Press(Qt::Key_Return);
  Press(Qt::Key_Down);
  EXPECT_EQ(Day(QDate(2004, 3, 10)), QStringList({"0001|12|8"}));
  EXPECT_EQ(w.lTotDay->Caption(), "12");

  // An emptied quantity is refused with its message and the row stays in edit.
  w.DBGrid1->SetSelectedIndex(2);
  Press(Qt::Key_F2);
  Press(Qt::Key_Backspace);
  Press(Qt::Key_Backspace);
  Press(Qt::Key_Return);
  EXPECT_THROW(w.HA.CheckBrowseMode(), EAbort);
  EXPECT_EQ(dlg->Messages(), QStringList({"La quantité doit être un nombre entier positif !"}));
  EXPECT_EQ(w.HA.State(), dsEdit);
  w.HA.Cancel();

  // A price with three decimals is refused; two are stored.
  dlg->Clear();
  w.DBGrid1->SetSelectedIndex(3);
  Type("8.125");
  Press(Qt::Key_Return);
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(dlg->Messages(), QStringList({"Le prix unitaire doit être un montant positif avec au plus deux décimales !"}));
  Press(Qt::Key_F2);
  Press(Qt::Key_Backspace);
  Press(Qt::Key_Return);
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Day(QDate(2004, 3, 10)), QStringList({"0001|12|8.12"}));
}

TEST_F(HaTest, AfterInsererAndSupprimerTheKeysGoToTheGridsQuantities) {
  AddPurchases();
  TfrmHa w;
  Activate(&w);
  for (int i = 0; i < 5; ++i) Press(Qt::Key_PageUp);  // 05/03
  ASSERT_EQ(w.pnlDate->text(), "05/03/2004");
  QTest::mouseClick(w.btnInsert, Qt::LeftButton);  // which then turns disabled
  ASSERT_EQ(Day(QDate(2004, 3, 5)).size(), 2);
  Type("12");
  Press(Qt::Key_Return);
  Press(Qt::Key_Down);
  EXPECT_EQ(Day(QDate(2004, 3, 5)), QStringList({"0001|12|8", "0002|0|15"}));
  dlg->QueueAnswer(ModalResult::Yes);
  QTest::mouseClick(w.btnDelete, Qt::LeftButton);
  ASSERT_TRUE(Day(QDate(2004, 3, 5)).isEmpty());
  Press(Qt::Key_PageDown);  // the window's keys still reach it
  EXPECT_EQ(w.pnlDate->text(), "06/03/2004");
}
