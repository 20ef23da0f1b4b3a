// The per-client takings window.
#include <QContextMenuEvent>
#include <QPushButton>

#include "TakingsFixture.h"
#include "operations/UDisto.h"
#include "operations/UGetDay.h"
#include "platform/sys/Clock.h"
#include "shell/global.h"

TEST_F(TakingsTest, PerClientWindowShowsTheClientsDayAndCreatesTheMissingRows) {
  TfrmDisto w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Distribution");
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
  EXPECT_EQ(w.lDay->text(), "Lundi");
  EXPECT_TRUE(w.chkTout->isChecked());
  EXPECT_FALSE(w.cmbRegion1->isEnabled());
  // Clients by delivery order: MARTIN (0002) or DURAND (0003) first, both order 1.
  EXPECT_EQ(w.Client.RecordCount(), 3);
  ASSERT_TRUE(w.Client.Locate("Id", "0001"));
  EXPECT_EQ(w.Disto.RecordCount(), 1);
  EXPECT_EQ(w.Disto.FieldByName("Id_Titre")->AsString(), "0002");
  EXPECT_EQ(w.grdDisto->DisplayText(1, 0), "LA SEMAINE");
  // Rows cannot be added through the grid.
  EXPECT_THROW(w.Disto.Append(), EAbort);
  EXPECT_EQ(w.Disto.State(), dsBrowse);

  // The next day has no takings: every client of the list gets a row per title, net priced.
  Click(w.btnNext);
  EXPECT_EQ(w.pnlDate->text(), "08/03/2005");
  EXPECT_EQ(w.Disto.RecordCount(), 0);
  Click(w.btnLoad);
  EXPECT_EQ(Day("08/03/2005"), (QStringList{"0001|0001|0|0.9", "0001|0002|0|1.75", "0001|0003|0|2.9",
                                            "0002|0001|0|0.8", "0002|0002|0|1.5", "0002|0003|0|2.8",
                                            "0003|0001|0|1", "0003|0002|0|2", "0003|0003|0|3"}));
  EXPECT_EQ(w.Disto.RecordCount(), 3);
  Click(w.btnLoad);
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/8/2005'"), 9);
  EXPECT_EQ(w.grdDisto->SelectedIndex(), 2);

  // The region filter limits the list; a typed code finds its client.
  Click(w.chkTout);
  EXPECT_TRUE(w.cmbRegion1->isEnabled());
  w.cmbRegion1->SetKeyValue("02");
  w.cmbRegion1CloseUp();
  EXPECT_EQ(w.Client.RecordCount(), 1);
  EXPECT_EQ(w.CurrentClient(), "0003");
  Click(w.chkTout);
  w.rCode->setText("00");
  EXPECT_TRUE(w.CurrentClient().startsWith("00"));
  w.rNom->setText("dup");
  EXPECT_EQ(w.CurrentClient(), "0001");

  // A right click anywhere opens the window's menu, also over a search box or the takings.
  for (QWidget* at : {static_cast<QWidget*>(w.rNom), w.grdDisto->viewport(), w.grdClient->viewport(),
                      static_cast<QWidget*>(w.pnlButtons)}) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(4, 4), at->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(at, &e);
    EXPECT_TRUE(w.menuDisto->isVisible()) << at->objectName().toStdString();
    EXPECT_EQ(w.menuDisto->actions().value(0)->text(), "Charger des prises nulles");
    w.menuDisto->close();
  }
}

TEST_F(TakingsTest, PerClientWindowStoresTheRowBeingTypedAndRefusesWrongQuantities) {
  TfrmDisto w;
  Activate(&w);
  ASSERT_TRUE(w.Client.Locate("Id", "0001"));
  RetypeQuantity(w, "-3");
  dlg->Clear();
  w.close();  // refused: the window stays
  EXPECT_EQ(dlg->Messages().value(0), "La quantité prise doit être numérique!");
  EXPECT_TRUE(w.isVisible());
  w.Disto.Cancel();
  Activate(&w);
  RetypeQuantity(w, "11");
  // Another client: the row is stored first.
  w.Client.Locate("Id", "0002");
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|11|9.99");
  ASSERT_TRUE(w.Client.Locate("Id", "0001"));
  RetypeQuantity(w, "12");
  // Another day: stored first.
  Press(Qt::Key_PageDown);
  EXPECT_EQ(w.pnlDate->text(), "08/03/2005");
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|12|9.99");
  Press(Qt::Key_PageUp);
  RetypeQuantity(w, "13");
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|13|9.99");
}

