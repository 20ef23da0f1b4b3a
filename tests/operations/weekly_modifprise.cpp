// The taking correction window on its own, and the main window's entries of the weekly windows.
#include <QLineEdit>

#include "WeeklyFixture.h"
#include "operations/RegisterWeekly.h"
#include "operations/UModifPrise.h"
#include "platform/sys/Errors.h"
#include "shell/UMain.h"
#include "shell/global.h"

namespace {
class ModifPriseTest : public WeeklyTest {
 protected:
  void Open(TfrmModifPrise& w) {
    w.Disto.SetFilter("(DATEJ>='06/03/2004') and (DATEJ<='12/03/2004') and (ID_CLIENT='0001') and (ID_Titre='0001')");
    w.Disto.SetFiltered(true);
    Activate(&w);
    w.DBGrid1->setFocus();
    w.DBGrid1->SetSelectedIndex(1);
  }
  QString Qte(const QDate& d) {
    return Value("SELECT QTE_PRISE FROM DISTO WHERE DATEJ='" + DateToSQL(d) + "' AND ID_CLIENT='0001' AND ID_TITRE='0001'");
  }
};
}  // namespace

TEST_F(ModifPriseTest, ListsTheWeeksDaysAndStoresATypedQuantityOnClose) {
  AddReference();
  AddTaking(Sat, "0001", "0001", 5, 9.0);
  AddTaking(Sat.addDays(4), "0001", "0001", 3, 9.5);
  AddTaking(Sat.addDays(7), "0001", "0001", 100, 9.0);
  AddTaking(Sat, "0002", "0001", 1, 9.0);
  TfrmModifPrise w;
  Open(w);
  EXPECT_EQ(w.windowTitle(), "Modification de prise");
  EXPECT_EQ(w.Disto.RecordCount(), 2);
  EXPECT_EQ(w.DBGrid1->DisplayText(0, 0), "06/03/2004");
  // Digits only; the date cannot be typed into.
  Type("1x-2");
  Press(Qt::Key_Down);
  EXPECT_EQ(Qte(Sat), "12");
  w.DBGrid1->SetSelectedIndex(0);
  Type("1");
  EXPECT_EQ(w.Disto.FieldByName("DateJ")->AsDate(), Sat.addDays(4));
  // No row can be added: neither below the last one nor with Insert.
  w.DBGrid1->SetSelectedIndex(1);
  Press(Qt::Key_Down);
  Press(Qt::Key_Insert);
  EXPECT_EQ(w.Disto.State(), dsBrowse);
  EXPECT_EQ(w.Disto.RecordCount(), 2);
  // Closing right after typing stores it; the price stays.
  Type("7");
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Rows("SELECT QTE_PRISE, PU FROM DISTO WHERE DATEJ='3/10/2004'"), QStringList({"7|9.5"}));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM DISTO"), QStringList({"4"}));
}

TEST_F(ModifPriseTest, AnEmptiedQuantityIsRefusedAndTheRowStaysInEdit) {
  AddReference();
  AddTaking(Sat, "0001", "0001", 5, 9.0);
  TfrmModifPrise w;
  Open(w);
  Press(Qt::Key_F2);
  Press(Qt::Key_Backspace);
  Press(Qt::Key_Return);
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(dlg->Messages(), QStringList({"La quantité prise doit être un nombre entier positif !"}));
  EXPECT_EQ(w.Disto.State(), dsEdit);
  EXPECT_EQ(Qte(Sat), "5");
  Type("4");
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Qte(Sat), "4");
}

TEST_F(ModifPriseTest, OpensWithTheKeysOnTheQuantityAndItsWholeCaptionShown) {
  AddReference();
  AddTaking(Sat, "0001", "0001", 5, 9.0);
  TfrmModifPrise w;
  w.Disto.SetFilter("(DATEJ>='06/03/2004') and (DATEJ<='12/03/2004') and (ID_CLIENT='0001') and (ID_Titre='0001')");
  w.Disto.SetFiltered(true);
  Activate(&w);
  Type("6");  // no click first: the date cannot be typed into, the quantity can
  w.close();
  EXPECT_EQ(Qte(Sat), "6");
  EXPECT_GE(w.width(), QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(w.windowTitle()) + 80);
}

TEST(WeeklyRegistration, TheMainWindowOpensTheReturnsPaymentsAndPurchases) {
  RegisterWeeklyWindows();
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::Retour));
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::ListVCR));
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::Ha));
}
