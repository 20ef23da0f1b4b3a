// The unsold returns window driven as the operator drives it: the week's takings and returns,
// amounts, typing and saving, the leave question, the week commands, totals and corrections.
#include <QCalendarWidget>
#include <QImage>
#include <QLineEdit>

#include "WeeklyFixture.h"
#include "operations/UModifPrise.h"
#include "operations/URetour.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"
#include "shell/UCalendar.h"
#include "shell/global.h"

namespace {
class RetourTest : public WeeklyTest {
 protected:
  // Region 01's week of 06/03/2004: client 0001 took 5 + 3 of EL WATAN (Saturday at 9.00,
  // Wednesday at 9.50), 4 of LIBERTE on Monday at 17.00; client 0002 took 2 LIBERTE on Saturday
  // at 18.00 and no EL WATAN. Takings outside the week (the Friday before, the next Saturday)
  // and of region 02 are there to be left out. 0001 returned 2 EL WATAN; a week earlier, 1.
  void AddWeek() {
    AddReference();
    AddTaking(Sat, "0001", "0001", 5, 9.0);
    AddTaking(Sat.addDays(4), "0001", "0001", 3, 9.5);
    AddTaking(Sat.addDays(7), "0001", "0001", 100, 9.0);
    AddTaking(Sat.addDays(-1), "0001", "0001", 50, 9.0);
    AddTaking(Sat.addDays(2), "0001", "0002", 4, 17.0);
    AddTaking(Sat, "0002", "0002", 2, 18.0);
    AddTaking(Sat, "0003", "0001", 7, 9.0);
    AddRow("Retour.DB", {Sat, "0001", "0001", 2});
    AddRow("Retour.DB", {Sat.addDays(-7), "0001", "0001", 1});
  }
  static void ChooseRegion(TfrmRetour& w, int index) {
    w.cmbRegion->setCurrentIndex(index);
    emit w.cmbRegion->activated(index);
    QApplication::processEvents();
  }
  static QStringList Row(TStringGrid* g, int row, int from, int to) {
    QStringList out;
    for (int c = from; c <= to; ++c) out << g->Cells(c, row);
    return out;
  }
  // Types a quantity into a cell as the operator does: a click on it, the digits, Enter.
  static void TypeInto(TfrmRetour& w, int col, int row, const QString& text) {
    ClickCell(w.grdRetour, col, row);
    Type(text);
    Press(Qt::Key_Return);
  }
  QStringList WeekRows(const QDate& week) {
    return Rows("SELECT ID_CLIENT, ID_TITRE, QTE FROM RETOUR WHERE WEEK='" + DateToSQL(week) +
                "' ORDER BY ID_CLIENT, ID_TITRE");
  }
};
}  // namespace

TEST_F(RetourTest, OpensOnTheLatestWeekWithTheGridHiddenUntilARegionIsChosen) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  EXPECT_EQ(w.dWeek->text(), "06/03/2004");
  EXPECT_EQ(w.windowTitle(), "Saisie des invendus  / Semaine du 06/03/2004 au 12/03/2004");
  EXPECT_FALSE(w.grdRetour->isVisible());
  // Its place is kept meanwhile: the totals lines and the status bar stay along the bottom.
  EXPECT_GT(w.grdTot->y(), w.height() / 2);
  EXPECT_LT(w.stBar->height(), 40);
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  ChooseRegion(w, 0);
  EXPECT_TRUE(w.grdRetour->isVisible());
  EXPECT_EQ(w.stBar->Panels[1]->text(), "2 clients");
}

TEST_F(RetourTest, WithNoReturnsStoredItOpensOnTheWeekOfToday) {
  AddReference();
  SetClock(QDateTime(QDate(2004, 3, 26), QTime(8, 0)));  // a Friday
  TfrmRetour w;
  EXPECT_EQ(w.dWeek->text(), "20/03/2004");
  ChooseRegion(w, 0);
  EXPECT_EQ(w.grdRetour->Cells(3, 3), "0");
  EXPECT_EQ(w.grdRetour->Cells(4, 3), "0");
}

