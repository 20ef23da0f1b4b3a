// The returns window on the week that turns the year (Saturday 27/12/2025 to Friday 02/01/2026),
// the latest week stored: it opens on it with the grid hidden, and the region box loads it however
// its list is closed, a choice made or not.
#include <QAbstractItemView>
#include <QLineEdit>

#include "WeeklyFixture.h"
#include "operations/URetour.h"
#include "rules/TradeRules.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

namespace {
class RetourWeekTest : public WeeklyTest {
 protected:
  const QDate Turn{2025, 12, 27};  // a Saturday; its Friday is 02/01/2026

  // Region 01: client 0001 took EL WATAN on the Saturday, the 31st, New Year's Day and the Friday
  // (5 + 3 + 4 + 6), and 7 LIBERTE on New Year's Day; client 0002 took 2 LIBERTE on the Friday.
  // The Friday before and the Saturday after, and region 02, are left out. Returns: 2 EL WATAN
  // of 0001 and 1 LIBERTE of 0002 that week, 9 EL WATAN of 0001 the week before.
  void AddTurnWeek() {
    AddReference();
    AddTaking(Turn.addDays(-1), "0001", "0001", 50, 9.0);
    AddTaking(Turn, "0001", "0001", 5, 9.0);
    AddTaking(QDate(2025, 12, 31), "0001", "0001", 3, 9.5);
    AddTaking(QDate(2026, 1, 1), "0001", "0001", 4, 9.5);
    AddTaking(QDate(2026, 1, 2), "0001", "0001", 6, 9.5);
    AddTaking(QDate(2026, 1, 3), "0001", "0001", 100, 9.0);
    AddTaking(QDate(2026, 1, 1), "0001", "0002", 7, 17.0);
    AddTaking(QDate(2026, 1, 2), "0002", "0002", 2, 18.0);
    AddTaking(Turn, "0003", "0001", 9, 9.0);
    AddRow("Retour.DB", {Turn.addDays(-7), "0001", "0001", 9});
    AddRow("Retour.DB", {Turn, "0001", "0001", 2});
    AddRow("Retour.DB", {Turn, "0002", "0002", 1});
  }
  static QStringList Row(TStringGrid* g, int row, int from, int to) {
    QStringList out;
    for (int c = from; c <= to; ++c) out << g->Cells(c, row);
    return out;
  }
  // The region box's list, opened from the keyboard as the operator does (Alt+Down).
  static QAbstractItemView* OpenList(TfrmRetour& w) {
    w.cmbRegion->setFocus();
    QTest::keyClick(w.cmbRegion, Qt::Key_Down, Qt::AltModifier);
    QApplication::processEvents();
    return w.cmbRegion->view();
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  static void ExpectTurnWeekLoaded(TfrmRetour& w) {
    ASSERT_TRUE(w.grdRetour->isVisible());
    EXPECT_EQ(w.stBar->Panels[1]->text(), "2 clients");
    // LIBERTE (3, 4) then EL WATAN (5, 6); EL WATAN at the Saturday's 9.00, LIBERTE at 17.00.
    EXPECT_EQ(Row(w.grdRetour, 3, 0, 6), QStringList({"0001", "    1 - KIOSQUE GARE", "263.00", "7", "0", "18", "2"}));
    EXPECT_EQ(Row(w.grdRetour, 4, 0, 6), QStringList({"0002", "    2 - TABAC DES AMIS", "18.00", "2", "1", "0", "0"}));
    EXPECT_EQ(Row(w.grdTot, 0, 1, 6), QStringList({"Totaux par région ", "", "9", "1", "18", "2"}));
    EXPECT_EQ(Row(w.grdTot1, 0, 1, 4), QStringList({"Vendus ", "281.00", "8", "16"}));
  }
};
}  // namespace

TEST_F(RetourWeekTest, TheWeekTurningTheYearOpensHiddenAndLoadsItsTakingsAndReturnsOnceARegionIsChosen) {
  AddTurnWeek();
  TfrmRetour w;
  Activate(&w);
  EXPECT_EQ(w.dWeek->text(), "27/12/2025");
  EXPECT_EQ(w.windowTitle(), "Saisie des invendus  / Semaine du 27/12/2025 au 02/01/2026");
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  // Nothing read yet: the grid waits for a region, the totals lines are empty.
  EXPECT_FALSE(w.grdRetour->isVisible());
  EXPECT_EQ(w.grdTot->Cells(1, 0), "");

  // The region already shown, chosen in its list with Enter.
  QTest::keyClick(OpenList(w), Qt::Key_Return);
  Settle();
  ExpectTurnWeekLoaded(w);

  // Across the turn both ways: the next week holds the Saturday 03/01/2026 alone, the week
  // before ends on Friday 26/12/2025.
  Click(w.btnNext);
  EXPECT_EQ(w.dWeek->text(), "03/01/2026");
  EXPECT_EQ(w.windowTitle(), "Saisie des invendus  / Semaine du 03/01/2026 au 09/01/2026");
  EXPECT_EQ(Row(w.grdRetour, 3, 3, 6), QStringList({"0", "0", "100", "0"}));
  Click(w.btnPrev);
  Click(w.btnPrev);
  EXPECT_EQ(w.dWeek->text(), "20/12/2025");
  EXPECT_EQ(Row(w.grdRetour, 3, 3, 6), QStringList({"0", "0", "50", "9"}));
  Click(w.btnNext);
  ExpectTurnWeekLoaded(w);
}

TEST_F(RetourWeekTest, ClosingTheRegionListWithoutAChoiceLoadsTheRegionShown) {
  AddTurnWeek();
  {
    // Escape.
    TfrmRetour w;
    Activate(&w);
    QAbstractItemView* list = OpenList(w);
    ASSERT_TRUE(list->window()->isVisible());
    QTest::keyClick(list, Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(list->window()->isVisible());
    ExpectTurnWeekLoaded(w);
  }
  {
    // A click outside the list.
    TfrmRetour w;
    Activate(&w);
    QAbstractItemView* list = OpenList(w);
    QTest::mouseClick(list->window(), Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
    Settle();
    EXPECT_FALSE(list->window()->isVisible());
    ExpectTurnWeekLoaded(w);
    // Typed and not saved: closing the list again asks first, as a choice does; No keeps the
    // region loaded and drops what was typed, the window still marked as modified.
    ClickCell(w.grdRetour, 4, 3);
    Type("5");
    Press(Qt::Key_Return);
    ASSERT_TRUE(w.Modified);
    dlg->QueueAnswer(ModalResult::No);
    QTest::keyClick(OpenList(w), Qt::Key_Escape);
    Settle();
    EXPECT_EQ(dlg->Messages(), QStringList({"Les informations modifiées n'ont pas été enregistrées.\rEnregister ?"}));
    EXPECT_TRUE(w.Modified);
    EXPECT_EQ(w.grdRetour->Cells(4, 3), "0");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM RETOUR WHERE WEEK='" + DateToSQL(Turn) + "'"), "2");

    // A choice closes the list too, and is asked about once, not again as a dismissal.
    ClickCell(w.grdRetour, 4, 4);
    Type("4");
    Press(Qt::Key_Return);
    dlg->Clear();
    dlg->QueueAnswer(ModalResult::No);
    QTest::keyClick(OpenList(w), Qt::Key_Return);
    Settle();
    EXPECT_EQ(dlg->Messages().size(), 1);
    EXPECT_EQ(w.grdRetour->Cells(4, 4), "1");
  }
}

// The program's week start and the rules' week are the same week.
TEST(RetourWeek, TheWeekStartOfAnyDayIsTheSaturdayOfTheRulesWeek) {
  const trade::Week week{QDate(2005, 3, 5)};
  ASSERT_EQ(WeekStart(QDate(2005, 3, 11)), week.saturday);
  EXPECT_EQ(WeekStart(QDate(2026, 1, 2)), QDate(2025, 12, 27));
}
