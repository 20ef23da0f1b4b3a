// A quantity stored when its cell is left, on a data folder that has become read-only: one
// failure brings one error box, and the typed quantity stays in the window, unsaved, until a save
// can store it.
#include <QPushButton>

#include "support/ReadOnlyFolder.h"
#include "TakingsFixture.h"
#include "WeeklyFixture.h"
#include "operations/UDisto.h"
#include "operations/UDisto1.h"
#include "operations/UListVCR.h"
#include "shell/global.h"

namespace {
const QString kLeave = "Les informations modifiées n'ont pas été enregistrées.\rEnregister ?";

// The error boxes shown since the last Clear: their count, and that every one is an error.
int ErrorBoxes(ScopedDialogs& dlg) {
  int n = 0;
  for (const auto& a : dlg->Asked())
    if (a.type == MsgDlgType::Error) ++n;
  return n;
}
}  // namespace

TEST_F(TakingsTest, ACellRefusedByAReadOnlyFolderBringsOneBoxWhicheverWayItIsLeft) {
  const QStringList before = Day("07/03/2005");
  TfrmDisto1 w;
  Activate(&w);
  // MARTIN / LE MATIN (the first row, the last column) has its row: leaving the cell stores it.
  TakingsTest::ClickCell(w.grdDisto, 3, 2);
  Type("21");
  ASSERT_TRUE(w.grdDisto->EditorMode());
  {
    ReadOnlyFolder readOnly(DataPath);
    struct Leave {
      const char* name;
      std::function<void()> act;
    };
    const std::vector<Leave> ways{
        {"Tab", [] { Press(Qt::Key_Tab); }},
        {"Maj+Tab", [] { Press(Qt::Key_Backtab, Qt::ShiftModifier); }},
        {"Entrée", [] { Press(Qt::Key_Return); }},
        {"Bas", [] { Press(Qt::Key_Down); }},
        {"Page suivante", [] { Press(Qt::Key_PageDown); }},
        {"Ctrl+Fin", [] { Press(Qt::Key_End, Qt::ControlModifier); }},
        {"clic", [&w] { TakingsTest::ClickCell(w.grdDisto, 2, 3); }},
    };
    for (const Leave& way : ways) {
      dlg->Clear();
      way.act();
      EXPECT_EQ(ErrorBoxes(dlg), 1) << way.name;
      EXPECT_EQ(dlg->Asked().size(), 1u) << way.name;
      // The cursor stays in the cell, which keeps its typing, unsaved, and the keys.
      EXPECT_EQ(w.grdDisto->Col(), 3) << way.name;
      EXPECT_EQ(w.grdDisto->Row(), 2) << way.name;
      EXPECT_EQ(w.grdDisto->Cells(3, 2), "21") << way.name;
      EXPECT_TRUE(w.IsPending(3, 2)) << way.name;
      EXPECT_TRUE(w.btnPost->isEnabled()) << way.name;
      EXPECT_TRUE(w.grdDisto->EditorMode()) << way.name;
      EXPECT_EQ(QApplication::focusWidget(), w.grdDisto->InplaceEditor()) << way.name;
    }
    // Digits typed after the box go on into the cell, not into a second box nor over the typing.
    w.grdDisto->InplaceEditor()->end(false);
    Type("3");
    EXPECT_EQ(w.grdDisto->Cells(3, 2), "213");
    // The save refused as well, with one box; closing asks the leave question and stays.
    dlg->Clear();
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ErrorBoxes(dlg), 1);
    EXPECT_EQ(dlg->Asked().size(), 1u);
    EXPECT_EQ(w.grdDisto->Cells(3, 2), "213");
    dlg->Clear();
    dlg->QueueAnswer(ModalResult::Yes);
    w.close();
    EXPECT_TRUE(w.isVisible());
    ASSERT_FALSE(dlg->Messages().isEmpty());
    EXPECT_EQ(dlg->Messages()[0], kLeave);
    EXPECT_EQ(ErrorBoxes(dlg), 1);
    EXPECT_EQ(Day("07/03/2005"), before);
  }
  // The folder writable again: the save stores the typing kept through the failures.
  Activate(&w);
  dlg->Clear();
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0001|0|0.9", "0001|0002|5|9.99", "0002|0001|213|1", "0002|0002|0|1.5",
                                            "0003|0003|7|1"}));
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dlg->Messages().isEmpty());
}

