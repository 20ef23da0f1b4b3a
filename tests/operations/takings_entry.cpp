// The takings window: typing, the store on leaving a cell, Enter, the save and the leave question.
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "TakingsFixture.h"
#include "operations/UDisto1.h"
#include "reports/UPreview.h"
#include "schema/AppSchema.h"
#include "shell/global.h"

namespace {
const QString kLeave = "Les informations modifiées n'ont pas été enregistrées.\rEnregister ?";
const QString kNotNumber = "La quantité prise doit être numérique!";
const QString kDropTyping = "Les quantités saisies n'ont pas été enregistrées.\rLes abandonner ?";
}  // namespace

TEST_F(TakingsTest, LeavingACellStoresItWhenItsRowExists) {
  TfrmDisto1 w;
  Activate(&w);
  // DUPONT / LA SEMAINE has a row: typing and leaving the cell stores it at once.
  TakingsTest::ClickCell(w.grdDisto, 2, 3);
  Type("12");
  EXPECT_TRUE(w.Modified);
  EXPECT_TRUE(w.btnPost->isEnabled());
  EXPECT_TRUE(w.IsPending(2, 3));
  Press(Qt::Key_Up);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  EXPECT_FALSE(w.Modified);
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|12|9.99", "0002|0001|3|1", "0003|0003|7|1"}));
  EXPECT_EQ(w.grdTot->Cells(2, 0), "12");
  // Closing afterwards asks nothing.
  dlg->Clear();
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dlg->Messages().isEmpty());
}

// The operator's hand is on Enter: on the desktop's own question Enter keeps the typing.
TEST_F(TakingsTest, EnterOnTheDropQuestionKeepsWhatWasTyped) {
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  SetDialogs(nullptr);
  struct Back {
    ScopedDialogs& d;
    ~Back() { SetDialogs(d.operator->()); }
  } back{dlg};
  QString seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen = box->text() + "|" + box->defaultButton()->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(seen, QString(kDropTyping).replace('\r', '\n') + "|&Non");
  EXPECT_EQ(w.grdDisto->InplaceEditor()->text(), "4");
  EXPECT_TRUE(w.Modified);
}

TEST_F(TakingsTest, ACellWithoutRowWaitsForTheSaveAndIsNotLost) {
  TfrmDisto1 w;
  Activate(&w);
  // MARTIN / LA SEMAINE has no row: leaving the cell keeps it for the save.
  Type("4");
  Press(Qt::Key_Right);
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_FALSE(w.Modified);
  EXPECT_TRUE(w.IsPending(2, 2));
  EXPECT_EQ(w.grdTot->Cells(2, 0), "9");
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='0002' AND ID_TITRE='0002'"), 0);
  // The next day asks; "Non" goes on and the cell is dropped.
  dlg->QueueAnswer(ModalResult::No);
  Click(w.btnNext);
  EXPECT_EQ(dlg->Messages(), QStringList{kLeave});
  EXPECT_EQ(w.pnlDate->text(), "08/03/2005");
  EXPECT_EQ(Count("SELECT * FROM DISTO WHERE DATEJ='3/7/2005' AND ID_CLIENT='0002' AND ID_TITRE='0002'"), 0);
  EXPECT_EQ(w.PendingCount(), 0);
  // Back on the day, typed again: "Oui" saves the whole grid first.
  Click(w.btnPrev);
  Click(w.btnDsp);
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  Type("4");
  Press(Qt::Key_Right);
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnPrev);
  EXPECT_EQ(dlg->Messages(), QStringList{kLeave});
  EXPECT_EQ(w.pnlDate->text(), "06/03/2005");
  // n x m rows, zeros included; PU kept on the existing rows, the net price on the new ones
  // (LA SEMAINE 2.00 less MARTIN's weekly rebate 0.50; LE MATIN 1.00 less DUPONT's daily 0.10).
  EXPECT_EQ(Day("07/03/2005"),
            (QStringList{"0001|0001|0|0.9", "0001|0002|5|9.99", "0002|0001|3|1", "0002|0002|4|1.5", "0003|0003|7|1"}));
}

