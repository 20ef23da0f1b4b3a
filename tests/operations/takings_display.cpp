// The takings window: what it loads for a day, a region or every region, and its totals.
#include "TakingsFixture.h"
#include "operations/UDisto1.h"
#include "operations/Quantity.h"
#include "shell/UMain.h"
#include "operations/RegisterTakings.h"
#include "shell/global.h"
#include "shell/UCalendar.h"
#include <QCalendarWidget>
#include <QPushButton>

TEST_F(TakingsTest, OpensOnTodayAndTheFirstRegionByName) {
  TfrmDisto1 w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Saisie des Prises");
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
  EXPECT_EQ(w.lDay->text(), "Lundi");
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  EXPECT_FALSE(w.chkTout->isChecked());
  EXPECT_TRUE(w.cmbRegion->isEnabled());
  EXPECT_FALSE(w.btnPost->isEnabled());
  // Titles in the region's order; the title that no longer exists gives no column.
  EXPECT_EQ(w.grdDisto->ColCount(), 4);
  EXPECT_EQ(w.grdDisto->Cells(1, 0), "Titres");
  EXPECT_EQ(w.grdDisto->Cells(1, 1), "Clients");
  EXPECT_EQ(w.grdDisto->Cells(2, 0), "0002");
  EXPECT_EQ(w.grdDisto->Cells(2, 1), "LA SEMAINE");
  EXPECT_EQ(w.grdDisto->Cells(3, 0), "0001");
  EXPECT_EQ(w.grdDisto->RowHeights(0), 0);
  EXPECT_EQ(w.grdDisto->ColWidths(0), 0);
  EXPECT_EQ(w.grdDisto->ColWidths(1), 160);
  EXPECT_EQ(w.grdDisto->ColWidths(2), 65);
  // Clients in delivery order; "0" where a client has no row for the day.
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2),
            (QStringList{"0002|    1 - MARTIN|0|3", "0001|    2 - DUPONT|5|0"}));
  EXPECT_EQ(w.grdTot->ColCount(), 4);
  EXPECT_EQ(w.grdTot->ColWidths(2), 65);
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Région|5|3"});
  EXPECT_EQ(w.stBar->Panels[1]->text(), "2 clients");
  EXPECT_EQ(w.grdDisto->Col(), 2);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  // The mouse over a title's name shows it as the hint and in the status bar.
  QTest::mouseMove(w.grdDisto->viewport(), w.grdDisto->CellRect(3, 1).center());
  EXPECT_EQ(w.grdDisto->toolTip(), "LE MATIN");
  EXPECT_EQ(w.stBar->Panels[2]->text(), "LE MATIN");
  QTest::mouseMove(w.grdDisto->viewport(), w.grdDisto->CellRect(3, 2).center());
  EXPECT_EQ(w.grdDisto->toolTip(), "");
}

TEST_F(TakingsTest, EveryRegionComesRegionByRegionAndTheTotalsToggle) {
  TfrmDisto1 w;
  Activate(&w);
  Click(w.chkTout);
  EXPECT_FALSE(w.cmbRegion->isEnabled());
  EXPECT_EQ(w.grdDisto->RowCount(), 4);  // not reloaded until "Afficher"
  Click(w.btnDsp);
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 0, 2), (QStringList{"0001|0002|0003", "LE MATIN|LA SEMAINE|LE SOIR",
                                                                  "3|0|0", "0|5|0", "0|0|7"}));
  EXPECT_EQ(w.grdDisto->Cells(0, 4), "0003");
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Général|3|5|7"});
  EXPECT_EQ(w.stBar->Panels[1]->text(), "3 clients");
  // With every region shown the toggle reloads and keeps the general totals.
  w.grdTotDblClick();
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Général|3|5|7"});

  // One region: the toggle shows the day's takings of every region for the titles shown.
  Click(w.chkTout);
  AddTaking("07/03/2005", "0003", "0002", 4);
  Click(w.btnDsp);
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Région|5|3"});
  TakingsTest::DoubleClickCell(w.grdTot, 2, 0);
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Général|9|3"});
  TakingsTest::DoubleClickCell(w.grdTot, 2, 0);
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Région|5|3"});
  // A title without any taking that day keeps an empty general total.
  Exec("DELETE FROM DISTO WHERE ID_TITRE='0001'");
  w.grdTotDblClick();
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Général|9|"});
}