TEST_F(RetourTest, TakenIsSummedSaturdayToFridayAndAmountsUseTheWeeksPrice) {
  AddWeek();
  TfrmRetour w;
  ChooseRegion(w, 0);
  TStringGrid* g = w.grdRetour;
  // Titles in title order: LIBERTE (0002) then EL WATAN (0001).
  EXPECT_EQ(Row(g, 0, 3, 6), QStringList({"0002", "", "0001", ""}));
  EXPECT_EQ(Row(g, 1, 3, 5), QStringList({"LIBERTE", "", "EL WATAN"}));
  EXPECT_EQ(Row(g, 2, 1, 6), QStringList({"Clients", "Totaux", "Prises", "Invend.", "Prises", "Invend."}));
  EXPECT_EQ(g->RowCount(), 5);
  EXPECT_EQ(g->Cells(1, 3), "    1 - KIOSQUE GARE");
  // 4 LIBERTE at Monday's 17.00; 5 + 3 EL WATAN less 2 unsold at Saturday's 9.00.
  EXPECT_EQ(Row(g, 3, 2, 6), QStringList({"122.00", "4", "0", "8", "2"}));
  // No EL WATAN taken: nothing owed, whatever the price.
  EXPECT_EQ(Row(g, 4, 2, 6), QStringList({"36.00", "2", "0", "0", "0"}));
  EXPECT_EQ(Row(w.grdTot, 0, 1, 6), QStringList({"Totaux par région ", "", "6", "0", "8", "2"}));
  EXPECT_EQ(Row(w.grdTot1, 0, 1, 4), QStringList({"Vendus ", "158.00", "6", "6"}));
  EXPECT_EQ(w.grdTot->ColCount(), 7);
  EXPECT_EQ(w.grdTot1->ColCount(), 5);
  EXPECT_EQ(g->Col(), 4);
}

TEST_F(RetourTest, ATypedUnsoldQuantityChangesTheAmountAndIsSavedForEveryCell) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  TypeInto(w, 4, 3, "1");
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnPost->isEnabled());
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "105.00");  // (4 - 1) x 17 + 54
  EXPECT_EQ(w.grdRetour->Col(), 6);               // Enter goes to the next title's unsold column
  // A cell of the last pair sends Enter to the first title of the next row.
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdRetour->Col(), 4);
  EXPECT_EQ(w.grdRetour->Row(), 4);
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(dlg->Messages().isEmpty()) << dlg->Messages().join("/").toStdString();
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0001|0002|1", "0002|0001|0", "0002|0002|0"}));
  // A second save updates in place; another week is untouched.
  TypeInto(w, 4, 3, "3");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0001|0002|3", "0002|0001|0", "0002|0002|0"}));
  EXPECT_EQ(WeekRows(Sat.addDays(-7)), QStringList({"0001|0001|1"}));
}

TEST_F(RetourTest, TypingGoesOnlyIntoUnsoldCells) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 3, 3);
  Type("9");
  EXPECT_EQ(w.grdRetour->Cells(3, 3), "4");
  EXPECT_FALSE(w.Modified);
}

TEST_F(RetourTest, SaveRefusesAnyCellThatIsNotAWholeQuantityAndWritesNothing) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  TypeInto(w, 4, 3, "1");
  for (const char* bad : {"-1", "2.5", "A", "99999999999"}) {
    dlg->Clear();
    w.grdRetour->SetCells(6, 4, bad);
    w.btnPostClick();
    EXPECT_EQ(dlg->Messages(), QStringList({"La quantité invendue doit être numérique!"})) << bad;
    EXPECT_EQ(w.grdRetour->Col(), 6);
    EXPECT_EQ(w.grdRetour->Row(), 4);
    EXPECT_TRUE(w.Modified);
    EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2"})) << bad;
  }
}