TEST_F(TakingsTest, TheLeaveQuestionOnEveryPathThatReloadsOrLeaves) {
  TfrmDisto1 w;
  Activate(&w);
  auto typePending = [&] {
    Activate(&w);  // the dialogs of the paths before had the keys
    TakingsTest::ClickCell(w.grdDisto, 2, 2);
    Type("4");
    ASSERT_EQ(w.PendingCount(), 1);
    dlg->Clear();
    dlg->QueueAnswer(ModalResult::No);
  };
  auto asked = [&](const char* path) { EXPECT_EQ(dlg->Messages().value(0), kLeave) << path; };
  typePending();
  Click(w.btnDsp);
  asked("Afficher");
  typePending();
  Press(Qt::Key_F5);
  asked("F5");
  typePending();
  w.grdTotDblClick();
  asked("totals toggle");
  Click(w.btnDsp);
  typePending();
  w.cmbRegion->SetKeyValue("02");
  w.cmbRegionCloseUp();
  asked("region box");
  EXPECT_EQ(w.grdDisto->Cells(2, 0), "0003");
  typePending();
  dlg->QueueModal([](QWidget*) { return ModalResult::OK; });
  QTest::mouseDClick(w.pnlDate, Qt::LeftButton);
  asked("calendar");
  typePending();
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  w.mnInsertClick();
  asked("import");
  typePending();
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  w.mnDeleteCltClick();
  asked("delete by client");
  typePending();
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  w.mnDeleteTitreClick();
  asked("zeroing by titles");
  typePending();
  w.close();
  asked("closing");
  EXPECT_FALSE(w.isVisible());
}

TEST_F(TakingsTest, AnIncompleteSaveKeepsTheWindowWhereItIs) {
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  Press(Qt::Key_Right);
  // A wrong cell typed elsewhere is not left yet: "Oui" saves, the save stops on it.
  TakingsTest::ClickCell(w.grdDisto, 3, 3);
  Type("2.5");
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnNext);
  EXPECT_EQ(dlg->Messages(), (QStringList{kLeave, kNotNumber}));
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_EQ(w.grdDisto->Row(), 3);
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|5|9.99", "0002|0001|3|1", "0003|0003|7|1"}));
  // Closing: the same.
  dlg->QueueAnswer(ModalResult::Yes);
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.PendingCount(), 2);
}

TEST_F(TakingsTest, AWrongCellStopsTheSaveWithNothingWritten) {
  for (const QString bad : {"2.5", "1.2.3", "-1", "99999999999", "", "A"}) {
    TfrmDisto1 w;
    Activate(&w);
    Type("4");
    Press(Qt::Key_Down);  // MARTIN / LA SEMAINE waits for the save
    TakingsTest::ClickCell(w.grdDisto, 3, 3);
    Press(Qt::Key_F2);
    w.grdDisto->InplaceEditor()->selectAll();
    if (bad.isEmpty()) Press(Qt::Key_Delete);
    else Type(bad);
    dlg->Clear();
    // Leaving the cell is refused...
    Press(Qt::Key_Up);
    EXPECT_EQ(dlg->Messages(), QStringList{kNotNumber}) << bad.toStdString();
    EXPECT_EQ(w.grdDisto->Row(), 3) << bad.toStdString();
    // ... and the save stops on it, selecting it.
    TakingsTest::ClickCell(w.grdDisto, 2, 2);
    w.grdDisto->setFocus();
    dlg->Clear();
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dlg->Messages(), QStringList{kNotNumber}) << bad.toStdString();
    EXPECT_EQ(w.grdDisto->Col(), 3) << bad.toStdString();
    EXPECT_EQ(w.grdDisto->Row(), 3) << bad.toStdString();
    EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|5|9.99", "0002|0001|3|1", "0003|0003|7|1"})) << bad.toStdString();
    EXPECT_TRUE(w.btnPost->isEnabled());
    // Corrected, the save writes every cell.
    Press(Qt::Key_F2);
    w.grdDisto->InplaceEditor()->selectAll();
    Type("8");
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Day("07/03/2005"),
              (QStringList{"0001|0001|8|0.9", "0001|0002|5|9.99", "0002|0001|3|1", "0002|0002|4|1.5", "0003|0003|7|1"}))
        << bad.toStdString();
    EXPECT_FALSE(w.btnPost->isEnabled());
    EXPECT_EQ(w.grdTot->Cells(3, 0), "11");
    dlg->Clear();
    w.close();
    EXPECT_TRUE(dlg->Messages().isEmpty());
    Exec("DELETE FROM DISTO WHERE DATEJ='3/7/2005' AND ((ID_CLIENT='0001' AND ID_TITRE='0001') OR (ID_CLIENT='0002' AND "
         "ID_TITRE='0002'))");
  }
}