TEST_F(TakingsTest, PerClientWindowRefusedByAReadOnlyFolderBringsOneBoxAndKeepsTheRow) {
  const QStringList before = Day("07/03/2005");
  TfrmDisto w;
  Activate(&w);
  ASSERT_TRUE(w.Client.Locate("Id", "0001"));
  RetypeQuantity(w, "11");
  {
    ReadOnlyFolder readOnly(DataPath);
    // The record shown in the clients' list above or below DUPONT.
    int other = -1;
    for (int rec = 0; rec < 3 && other < 0; ++rec)
      if (!w.grdClient->DisplayText(0, rec).isEmpty() && w.grdClient->DisplayText(0, rec) != "0001") other = rec;
    ASSERT_GE(other, 0);
    struct Leave {
      const char* name;
      std::function<void()> act;
    };
    const std::vector<Leave> ways{
        {"Haut", [] { Press(Qt::Key_Up); }},
        {"Bas", [] { Press(Qt::Key_Down); }},
        {"Page suivante (jour suivant)", [] { Press(Qt::Key_PageDown); }},
        {"clic sur un autre client",
         [&] {
           QTest::mouseClick(w.grdClient->viewport(), Qt::LeftButton, Qt::NoModifier,
                             w.grdClient->CellRect(0, other).center());
         }},
    };
    for (const Leave& way : ways) {
      dlg->Clear();
      way.act();
      EXPECT_EQ(ErrorBoxes(dlg), 1) << way.name;
      EXPECT_EQ(dlg->Asked().size(), 1u) << way.name;
      EXPECT_EQ(w.Disto.FieldByName("Qte_Prise")->AsString(), "11") << way.name;
      EXPECT_EQ(w.CurrentClient(), "0001") << way.name;
      EXPECT_EQ(w.pnlDate->text(), "07/03/2005") << way.name;
    }
    EXPECT_EQ(Day("07/03/2005"), before);
  }
  Activate(&w);
  w.grdDisto->setFocus();
  dlg->Clear();
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(Day("07/03/2005").value(0), "0001|0002|11|9.99");
}

namespace {
class VcrReadOnlyTest : public WeeklyTest {};
}  // namespace

TEST_F(VcrReadOnlyTest, AnAmountRefusedByAReadOnlyFolderBringsOneBoxAndIsKept) {
  AddReference();
  AddRow("Retour.DB", {Sat, "0001", "0001", 2});
  TfrmListVCR w;
  Activate(&w);
  Type("15");
  {
    ReadOnlyFolder readOnly(DataPath);
    struct Leave {
      const char* name;
      std::function<void()> act;
    };
    const std::vector<Leave> ways{
        {"Entrée", [] { Press(Qt::Key_Return); }},
        {"Bas", [] { Press(Qt::Key_Down); }},
        {"clic", [&w] { ClickCell(w.grdVCR, 2, 2); }},
    };
    for (const Leave& way : ways) {
      dlg->Clear();
      way.act();
      EXPECT_EQ(ErrorBoxes(dlg), 1) << way.name;
      EXPECT_EQ(dlg->Asked().size(), 1u) << way.name;
      EXPECT_EQ(w.grdVCR->Row(), 1) << way.name;
      EXPECT_EQ(w.grdVCR->Cells(2, 1), "15.00") << way.name;
      EXPECT_TRUE(w.AmountTyped) << way.name;
    }
  }
  Activate(&w);
  dlg->Clear();
  Press(Qt::Key_Return);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  EXPECT_EQ(w.grdVCR->Row(), 2);
  EXPECT_EQ(Rows("SELECT WEEK, ID_CLIENT, MONTANT FROM VCR"), QStringList({"06/03/2004|0001|15"}));
}