TEST_F(RetourTest, TheLeaveQuestionComesOnEveryPathAndAFailedSaveStaysPut) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  const QString question = "Les informations modifiées n'ont pas été enregistrées.\rEnregister ?";

  // Yes with a refused cell: nothing written, the week stays.
  TypeInto(w, 4, 3, "1");
  w.grdRetour->SetCells(6, 3, "X");
  dlg->QueueAnswer(ModalResult::Yes);
  w.btnNextClick();
  EXPECT_EQ(dlg->Messages(), QStringList({question, "La quantité invendue doit être numérique!"}));
  EXPECT_EQ(w.dWeek->text(), "06/03/2004");
  EXPECT_EQ(w.grdRetour->Cells(4, 3), "1");

  // The region box asks too; No changes the region without saving, and the window stays
  // marked as modified (Save and Cancel on) until a save or "Annuler".
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::No);
  ChooseRegion(w, 1);
  EXPECT_EQ(dlg->Messages(), QStringList({question}));
  EXPECT_EQ(w.grdRetour->Cells(1, 3), "    1 - PRESSE DU PORT");
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnPost->isEnabled());
  EXPECT_TRUE(w.btnCancel->isEnabled());
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2"}));

  // Yes with good cells saves, then moves to the previous week.
  dlg->QueueAnswer(ModalResult::No);
  ChooseRegion(w, 0);
  TypeInto(w, 4, 3, "1");
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  w.btnPrevClick();
  EXPECT_EQ(dlg->Messages(), QStringList({question}));
  EXPECT_EQ(w.dWeek->text(), "28/02/2004");
  EXPECT_EQ(WeekRows(Sat).size(), 4);

  // Closing with a refused cell keeps the window open.
  TypeInto(w, 4, 3, "-");
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  w.close();
  EXPECT_TRUE(w.isVisible());
  dlg->QueueAnswer(ModalResult::No);
  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(RetourTest, TheCalendarTakesOnlyASaturday) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  auto pick = [&](const QDate& d) {
    dlg->QueueModal([d](QWidget* cal) {
      static_cast<TfrmCalendar*>(cal)->myCalend->setSelectedDate(d);
      return ModalResult::OK;
    });
  };
  pick(QDate(2004, 3, 17));  // a Wednesday
  Press(Qt::Key_F4);
  EXPECT_EQ(dlg->Messages(), QStringList({"Il faut choisir une date de début de semaine !"}));
  EXPECT_EQ(w.dWeek->text(), "06/03/2004");
  pick(QDate(2004, 3, 13));
  w.btnCalendarClick();
  EXPECT_EQ(w.dWeek->text(), "13/03/2004");
  EXPECT_EQ(w.grdRetour->Cells(5, 3), "100");  // the next Saturday's taking is that week's
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  w.btnCalendarClick();
  EXPECT_EQ(w.dWeek->text(), "13/03/2004");
}

TEST_F(RetourTest, NewWeekAddsOnlyTheMissingRowsOfTheRegionAndDeleteEmptiesTheWeek) {
  AddWeek();
  AddRow("Retour.DB", {Sat, "0003", "0001", 4});
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  Press(Qt::Key_F5);
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0001|0002|0", "0002|0001|0", "0002|0002|0", "0003|0001|4"}));
  EXPECT_FALSE(w.Modified);
  // A typed cell saved after the new week updates the row it made.
  TypeInto(w, 4, 4, "2");
  w.btnPostClick();
  EXPECT_EQ(Value("SELECT QTE FROM RETOUR WHERE ID_CLIENT='0002' AND ID_TITRE='0002'"), "2");

  dlg->QueueAnswer(ModalResult::No);
  w.mnDeleteClick();
  EXPECT_EQ(WeekRows(Sat).size(), 5);
  // The weeks on either side stay; the later one is stored now, the window opening on the latest.
  AddRow("Retour.DB", {Sat.addDays(7), "0001", "0002", 3});
  dlg->QueueAnswer(ModalResult::Yes);
  w.mnDeleteClick();
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir supprimer ?");
  EXPECT_TRUE(WeekRows(Sat).isEmpty());  // region 02's row too
  EXPECT_EQ(WeekRows(Sat.addDays(-7)), QStringList({"0001|0001|1"}));
  EXPECT_EQ(WeekRows(Sat.addDays(7)), QStringList({"0001|0002|3"}));
  EXPECT_EQ(w.grdRetour->Cells(6, 3), "0");
  EXPECT_FALSE(w.btnDelete->isEnabled());
}