TEST_F(TakingsTest, EnterMovesAlongTheRowThenToTheNextAndWraps) {
  TfrmDisto1 w;
  Activate(&w);
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  Type("6");
  Press(Qt::Key_Return);
  EXPECT_EQ(w.grdDisto->Col(), 2);
  EXPECT_EQ(w.grdDisto->Row(), 3);
  EXPECT_EQ(Day("07/03/2005").value(1), "0002|0001|6|1");  // stored on the way
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);  // from the last cell back to the first
  EXPECT_EQ(w.grdDisto->Col(), 2);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  EXPECT_EQ(w.grdTot->Col(), 2);
  // The totals follow the selected column.
  Press(Qt::Key_Right);
  EXPECT_EQ(w.grdTot->Col(), 3);
}

TEST_F(TakingsTest, CancelAsksBeforeDroppingWhatWasNotStored) {
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  Press(Qt::Key_Down);  // a cell without a row: it waits for the save
  EXPECT_TRUE(w.btnCancel->isEnabled());
  dlg->QueueAnswer(ModalResult::No);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{kDropTyping});
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
  EXPECT_EQ(w.PendingCount(), 1);
  EXPECT_TRUE(w.btnCancel->isEnabled());
  // While a cell is being typed (Ctrl+Z is every editor's undo key): "Non" leaves the typing as it is.
  Type("8");
  ASSERT_TRUE(w.grdDisto->EditorMode());
  dlg->QueueAnswer(ModalResult::No);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(w.grdDisto->EditorMode());
  EXPECT_EQ(w.grdDisto->InplaceEditor()->text(), "8");
  EXPECT_TRUE(w.Modified);
  dlg->QueueAnswer(ModalResult::Yes);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList({kDropTyping, kDropTyping, kDropTyping}));
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "0");
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "5");
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnCancel->isEnabled());
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|5|9.99");
  dlg->Clear();
  Press(Qt::Key_F4, Qt::ControlModifier);  // "Fermer"
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dlg->Messages().isEmpty());
}

TEST_F(TakingsTest, ListPrint) {
  CreateApplicationTables(ApplicationCheck(), DataPath);  // the list report's work table too
  TfrmDisto1 w;
  Activate(&w);
  // Every region: a region must be chosen first.
  Click(w.chkTout);
  dlg->Clear();
  Press(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{"Veuillez sélectionner une région S.V.P !"});
  EXPECT_FALSE(w.chkTout->isChecked());
  EXPECT_TRUE(w.cmbRegion->isEnabled());
  // A region with two list numbers is not prepared: the lists window opens.
  AddRow("TLISTE.DB", {1, 1, "01", "0001", "A"});
  AddRow("TLISTE.DB", {2, 1, "01", "0002", "B"});
  dlg->Clear();
  Press(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{"La liste, pour la région : NORD, n'a pas été préparée !"});
  ASSERT_EQ(dlg->Asked().size(), 2u);
  EXPECT_EQ(dlg->Asked()[1].text, "TfrmListe");
  // One list: a pending cell is offered for saving before anything is printed, then the list
  // report of the region's list for the day shown opens in its preview.
  QStringList previews;
  QTimer closer;
  closer.setInterval(2);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TfrmPreview*>(top); f && f->isVisible() && f->ToolBar->isEnabled()) {
        previews << f->windowTitle();
        f->close();
      }
  });
  closer.start();
  Exec("DELETE FROM TLISTE WHERE NOLISTE=2");
  Activate(&w);
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  Type("4");
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  Press(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{kLeave});
  EXPECT_EQ(Day("07/03/2005").value(3), "0002|0002|4|1.5");
  EXPECT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(previews.size(), 1);
  // Nothing left to save: straight to the preview.
  dlg->Clear();
  Activate(&w);
  Press(Qt::Key_P, Qt::ControlModifier);
  closer.stop();
  EXPECT_TRUE(dlg->Messages().isEmpty()) << dlg->Messages().join("|").toStdString();
  EXPECT_EQ(previews.size(), 2);
}

