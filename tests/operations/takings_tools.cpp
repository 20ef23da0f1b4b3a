// The takings window's tools: import, delete by client, zeroing by titles, column copy, and the
// day-and-titles dialog they use.
#include <QPushButton>

#include "TakingsFixture.h"
#include "controls/VxLabel.h"
#include "operations/UCopyCol.h"
#include "operations/UDelPriseTitle.h"
#include "operations/UDisto1.h"
#include "operations/UGetDay.h"
#include "shell/global.h"

TEST_F(TakingsTest, DayDialogListsAndSelectedTitles) {
  AddTaking("05/03/2005", "0001", "0001", 1);
  TfrmGetDay f;
  f.ExcludedDay = "07/03/2005";
  f.lKind->setText("Importer les prises de :");
  dlg->QueueModal([](QWidget* w) {
    auto* g = static_cast<TfrmGetDay*>(w);
    EXPECT_EQ(g->cmbDay->count(), 2);
    EXPECT_EQ(g->cmbDay->itemText(0), "06/03/2005");  // the most recent first, the excluded day left out
    EXPECT_EQ(g->cmbDay->itemText(1), "05/03/2005");
    EXPECT_EQ(g->lDay->text(), "Dimanche");
    EXPECT_EQ(g->cmbClient->currentText(), "Le client courant");
    EXPECT_EQ(g->lstTitle->count(), 3);
    EXPECT_EQ(g->lstTitle->item(0)->text(), "0001. LE MATIN");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(g->lstTitle->item(i)->checkState(), Qt::Checked);
    g->cmbDay->setCurrentIndex(1);
    EXPECT_EQ(g->lDay->text(), "Samedi");
    g->BtnInvertSel->click();
    g->lstTitle->item(2)->setCheckState(Qt::Checked);
    EXPECT_TRUE(g->btnOk->isEnabled());
    g->btnOk->click();
    return ModalResult::OK;
  });
  EXPECT_EQ(Dialogs().RunModal(&f), ModalResult::OK);
  EXPECT_EQ(f.cmbDay->currentText(), "05/03/2005");
  ASSERT_NE(SelectedTitles, nullptr);
  EXPECT_EQ(*SelectedTitles, QStringList{"0003"});

  // Cancel leaves an empty list; no day to offer keeps OK disabled.
  Exec("DELETE FROM DISTO WHERE DATEJ<>'3/7/2005'");
  TfrmGetDay g;
  g.ExcludedDay = "07/03/2005";
  dlg->QueueModal([](QWidget* w) {
    auto* d = static_cast<TfrmGetDay*>(w);
    EXPECT_EQ(d->cmbDay->count(), 0);
    EXPECT_FALSE(d->btnOk->isEnabled());
    EXPECT_EQ(d->lDay->text(), "");
    d->BitBtn2->click();
    return ModalResult::Cancel;
  });
  EXPECT_EQ(Dialogs().RunModal(&g), ModalResult::Cancel);
  EXPECT_TRUE(SelectedTitles->isEmpty());
}

TEST_F(TakingsTest, ImportIntoTheShownDayTwiceEqualsOnce) {
  TfrmDisto1 w;
  Activate(&w);
  w.ImportPauseMs = 0;
  // Every client of the region, every title but LE SOIR.
  for (int run = 0; run < 2; ++run) {
    dlg->Clear();
    dlg->QueueModal(AnswerDay("06/03/2005", 1, {"0003"}));
    dlg->QueueAnswer(ModalResult::Yes);
    w.mnInsertClick();
    EXPECT_EQ(dlg->Messages().value(0),
              "Vous avez choisi d'importer les prises du Dimanche, 06/03/2005 et les appliquer à tous les clients de "
              "la région de NORD\r\rContinuer le traitement ?");
    // NORD's rows overwritten or created (with their net price); SUD's left alone.
    EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0001|4|0.9", "0001|0002|6|9.99", "0002|0001|2|1",
                                              "0002|0002|0|1.5", "0003|0003|7|1"}));
  }
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"0|2", "6|4"}));
  EXPECT_FALSE(w.pnlMessage->isVisible());
  EXPECT_EQ(w.lMes->Caption(), "Préparation terminée. Traitement en cours ...");
}

