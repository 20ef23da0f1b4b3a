// Issue numbering: periodicals only, one step up or down for all.
#include "RefFixture.h"
#include "refdata/UNumTitre.h"

TEST_F(RefDataTest, IssueNumbersMoveUpAndDownWithoutTheDailies) {
  auto add = [&](const QString& id, const QString& periode, const QVariant& num) {
    AddRow("Titre.DB", {id, 1, 0, "T" + id, QVariant(), num, 0.5, 1.0, periode, "A", "1"});
  };
  add("0001", "0", 5);
  add("0002", "1", 3);
  add("0003", "3", 2);
  add("0004", "2", 1);
  add("0005", "4", QVariant());
  const QString sql = "SELECT ID, NUM FROM TITRE ORDER BY ID";
  {
    TfrmNumTitre w;
    Activate(&w);
    EXPECT_EQ(w.windowTitle(), "Numérotation des périodiques");
    EXPECT_EQ(w.Titre.RecordCount(), 4);
    EXPECT_EQ(w.Titre.FieldByName("Id")->AsString(), "0002");
    Click(w.btnPlus);
    EXPECT_EQ(Rows(sql), (QStringList{"0001|5", "0002|4", "0003|3", "0004|2", "0005|1"}));
    EXPECT_EQ(w.Titre.FieldByName("Id")->AsString(), "0002");
    Click(w.btnMinus);
    Click(w.btnMinus);
    EXPECT_EQ(Rows(sql), (QStringList{"0001|5", "0002|2", "0003|1", "0004|1", "0005|1"}));
    // Deleting from the grid is refused silently.
    w.grdTitre->setFocus();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(w.Titre.RecordCount(), 4);
    // A number typed in the grid is stored when the window closes.
    w.grdTitre->SetSelectedIndex(2);
    Type("12");
    w.close();
  }
  EXPECT_EQ(Rows(sql), (QStringList{"0001|5", "0002|12", "0003|1", "0004|1", "0005|1"}));
}

// Hostile numbers: a number at the top of its range is not wrapped round into a negative one by
// "Augmenter"; the others still move. Typed numbers out of range or not numbers are refused.
TEST_F(RefDataTest, IssueNumberAtTheTopOfItsRangeIsNotWrappedRound) {
  AddRow("Titre.DB", {"0001", 1, 0, "T1", QVariant(), 2147483647, 0.5, 1.0, "1", "A", "1"});
  AddRow("Titre.DB", {"0002", 2, 0, "T2", QVariant(), 7, 0.5, 1.0, "1", "A", "1"});
  const QString sql = "SELECT ID, NUM FROM TITRE ORDER BY ID";
  {
    TfrmNumTitre w;
    Activate(&w);
    dlg->Clear();
    Click(w.btnPlus);
    EXPECT_EQ(Rows(sql), (QStringList{"0001|2147483647", "0002|8"}));
    w.grdTitre->SetSelectedIndex(2);
    Type("99999999999");
    Press(Qt::Key_Down);
    w.close();
  }
  for (const QString& r : Rows(sql)) EXPECT_FALSE(r.contains('-')) << r.toStdString();
}

// Alt+letter over the grid is the window's: "&Fermer" closes it, from the cell's editor too, and
// no letter lands in the number.
TEST_F(RefDataTest, AltLetterOverTheIssueGridIsTheWindowsCommand) {
  AddRow("Titre.DB", {"0001", 1, 0, "T1", QVariant(), 7, 0.5, 1.0, "1", "A", "1"});
  const QString sql = "SELECT ID, NUM FROM TITRE ORDER BY ID";
  {
    TfrmNumTitre w;
    Activate(&w);
    w.grdTitre->setFocus();
    w.grdTitre->SetSelectedIndex(2);
    Press(Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(w.grdTitre->EditorMode());
    Press(Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));  // the button's animated click
  }
  {
    TfrmNumTitre w;
    Activate(&w);
    w.grdTitre->setFocus();
    w.grdTitre->SetSelectedIndex(2);
    Type("12");
    Press(Qt::Key_X, Qt::AltModifier);
    Press(Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));  // the button's animated click
  }
  EXPECT_EQ(Rows(sql), (QStringList{"0001|12"}));
  EXPECT_TRUE(dlg->Messages().isEmpty());
}