TEST_F(TakingsTest, ALongPassTakesNoOtherCommand) {
  TfrmDisto1 w;
  Activate(&w);
  w.ImportPauseMs = 0;
  bool triedWhileBusy = false;
  dlg->QueueModal([](QWidget* f) {
    QMetaObject::invokeMethod(f->findChild<QPushButton*>("btnOk"), "click");
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::Yes);
  // Commands arriving while the import runs (its message is up) find the window busy.
  struct OnShow : QObject {
    std::function<void()> f;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Show) QTimer::singleShot(0, f);
      return false;
    }
  } onShow;
  onShow.f = [&] {
    triedWhileBusy = w.Busy();
    w.close();
    w.btnNext->click();
    w.grdDisto->FocusCell(3, 3);
  };
  w.pnlMessage->installEventFilter(&onShow);
  w.mnInsertClick();
  EXPECT_TRUE(triedWhileBusy);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
  EXPECT_FALSE(w.Busy());
  EXPECT_EQ(w.grdDisto->Row(), 2);
  w.pnlMessage->removeEventFilter(&onShow);
}

TEST_F(TakingsTest, TabAndShiftTabMoveFromCellToCellAndNoKeyIsLostOutsideTheGrid) {
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->window(), &w);
  Type("6");
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
  EXPECT_EQ(w.grdDisto->Cells(3, 2), "6");
  Press(Qt::Key_Tab);  // from the last title to the first title of the next client
  EXPECT_EQ(w.grdDisto->Col(), 2);
  EXPECT_EQ(w.grdDisto->Row(), 3);
  Press(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  // A refused quantity holds Tab as it holds Enter.
  Type("x");
  Press(Qt::Key_Tab);
  EXPECT_EQ(dlg->Messages(), QStringList({"La quantité prise doit être numérique!"}));
  EXPECT_EQ(w.grdDisto->Col(), 3);
  Press(Qt::Key_Backspace);
  Type("7");
  Press(Qt::Key_Tab);
  EXPECT_TRUE(w.grdDisto->hasFocus() || w.grdDisto->InplaceEditor()->hasFocus());
  EXPECT_EQ(GridRows(w.grdDisto, 2, 2), (QStringList{"4|7", "5|0"}));
  EXPECT_EQ(Day("07/03/2005").value(1), "0002|0001|7|1");  // stored as Tab left it
  // Ctrl+Tab leaves the grid for the window's other controls.
  Press(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_FALSE(w.grdDisto->hasFocus() || w.grdDisto->InplaceEditor()->hasFocus());
  EXPECT_EQ(QApplication::focusWidget()->window(), &w);
}

TEST_F(TakingsTest, ARightClickInACellBeingTypedOpensTheWindowsMenu) {
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  QLineEdit* ed = w.grdDisto->InplaceEditor();
  ASSERT_TRUE(ed->isVisible());
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), ed->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(ed, &e);
  EXPECT_TRUE(w.PopMnDisto->isVisible());  // "Sauvegarder", "Annuler"... not the editor's own
  w.PopMnDisto->close();
}

TEST_F(TakingsTest, EscapeGivesTheCellBackTheQuantityItHadBeforeTheTyping) {
  TfrmDisto1 w;
  Activate(&w);
  TakingsTest::ClickCell(w.grdDisto, 2, 3);  // DUPONT / LA SEMAINE: 5, stored
  Type("55");
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "5");
  EXPECT_FALSE(w.Modified);
  Press(Qt::Key_Down);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|5|9.99");
  // A cell without a row keeps what was typed into it before (still to be saved).
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  Type("4");
  Press(Qt::Key_Return);
  Press(Qt::Key_Left);
  Type("x");
  Press(Qt::Key_Return);  // refused
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
  EXPECT_TRUE(w.IsPending(2, 2));
  // The same once its editor is opened by a second click, not by a key.
  TakingsTest::ClickCell(w.grdDisto, 3, 3);
  Press(Qt::Key_Left);
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  TakingsTest::ClickCell(w.grdDisto, 2, 2);
  ASSERT_TRUE(w.grdDisto->EditorMode());
  Type("9");
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
  EXPECT_TRUE(w.IsPending(2, 2));
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(Day("07/03/2005").contains("0002|0002|4|1.5"));
}