TEST_F(TakingsTest, ImportForTheCurrentClientOnly) {
  TfrmDisto1 w;
  Activate(&w);
  w.ImportPauseMs = 0;
  Click(w.chkTout);
  Click(w.btnDsp);
  TakingsTest::ClickCell(w.grdDisto, 2, 4);  // DURAND, of another region
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnInsertClick();
  EXPECT_EQ(dlg->Messages().value(0),
            "Vous avez choisi d'importer les prises du Dimanche, 06/03/2005  et les appliquer au client DURAND\r\r"
            "Continuer le traitement ?");
  EXPECT_EQ(Rows("SELECT ID_TITRE, QTE_PRISE FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='0003' ORDER BY ID_TITRE"),
            (QStringList{"0001|9", "0002|0", "0003|0"}));
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 5);
  // No title ticked: nothing written.
  dlg->QueueModal(AnswerDay("06/03/2005", 1, {"0001", "0002", "0003"}));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnInsertClick();
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 5);
}

TEST_F(TakingsTest, ImportOnARowWithoutClientWritesNothing) {
  AddRow("Region.db", {"03", "EST"});
  AddRow("OrgaD.DB", {"03", "0001", 1});
  TfrmDisto1 w;
  Activate(&w);
  w.ImportPauseMs = 0;
  w.cmbRegion->SetKeyValue("03");
  w.cmbRegionCloseUp();
  const QStringList before = Rows("SELECT * FROM DISTO ORDER BY DATEJ, ID_CLIENT, ID_TITRE");
  dlg->Clear();
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  w.mnInsertClick();
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(Rows("SELECT * FROM DISTO ORDER BY DATEJ, ID_CLIENT, ID_TITRE"), before);
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  w.mnDeleteCltClick();
  EXPECT_EQ(Rows("SELECT * FROM DISTO ORDER BY DATEJ, ID_CLIENT, ID_TITRE"), before);
}

TEST_F(TakingsTest, DeleteByClientAndForAllClientsAsksTwice) {
  TfrmDisto1 w;
  Activate(&w);
  TakingsTest::ClickCell(w.grdDisto, 2, 3);  // DUPONT
  dlg->QueueModal(AnswerDay("06/03/2005", 0));
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteCltClick();
  EXPECT_EQ(dlg->Messages().value(0),
            "Vous avez choisi de supprimer les prises du Dimanche, 06/03/2005  et les appliquer au client     2 - "
            "DUPONT\r\rContinuer le traitement ?");
  EXPECT_EQ(Day("06/03/2005"), (QStringList{"0002|0001|2|1", "0003|0001|9|1"}));
  // The shown day is offered too; all clients asks a second time, "Non" deletes nothing.
  dlg->Clear();
  dlg->QueueModal(AnswerDay("07/03/2005", 1));
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->QueueAnswer(ModalResult::No);
  w.mnDeleteCltClick();
  EXPECT_EQ(dlg->Messages(),
            (QStringList{"Vous avez choisi de supprimer les prises du Lundi, 07/03/2005 et les appliquer à tous les "
                         "clients\r\rContinuer le traitement ?",
                         "Vous êtes sur le point de supprimer toutes les prises du 07/03/2005\rContinuer ?"}));
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 3);
  dlg->QueueModal(AnswerDay("07/03/2005", 1));
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteCltClick();
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005'"), 0);
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"0|0", "0|0"}));
}