TEST_F(RetourTest, ClientAndGeneralTotalsWithTheirPercentages) {
  AddWeek();
  AddRow("Retour.DB", {Sat, "0001", "0002", 1});
  AddTaking(Sat.addDays(1), "0003", "0002", 3, 18.0);
  AddRow("Retour.DB", {Sat, "0003", "0002", 4});
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  Press(Qt::Key_F7);  // on client 0001
  EXPECT_EQ(w.grdTot->Cells(1, 0), "Total de KIOSQUE GARE");
  EXPECT_EQ(Row(w.grdTot, 0, 3, 6), QStringList({"4", "1", "8", "2"}));
  EXPECT_EQ(Row(w.grdTot1, 0, 3, 4), QStringList({"3    [75%]", "6    [75%]"}));
  // Priced at today's net price: 3 x (20 - 2) + 6 x (10 - 1).
  EXPECT_EQ(w.grdTot1->Cells(2, 0), "108.00");
  EXPECT_EQ(w.grdTot1->Cells(1, 0), "");
  Press(Qt::Key_F9);
  EXPECT_EQ(w.grdTot->Cells(1, 0), "Total général ");
  // LIBERTE: 4 + 2 + 3 taken, 1 + 4 unsold; EL WATAN: 8 + 7 taken, 2 unsold.
  EXPECT_EQ(Row(w.grdTot, 0, 3, 6), QStringList({"9", "5", "15", "2"}));
  EXPECT_EQ(Row(w.grdTot1, 0, 3, 4), QStringList({"4    [44%]", "13    [86%]"}));
  Press(Qt::Key_F8);
  EXPECT_EQ(w.grdTot->Cells(1, 0), "Totaux par région ");
  // Taken 0 gives 0 per cent; more unsold than taken gives a negative count.
  ChooseRegion(w, 1);
  w.ShowTotals("0003");
  EXPECT_EQ(Row(w.grdTot1, 0, 3, 4), QStringList({"-1    [-33%]", "7    [100%]"}));
  w.ShowTotals("0002");
  EXPECT_EQ(w.grdTot1->Cells(4, 0), "0    [0%]");
  w.menuRetour->aboutToShow();
  EXPECT_EQ(w.mnTotClient->text(), "Total de      1 - PRESSE DU PORT");

  // A caption longer than its cell shows its start: two long names alike at first look alike.
  Exec("UPDATE CLIENT SET NOM='MAISON DE LA PRESSE' WHERE ID='0001'");
  ChooseRegion(w, 0);
  w.grdRetour->setFocus();
  Press(Qt::Key_F7);
  ASSERT_EQ(w.grdTot->Cells(1, 0), "Total de MAISON DE LA PRESSE");
  const auto caption = [&](const QString& t) {
    w.grdTot->SetCells(1, 0, t);
    w.grdTot->viewport()->repaint();
    return w.grdTot->viewport()->grab(w.grdTot->CellRect(1, 0)).toImage();
  };
  const QImage shown = caption("Total de MAISON DE LA PRESSE");
  EXPECT_EQ(shown, caption("Total de MAISON DE LA PRESSE ET DU LIVRE"));
  EXPECT_NE(shown, caption("Total de KIOSQUE GARE ET PRESSE DU CENTRE"));
}