TEST_F(TakingsTest, RegionWithoutClientsOrTitlesAndTheEmptyGridOfTheNextDay) {
  AddRow("Region.db", {"03", "EST"});
  AddRow("OrgaD.DB", {"03", "0001", 1});
  TfrmDisto1 w;
  Activate(&w);
  w.cmbRegion->SetKeyValue("03");
  w.cmbRegionCloseUp();
  EXPECT_EQ(w.grdDisto->RowCount(), 3);
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2), QStringList{"||"});
  EXPECT_EQ(w.stBar->Panels[1]->text(), "0 clients");
  EXPECT_EQ(TakingsTest::GridRows(w.grdTot, 0, 1), QStringList{"Total Région|"});
  // A row without a client takes no typing, and a save writes nothing.
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  Type("5");
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "");
  EXPECT_EQ(w.PendingCount(), 0);
  w.btnPostClick();
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE ID_CLIENT IS NULL OR ID_CLIENT=''"), 0);

  // The next day: every title as a column and no client until "Afficher".
  Click(w.btnNext);
  EXPECT_EQ(w.pnlDate->text(), "08/03/2005");
  EXPECT_EQ(w.lDay->text(), "Mardi");
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 0, 2), (QStringList{"0001|0002|0003", "LE MATIN|LA SEMAINE|LE SOIR", "||"}));
  EXPECT_EQ(w.grdTot->Cells(1, 0), "Total Région");
  TakingsTest::ClickCell(w.grdDisto, 3, 2);
  Type("12");
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdDisto->Cells(3, 2), "");
  // "Sauvegarder" on it stops at its first cell.
  TakingsTest::ClickCell(w.grdDisto, 4, 2);
  dlg->Clear();
  w.btnPostClick();
  EXPECT_EQ(dlg->Messages(), QStringList{"La quantité prise doit être numérique!"});
  EXPECT_EQ(w.grdDisto->Col(), 2);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/8/2005'"), 0);
  // A region with no titles: no title column.
  w.cmbRegion->SetKeyValue("02");
  Exec("DELETE FROM ORGAD WHERE ID_REGION='02'");
  Click(w.btnDsp);
  EXPECT_EQ(w.grdDisto->ColWidths(2), 0);
  EXPECT_EQ(w.grdDisto->Cells(2, 0), "");
  EXPECT_EQ(w.grdDisto->Cells(1, 2), "    1 - DURAND");
}

TEST_F(TakingsTest, PreviousDayAndCalendar) {
  TfrmDisto1 w;
  Activate(&w);
  Click(w.btnPrev);
  EXPECT_EQ(w.pnlDate->text(), "06/03/2005");
  EXPECT_EQ(w.lDay->text(), "Dimanche");
  Click(w.btnDsp);
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"0|2", "6|4"}));
  // The calendar chooses a day and reloads at once.
  dlg->QueueModal([](QWidget* cal) {
    auto* c = static_cast<TfrmCalendar*>(cal);
    c->myCalend->setSelectedDate(QDate(2005, 3, 7));
    c->btnOK->click();
    return ModalResult::OK;
  });
  QTest::mouseDClick(w.pnlDate, Qt::LeftButton);
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"0|3", "5|0"}));
  // Cancel changes nothing.
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  QTest::mouseDClick(w.pnlDate, Qt::LeftButton);
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
}

TEST_F(TakingsTest, MainWindowEntriesOpenTheTakingsWindows) {
  RegisterTakingsWindows();
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::Disto1));
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::Disto));
  QString opened;
  dlg->QueueModal([&](QWidget* w) {
    opened = w->windowTitle();
    return ModalResult::Cancel;
  });
  EXPECT_TRUE(TfrmMain::OpenWindow(WindowKey::Disto1));
  EXPECT_EQ(opened, "Saisie des Prises");
  dlg->QueueModal([&](QWidget* w) {
    opened = w->windowTitle();
    return ModalResult::Cancel;
  });
  EXPECT_TRUE(TfrmMain::OpenWindow(WindowKey::Disto));
  EXPECT_EQ(opened, "Distribution");
}

TEST_F(TakingsTest, AQuantityWiderThanItsColumnShowsAsMarksNotCutDigits) {
  TfrmDisto1 w;
  Activate(&w);
  TStringGrid* g = w.grdDisto;
  ASSERT_EQ(g->Row(), 2);
  auto shot = [&](int c, int r, const QString& text) {
    g->SetCells(c, r, text);
    g->viewport()->repaint();
    return g->viewport()->grab(g->CellRect(c, r)).toImage();
  };
  ASSERT_TRUE(FitInCell("2147483647", g->CellRect(3, 3).width() - 6, QFontMetrics(g->font())).startsWith("#"));
  // Two different wide numbers look the same (marks), in a plain row and in the current one.
  for (int r : {3, 2}) {
    EXPECT_EQ(shot(3, r, "2147483647"), shot(3, r, "1000000000")) << r;
    EXPECT_NE(shot(3, r, "999"), shot(3, r, "998")) << r;  // what fits is shown as it is
  }
  // The totals row too.
  const auto tot = [&](const QString& t) {
    w.grdTot->SetCells(3, 0, t);
    w.grdTot->viewport()->repaint();
    return w.grdTot->viewport()->grab(w.grdTot->CellRect(3, 0)).toImage();
  };
  EXPECT_EQ(tot("4294967294"), tot("1000000000"));
  EXPECT_NE(tot("12"), tot("13"));
}