TEST_F(TakingsTest, ZeroingByTitlesStaysInTheRegion) {
  AddTaking("07/03/2005", "0003", "0002", 8);
  TfrmDisto1 w;
  Activate(&w);
  Click(w.chkTout);  // the region box keeps NORD
  dlg->QueueModal([](QWidget* d) {
    auto* f = static_cast<TfrmDelPriseTitle*>(d);
    EXPECT_EQ(f->windowTitle(), "Suppression des prises par Titres");
    EXPECT_EQ(f->lstTitle->count(), 3);
    EXPECT_EQ(f->lstTitle->item(1)->text(), "[0002] - LA SEMAINE");
    EXPECT_FALSE(f->btnOk->isEnabled());
    f->lstTitle->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(f->btnOk->isEnabled());
    f->btnOk->click();
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteTitreClick();
  EXPECT_EQ(dlg->Messages().value(0), "Supprimer toutes les prises des titres sélectionnés ?");
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|0|9.99", "0002|0001|3|1", "0003|0002|8|1", "0003|0003|7|1"}));
  EXPECT_EQ(Day("06/03/2005").value(1), "0001|0002|6|1");
  // "Non" in the dialog changes nothing, and the grid is reloaded all the same.
  w.grdDisto->SetCells(2, 2, "77");
  dlg->QueueModal([](QWidget* d) {
    auto* f = static_cast<TfrmDelPriseTitle*>(d);
    f->lstTitle->item(2)->setCheckState(Qt::Checked);
    f->btnOk->click();
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::No);
  w.mnDeleteTitreClick();
  EXPECT_EQ(Day("07/03/2005").value(3), "0003|0003|7|1");
  EXPECT_NE(w.grdDisto->Cells(2, 2), "77");
}

TEST_F(TakingsTest, ColumnCopyMarksTheCellsAndItsTotal) {
  TfrmDisto1 w;
  Activate(&w);
  // Cancel still marks the window modified.
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  Press(Qt::Key_F8);
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnPost->isEnabled());
  EXPECT_EQ(w.PendingCount(), 0);
  dlg->QueueModal([](QWidget* d) {
    auto* f = static_cast<TfrmCopyCol*>(d);
    EXPECT_EQ(f->cmbColSource->count(), 2);
    EXPECT_EQ(f->cmbColSource->currentText(), "LA SEMAINE");
    EXPECT_EQ(f->cmbColCible->currentIndex(), -1);
    EXPECT_FALSE(f->btnOk->isEnabled());
    f->cmbColCible->setCurrentIndex(1);
    EXPECT_TRUE(f->btnOk->isEnabled());
    f->btnOk->click();
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::Yes);
  Activate(&w);
  Press(Qt::Key_F8);
  EXPECT_EQ(dlg->Messages().value(0),
            "Les prises du journal : LE MATIN seront remplacées par celles du journal LA SEMAINE\rEtes-vous sûr de "
            "vouloir procéder au remplacement ?");
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"0|0", "5|5"}));
  EXPECT_EQ(w.grdTot->Cells(3, 0), "5");
  EXPECT_EQ(w.PendingCount(), 2);
  // Leaving a cell stores only that cell; the copied column is still offered for saving.
  Activate(&w);
  Type("1");
  Press(Qt::Key_Down);
  EXPECT_EQ(w.PendingCount(), 3);
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  w.close();
  EXPECT_EQ(dlg->Messages().value(0), "Les informations modifiées n'ont pas été enregistrées.\rEnregister ?");
  EXPECT_EQ(Day("07/03/2005"),
            (QStringList{"0001|0001|5|0.9", "0001|0002|5|9.99", "0002|0001|0|1", "0002|0002|1|1.5", "0003|0003|7|1"}));
}

TEST_F(TakingsTest, AWrongTextCopiedOntoAnotherColumnIsPaintedTotalledAndRefusedThereToo) {
  TfrmDisto1 w;
  Activate(&w);
  const auto background = [&](int c, int r) {
    w.grdDisto->viewport()->repaint();
    return w.grdDisto->viewport()->grab(w.grdDisto->CellRect(c, r)).toImage().pixelColor(4, 4);
  };
  ASSERT_NE(background(3, 3), QColor(Qt::red));
  // MARTIN / LA SEMAINE typed wrong and copied onto LE MATIN while still being typed.
  Type("x");
  dlg->QueueModal([](QWidget* d) {
    static_cast<TfrmCopyCol*>(d)->cmbColCible->setCurrentIndex(1);
    static_cast<TfrmCopyCol*>(d)->btnOk->click();
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::Yes);
  Press(Qt::Key_F8);
  EXPECT_EQ(TakingsTest::GridRows(w.grdDisto, 2, 2), (QStringList{"x|x", "5|5"}));
  EXPECT_EQ(background(3, 2), QColor(Qt::red));
  EXPECT_NE(background(3, 3), QColor(Qt::red));
  EXPECT_EQ(w.grdTot->Cells(3, 0), "5");
  // The save stops on the typed cell, then on its copy once the first is corrected.
  Activate(&w);
  dlg->Clear();
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{"La quantité prise doit être numérique!"});
  EXPECT_EQ(w.grdDisto->Col(), 2);
  Type("6");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  Type("2");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages().size(), 2);
  EXPECT_EQ(Day("07/03/2005"),
            (QStringList{"0001|0001|5|0.9", "0001|0002|5|9.99", "0002|0001|2|1", "0002|0002|6|1.5", "0003|0003|7|1"}));
  EXPECT_EQ(w.grdTot->Cells(3, 0), "7");
}