TEST_F(RetourTest, AnUnsoldCellWithoutTakingsIsPricedAtTheClientsNetPriceAfterTotals) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  Press(Qt::Key_F7);  // totals of client 0001 read only its own rebates
  TypeInto(w, 6, 4, "1");  // client 0002 took no EL WATAN: 10 less its 1.00 rebate
  EXPECT_EQ(w.grdRetour->Cells(2, 4), "27.00");  // 36 - 9
}

TEST_F(RetourTest, CorrectingATakingRecomputesTheCellAndTheAmount) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  // Client 0001's EL WATAN: two days listed; the Wednesday goes from 3 to 6.
  dlg->QueueModal([](QWidget* win) {
    auto* f = static_cast<TfrmModifPrise*>(win);
    EXPECT_EQ(f->Disto.RecordCount(), 2);
    f->Disto.Last();
    f->Disto.Edit();
    f->Disto.FieldByName("Qte_Prise")->AsInteger = 6;
    return ModalResult::OK;  // closing stores the row being typed
  });
  ClickCell(w.grdRetour, 5, 3);
  Press(Qt::Key_F2);
  EXPECT_EQ(w.grdRetour->Cells(5, 3), "11");
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "149.00");  // 68 + (11 - 2) x 9
  EXPECT_EQ(Value("SELECT QTE_PRISE FROM DISTO WHERE DATEJ='3/10/2004' AND ID_CLIENT='0001' AND ID_TITRE='0001'"), "6");

  // No taking of the title that week: a zero row on the Saturday at the net price, to correct.
  dlg->QueueModal([](QWidget* win) {
    auto* f = static_cast<TfrmModifPrise*>(win);
    EXPECT_EQ(f->Disto.RecordCount(), 1);
    f->Disto.Edit();
    f->Disto.FieldByName("Qte_Prise")->AsInteger = 3;
    return ModalResult::OK;
  });
  ClickCell(w.grdRetour, 5, 4);
  QTest::mouseDClick(w.grdRetour->viewport(), Qt::LeftButton, Qt::NoModifier, w.grdRetour->CellRect(5, 4).center());
  EXPECT_EQ(Rows("SELECT DATEJ, QTE_PRISE, PU FROM DISTO WHERE ID_CLIENT='0002' AND ID_TITRE='0001'"),
            QStringList({"06/03/2004|3|9"}));
  EXPECT_EQ(w.grdRetour->Cells(5, 4), "3");
  EXPECT_EQ(w.grdRetour->Cells(2, 4), "63.00");  // 36 + 3 x 9

  // An unsold column opens nothing.
  ClickCell(w.grdRetour, 6, 4);
  dlg->Clear();
  w.grdRetourDblClick();
  EXPECT_TRUE(dlg->Asked().empty());
}

TEST_F(RetourTest, ARegionWithoutClientsKeepsOneEmptyRowThatTakesNoTyping) {
  AddWeek();
  AddRow("Region.db", {"03", "AAA VIDE"});
  TfrmRetour w;
  Activate(&w);
  EXPECT_EQ(w.cmbRegion->Text(), "AAA VIDE");
  ChooseRegion(w, 0);
  EXPECT_EQ(w.grdRetour->RowCount(), 4);
  EXPECT_EQ(w.stBar->Panels[1]->text(), "0 clients");
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "0.00");
  EXPECT_EQ(w.grdTot1->Cells(2, 0), "0.00");
  EXPECT_FALSE(w.GridLoaded);
  ClickCell(w.grdRetour, 4, 3);
  Type("5");
  EXPECT_FALSE(w.Modified);
  w.btnPostClick();
  EXPECT_EQ(dlg->Messages(), QStringList({"La quantité invendue doit être numérique!"}));
}