TEST_F(TakingsTest, PerClientImportTakesTheTickedTitlesOnly) {
  TfrmDisto w;
  Activate(&w);
  ASSERT_TRUE(w.Client.Locate("Id", "0001"));
  // One client, LE SOIR unticked: rows created for every title, quantities of the ticked ones.
  Exec("UPDATE DISTO SET QTE_PRISE=5 WHERE DATEJ='3/7/2005'");
  AddTaking("07/03/2005", "0001", "0003", 2);
  AddTaking("06/03/2005", "0001", "0003", 8);
  dlg->QueueModal(AnswerDay("06/03/2005", 0, {"0003"}));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnInsertClick();
  EXPECT_EQ(dlg->Messages().value(0),
            "Vous avez choisi d'importer les prises du Dimanche, 06/03/2005  et les appliquer au client DUPONT\r\r"
            "Continuer le traitement ?");
  EXPECT_EQ(Rows("SELECT ID_TITRE, QTE_PRISE, PU FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='0001' ORDER BY ID_TITRE"),
            (QStringList{"0001|4|0.9", "0002|6|9.99", "0003|2|1"}));
  // The list is back on its first client, whose rows are shown.
  EXPECT_EQ(w.Disto.RecordCount(),
            Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='" + w.CurrentClient() + "'"));
  // Every client, with the region filter on: rows created only for the region's clients, the
  // quantities of every client's rows rewritten (0 where the source day has none).
  Click(w.chkTout);
  w.cmbRegion1->SetKeyValue("02");
  w.cmbRegion1CloseUp();
  dlg->QueueModal(AnswerDay("06/03/2005", 1));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnInsertClick();
  EXPECT_EQ(Rows("SELECT ID_CLIENT, ID_TITRE, QTE_PRISE FROM DISTO WHERE DATEJ='3/7/2005' ORDER BY ID_CLIENT, ID_TITRE"),
            (QStringList{"0001|0001|4", "0001|0002|6", "0001|0003|8", "0002|0001|2", "0003|0001|9", "0003|0002|0",
                         "0003|0003|0"}));
  // Delete of the current client's day, then of every client's.
  dlg->QueueModal(AnswerDay("07/03/2005", 0));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteClick();
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='0003'"), 0);
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 4);
  dlg->QueueModal(AnswerDay("07/03/2005", 1));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteClick();
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 0);
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/6/2005'"), 5);
}

TEST_F(TakingsTest, PerClientWindowPageDownAndAnEmptyList) {
  SetClock(QDateTime(QDate(2004, 2, 28), QTime(8, 0)));
  Exec("DELETE FROM CLIENT");
  TfrmDisto w;
  Activate(&w);
  EXPECT_EQ(w.pnlDate->text(), "28/02/2004");
  w.grdClient->setFocus();
  Press(Qt::Key_PageDown);
  EXPECT_EQ(w.pnlDate->text(), "29/02/2004");
  Press(Qt::Key_PageUp);
  Press(Qt::Key_PageUp);
  EXPECT_EQ(w.pnlDate->text(), "27/02/2004");
  // No client: "the current client" imports and deletes nothing.
  const QStringList before = Rows("SELECT * FROM DISTO ORDER BY DATEJ, ID_CLIENT, ID_TITRE");
  dlg->Clear();
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  w.mnInsertClick();
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  w.mnDeleteClick();
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(Rows("SELECT * FROM DISTO ORDER BY DATEJ, ID_CLIENT, ID_TITRE"), before);
}
