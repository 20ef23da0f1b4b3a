// The regions, sites and printing-houses windows driven through their grid and buttons.
#include "RefFixture.h"
#include "refdata/UImprim.h"
#include "refdata/URegion.h"
#include "refdata/USite.h"

TEST_F(RefDataTest, RegionsAreTypedInTheGridStoredAndDeleted) {
  TfrmRegion w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Saisie des Regions");
  EXPECT_TRUE(w.btnAdd->isEnabled());
  EXPECT_TRUE(w.btnDelete->isEnabled());
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_FALSE(w.btnCancel->isEnabled());

  Click(w.btnAdd);
  EXPECT_EQ(w.Region.State(), dsInsert);
  EXPECT_TRUE(w.btnPost->isEnabled());
  EXPECT_FALSE(w.btnAdd->isEnabled());
  Type("02");
  Press(Qt::Key_Tab);
  Type("L'EST");
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT ID, LIBELLE FROM REGION ORDER BY ID"), QStringList{"02|L'EST"});
  Click(w.btnAdd);
  EXPECT_EQ(w.Region.State(), dsInsert);
  Type("01");
  Press(Qt::Key_Tab);
  Type("NORD");
  Click(w.btnPost);
  EXPECT_EQ(w.Region.State(), dsBrowse);
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_EQ(Rows("SELECT ID, LIBELLE FROM REGION ORDER BY ID"), (QStringList{"01|NORD", "02|L'EST"}));

  // A code typed twice is refused by the table; the row stays in edit.
  Click(w.btnAdd);
  Type("01");
  Press(Qt::Key_Tab);
  Type("BIS");
  dlg->Clear();
  Click(w.btnPost);
  EXPECT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(w.Region.State(), dsInsert);
  Click(w.btnCancel);
  EXPECT_EQ(w.Region.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM REGION"), 2);

  // Delete asks first; No keeps the row.
  w.Region.First();
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::No);
  Click(w.btnDelete);
  ASSERT_EQ(dlg->Messages(), QStringList{"Etes-vous sûr de vouloir supprimer cet enregistrement ?"});
  EXPECT_EQ(Count("SELECT ID FROM REGION"), 2);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(Rows("SELECT ID FROM REGION"), QStringList{"02"});
}

TEST_F(RefDataTest, ClosingTheCodeWindowDropsTheRowBeingEdited) {
  AddRow("Site.DB", {"A", "CENTRE"});
  {
    TfrmSite w;
    Activate(&w);
    EXPECT_EQ(w.windowTitle(), "Saisie des Sites");
    w.DBGrid1->setFocus();
    Press(Qt::Key_Tab);
    Type("X");
    EXPECT_EQ(w.Site.State(), dsEdit);
    // While a row is edited only Post and Cancel are offered.
    EXPECT_FALSE(w.btnDelete->isEnabled());
    EXPECT_FALSE(w.btnAdd->isEnabled());
    Click(w.btnPost);
    EXPECT_EQ(Rows("SELECT LIBELLE FROM SITE"), QStringList{"X"});
    w.DBGrid1->setFocus();
    Type("Y");
    w.close();
    EXPECT_FALSE(w.Site.Active());
  }
  EXPECT_EQ(Rows("SELECT LIBELLE FROM SITE"), QStringList{"X"});
  TfrmImprim p;
  EXPECT_EQ(p.windowTitle(), "Saisie des Imprimeries");
  EXPECT_TRUE(p.Imprim.Active());
}

// Codes typed one after the other in the grid: Tab past the last cell of the last row stores the
// row and opens a new one, so the next code and name are a new row, not typed over the last one.
TEST_F(RefDataTest, TabPastTheLastCellStoresTheRowAndOpensANewOne) {
  TfrmSite w;
  Activate(&w);
  Click(w.btnAdd);
  Type("A");
  Press(Qt::Key_Tab);
  Type("L'AUTRE");
  Press(Qt::Key_Tab);
  EXPECT_EQ(Rows("SELECT ID, LIBELLE FROM SITE ORDER BY ID"), QStringList{"A|L'AUTRE"});
  EXPECT_EQ(w.Site.State(), dsInsert);
  Type("B");
  Press(Qt::Key_Tab);
  Type("DOUBLE");
  Press(Qt::Key_Tab);
  EXPECT_EQ(Rows("SELECT ID, LIBELLE FROM SITE ORDER BY ID"), (QStringList{"A|L'AUTRE", "B|DOUBLE"}));
  // The new row left untouched is not stored, and a further Tab keeps it open.
  Press(Qt::Key_Tab);
  EXPECT_EQ(Count("SELECT ID FROM SITE"), 2);
  Click(w.btnCancel);
  EXPECT_EQ(w.Site.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM SITE"), 2);
}