TEST_F(RetourTest, ARowMostlyRetypedOrTakenOutUnderneathIsStoredWhole) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  Press(Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(WeekRows(Sat).size(), 4);
  // Both cells of client 0002 retyped.
  TypeInto(w, 4, 4, "1");
  TypeInto(w, 6, 4, "2");
  // Client 0001's LIBERTE row taken out by another program since the loading.
  {
    TQuery q;
    q.SetDatabaseName(DataPath);
    q.SQL.SetText("DELETE FROM RETOUR WHERE ID_CLIENT='0001' AND ID_TITRE='0002'");
    q.ExecSQL();
  }
  TypeInto(w, 4, 3, "3");
  w.btnPostClick();
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0001|0002|3", "0002|0001|2", "0002|0002|1"}));
  EXPECT_EQ(WeekRows(Sat.addDays(-7)), QStringList({"0001|0001|1"}));
}

TEST_F(RetourTest, ARowLeftByTheMouseAfterTypingGetsItsAmount) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 4, 3);
  Type("4");
  ClickCell(w.grdRetour, 6, 4);
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "54.00");  // 0 x 17 + 6 x 9
  EXPECT_EQ(w.grdRetour->Cells(2, 4), "36.00");
}

TEST_F(RetourTest, ASaveFailingHalfWayChangesNothingAndARowAddedUnderneathIsUpdated) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  TypeInto(w, 4, 3, "3");
  TypeInto(w, 6, 4, "1");
  // Client 0002's LIBERTE row stored by another program since the loading.
  AddRow("Retour.DB", {Sat, "0002", "0002", 9});
  // The second row written fails (a disk that fills up).
  int posts = 0;
  const auto flush = w.Retour.AfterPost;
  w.Retour.AfterPost = [&](TDataSet& ds) {
    if (++posts == 2) throw EInOutError("Disque plein");
    flush(ds);
  };
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{"Disque plein"});
  EXPECT_EQ(posts, 2);
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0002|0002|9"}));
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnPost->isEnabled());

  dlg->Clear();
  w.Retour.AfterPost = flush;
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_FALSE(w.Modified);
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|2", "0001|0002|3", "0002|0001|1", "0002|0002|0"}));
  // A second save writes what changed since the first.
  TypeInto(w, 6, 3, "4");
  w.btnPostClick();
  EXPECT_EQ(WeekRows(Sat), QStringList({"0001|0001|4", "0001|0002|3", "0002|0001|1", "0002|0002|0"}));
}

TEST_F(RetourTest, CtrlZCancelsAlsoWhileACellIsBeingTypedOnceTheOperatorAgrees) {
  const QString question = "Les quantités saisies n'ont pas été enregistrées.\rLes abandonner ?";
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 4, 3);
  Type("7");
  ASSERT_TRUE(w.grdRetour->EditorMode());
  ASSERT_EQ(QApplication::focusWidget(), w.grdRetour->InplaceEditor());
  // Not the editor's own undo but the window's "Annuler", which asks first: "Non" keeps the typing.
  dlg->QueueAnswer(ModalResult::No);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{question});
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnCancel->isEnabled());
  EXPECT_TRUE(w.grdRetour->EditorMode());
  EXPECT_EQ(w.grdRetour->InplaceEditor()->text(), "7");
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnCancel);
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnCancel->isEnabled());
  EXPECT_EQ(w.grdRetour->Cells(4, 3), "0");
  // With nothing typed the week is read again without a question.
  dlg->Clear();
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  // Typed again and saved by Ctrl+S from inside the editor.
  ClickCell(w.grdRetour, 4, 3);
  Type("6");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(w.Modified);
  EXPECT_TRUE(WeekRows(Sat).contains("0001|0002|6"));
}

