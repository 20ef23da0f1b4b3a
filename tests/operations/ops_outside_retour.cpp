// The returns window as the operator met it in the real program: after a week is loaded from
// the calendar or a button, the digits typed go into the grid, not into the button last pressed.
#include <QCalendarWidget>

#include "WeeklyFixture.h"
#include "operations/URetour.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Grids.h"
#include "shell/UCalendar.h"
#include "shell/global.h"

namespace {
class RetourOutsideTest : public WeeklyTest {
 protected:
  void AddWeek() {
    AddReference();
    AddTaking(Sat, "0001", "0001", 5, 9.0);
    AddRow("Retour.DB", {Sat, "0001", "0001", 2});
  }
};
}  // namespace

TEST_F(RetourOutsideTest, AWeekLoadedFromTheCalendarTakesTheKeysAtOnce) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  w.btnLoad->setFocus();  // where the focus lands while the grid is still hidden
  QApplication::processEvents();
  dlg->QueueModal([this](QWidget* cal) {
    static_cast<TfrmCalendar*>(cal)->myCalend->setSelectedDate(Sat);
    return ModalResult::OK;
  });
  Press(Qt::Key_F4);
  Activate(&w);  // the window manager hands the window back its activation after the calendar
  ASSERT_TRUE(w.grdRetour->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(w.grdRetour));
  Type("7");
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdRetour->Cells(4, 3), "7");
  EXPECT_TRUE(w.btnPost->isEnabled());
  w.btnPost->click();
  EXPECT_EQ(Value("SELECT QTE FROM RETOUR WHERE WEEK='" + DateToSQL(Sat) + "' AND ID_CLIENT='0001' AND ID_TITRE='0002'"), "7");  // LIBERTE comes first
}

// Each day's quantity is within its field, but a week of them need not be: the taken cells and
// the totals are counted past it, and the week can still be saved.
TEST_F(RetourOutsideTest, AWeekOfHugeTakingsIsCountedExactlyAndStillSaves) {
  AddReference();
  AddTaking(Sat, "0001", "0001", 2000000000, 9.0);
  AddTaking(Sat.addDays(2), "0001", "0001", 2000000000, 9.0);
  AddTaking(Sat, "0002", "0001", 2147483647, 9.0);
  TfrmRetour w;
  Activate(&w);
  dlg->QueueModal([this](QWidget* cal) {
    static_cast<TfrmCalendar*>(cal)->myCalend->setSelectedDate(Sat);
    return ModalResult::OK;
  });
  w.btnCalendarClick();
  Activate(&w);
  // EL WATAN is the second pair: taken in column 5, unsold in 6.
  EXPECT_EQ(w.grdRetour->Cells(5, 3), "4000000000");
  EXPECT_EQ(w.grdRetour->Cells(5, 4), "2147483647");
  EXPECT_EQ(w.grdTot->Cells(5, 0), "6147483647");
  ClickCell(w.grdRetour, 6, 3);
  Type("1");
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "35 999 999 991.00");  // (4 000 000 000 - 1) x 9
  w.btnPostClick();
  EXPECT_TRUE(dlg->Messages().isEmpty()) << dlg->Messages().join("/").toStdString();
  EXPECT_EQ(Value("SELECT QTE FROM RETOUR WHERE ID_CLIENT='0001' AND ID_TITRE='0001'"), "1");
}