TEST_F(RetourTest, TabGoesFromUnsoldCellToUnsoldCellAsEnterDoes) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 4, 3);
  Type("1");
  Press(Qt::Key_Tab);
  EXPECT_EQ(w.grdRetour->Col(), 6);
  Type("2");
  Press(Qt::Key_Tab);  // the last title: the first unsold cell of the next client
  EXPECT_EQ(w.grdRetour->Col(), 4);
  EXPECT_EQ(w.grdRetour->Row(), 4);
  Type("3");
  Press(Qt::Key_Tab, Qt::ShiftModifier);  // back to the last unsold cell of the client above
  EXPECT_EQ(w.grdRetour->Col(), 6);
  EXPECT_EQ(w.grdRetour->Row(), 3);
  Press(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(w.grdRetour->Col(), 4);
  EXPECT_EQ(Row(w.grdRetour, 3, 3, 6), QStringList({"4", "1", "8", "2"}));
  EXPECT_EQ(Row(w.grdRetour, 4, 3, 6), QStringList({"2", "3", "0", "0"}));
  EXPECT_EQ(w.grdRetour->Cells(2, 3), "105.00");  // the row left by Tab got its amount
  Press(Qt::Key_Tab, Qt::ControlModifier);  // leaves the grid
  EXPECT_FALSE(w.grdRetour->hasFocus() || w.grdRetour->InplaceEditor()->hasFocus());
}

TEST_F(RetourTest, AButtonClickedLeavesTheKeysInTheGrid) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 4, 3);
  Type("4");
  Press(Qt::Key_Down);
  QTest::mouseClick(w.btnPost, Qt::LeftButton);  // "Sauvegarder", which then turns disabled
  ASSERT_FALSE(w.Modified);
  Type("5");
  Press(Qt::Key_Up);  // never a region changed by an arrow key in the region box
  EXPECT_EQ(w.cmbRegion->Text(), "NORD");
  EXPECT_EQ(w.grdRetour->Cells(4, 4), "5");
  EXPECT_EQ(w.grdRetour->Row(), 3);
  // "Nouvelle semaine" stays enabled: the keys stay in the grid all the same.
  QTest::mouseClick(w.btnLoad, Qt::LeftButton);
  Type("6");
  EXPECT_EQ(w.grdRetour->Cells(w.grdRetour->Col(), w.grdRetour->Row()), "6");
}

TEST_F(RetourTest, TheEnterThatChoseTheRegionDoesNotMoveTheNewGridsCursor) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  w.cmbRegion->setFocus();
  ChooseRegion(w, 0);  // the list closed by Enter: its key release comes to the loaded grid
  QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(w.grdRetour->Col(), 4);
  EXPECT_EQ(w.grdRetour->Row(), 3);
  Type("1");
  Press(Qt::Key_Return);  // a whole Enter in the grid still moves
  EXPECT_EQ(w.grdRetour->Col(), 6);
}

TEST_F(RetourTest, ARightClickInACellBeingTypedOpensTheWindowsMenu) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 4, 3);
  Type("4");
  QLineEdit* ed = w.grdRetour->InplaceEditor();
  ASSERT_TRUE(ed->isVisible());
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), ed->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(ed, &e);
  EXPECT_TRUE(w.menuRetour->isVisible());
  w.menuRetour->close();
}

TEST_F(RetourTest, EscapeGivesTheCellBackTheQuantityItHadBeforeTheTyping) {
  AddWeek();
  TfrmRetour w;
  Activate(&w);
  ChooseRegion(w, 0);
  ClickCell(w.grdRetour, 6, 3);  // EL WATAN returned 2
  Type("77");
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdRetour->Cells(6, 3), "2");
  // Nothing else was typed: nothing is left to save.
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnPost->isEnabled());
  // The editor opened by a second click on the cell.
  ClickCell(w.grdRetour, 6, 3);
  Type("8");
  Press(Qt::Key_Escape);
  EXPECT_FALSE(w.btnPost->isEnabled());
  // A cell typed before stays to be saved.
  TypeInto(w, 4, 3, "5");
  ClickCell(w.grdRetour, 6, 3);
  Type("9");
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdRetour->Cells(6, 3), "2");
  EXPECT_TRUE(w.btnPost->isEnabled());
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(WeekRows(Sat).value(0), "0001|0001|2");
  EXPECT_TRUE(WeekRows(Sat).contains("0001|0002|5"));
  ClickCell(w.grdRetour, 4, 3);
  Type("3");
  Press(Qt::Key_Escape);
  w.close();  // nothing to ask
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dlg->Messages().isEmpty());
}
