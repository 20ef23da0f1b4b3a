// What the operator must be able to take back, and what a failed write must not pretend: letters
// in a number field, a region with an empty code in a filter, rows that cannot be stored.
#include <QDir>

#include "RefFixture.h"
#include "refdata/UClient.h"
#include "refdata/UOrgaD.h"
#include "refdata/UTitres.h"
#include "shell/global.h"

namespace {
class TakeBackTest : public RefDataTest {
 protected:
  TakeBackTest() {
    AddRow("Region.db", {"01", "NORD"});
    AddRow("Site.DB", {"A", "CENTRE"});
    AddRow("IMPRIMERIE.DB", {"1", "SIPA"});
    AddRow("CLIENT.DB", {"0001", 1, "DUPONT", QVariant(), QVariant(), QVariant(), "A", "01"});
  }
  // The table file cannot be written: its journal's place is taken by a folder (permissions do
  // not hold for root).
  void BlockWrites(const QString& file) { ASSERT_TRUE(QDir().mkdir(DataPath + file + "-journal")); }
  void AllowWrites(const QString& file) { QDir().rmdir(DataPath + file + "-journal"); }
  static void TypeInto(QWidget* w, const QString& text) {
    w->setFocus();
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    Type(text);
  }
};
}  // namespace

TEST_F(TakeBackTest, LettersInTheOrderNumberAreTakenBackByCancelEscapeAndClose) {
  TfrmClient w;
  Activate(&w);
  // Leaving the box says once what is wrong and keeps the focus there.
  TypeInto(w.edOrd, "1A");
  Press(Qt::Key_Tab);
  EXPECT_EQ(dlg->Messages(), QStringList{"'1A' n'est pas une valeur correcte"});
  EXPECT_EQ(Focused(&w), w.edOrd);

  // Cancel: no second message, the record as it was stored.
  dlg->Clear();
  Click(w.btnCancel);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(w.Client.State(), dsBrowse);
  EXPECT_EQ(w.edOrd->text(), "1");

  // Escape: the bad text and the other changes of the record go.
  TypeInto(w.edRs, "DURAND");
  TypeInto(w.edOrd, "1A");
  Press(Qt::Key_Escape);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(w.Client.State(), dsBrowse);
  EXPECT_EQ(w.edOrd->text(), "1");
  EXPECT_EQ(w.edRs->text(), "DUPONT");
  EXPECT_TRUE(w.isVisible());
  // With a good order number Escape takes the record back too.
  TypeInto(w.edOrd, "7");
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.Client.State(), dsBrowse);
  EXPECT_EQ(w.edOrd->text(), "1");

  // Close: the window goes without a word and nothing is stored.
  TypeInto(w.edOrd, "2B");
  Click(w.btnClose);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Rows("SELECT ID, ORD, NOM FROM CLIENT"), QStringList{"0001|1|DUPONT"});
}

TEST_F(TakeBackTest, LettersInAPriceOfANewTitleAreTakenBackWithTheNewTitle) {
  TfrmTitres w;
  Activate(&w);
  Click(w.btnAdd);
  TypeInto(w.edTitre, "LE MATIN");
  TypeInto(w.edPrix, "1,5");
  Click(w.btnCancel);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(w.Titre.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM TITRE"), 0);
  Click(w.btnClose);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(TakeBackTest, TheRouteBoxFiltersOnARegionWhoseCodeIsEmpty) {
  AddRow("Region.db", {"", "SANS CODE"});
  AddRow("CLIENT.DB", {"0002", 2, "MARTIN", QVariant(), QVariant(), QVariant(), "A", ""});
  AddRow("CLIENT.DB", {"0003", 3, "BERNARD", QVariant(), QVariant(), QVariant(), "A", "01"});
  TfrmClient w;
  Activate(&w);
  Click(w.chkTout);
  ASSERT_TRUE(w.cmbRegion1->isEnabled());
  auto choose = [&](const QString& name) {
    w.cmbRegion1->setFocus();
    for (int i = 0; i < 4 && w.cmbRegion1->currentText() != name; ++i) Press(Qt::Key_Down);
    for (int i = 0; i < 4 && w.cmbRegion1->currentText() != name; ++i) Press(Qt::Key_Up);
    ASSERT_EQ(w.cmbRegion1->currentText(), name);
  };
  choose("NORD");
  EXPECT_EQ(w.Client.RecordCount(), 2);
  choose("SANS CODE");
  EXPECT_EQ(w.Client.RecordCount(), 1);
  EXPECT_EQ(w.Client.FieldByName("Nom")->AsString(), "MARTIN");
  EXPECT_EQ(w.stBar->Panels[1]->text(), "1  Clients");
}

TEST_F(TakeBackTest, TitlesThatCannotBeAddedToARegionAreReportedAndNotShown) {
  AddRow("Titre.DB", {"0001", 1, 0, "EL WATAN", QVariant(), 1, 0.5, 1.2, "0", "A", "1"});
  AddRow("Titre.DB", {"0002", 2, 0, "LIBERTE", QVariant(), 1, 0.5, 1.2, "0", "A", "1"});
  {
    auto readOnly = std::make_unique<ReadOnlyFolder>(DataPath);
    TfrmOrgaD w;
    Activate(&w);
    QTreeWidgetItem* region = w.MyTv->topLevelItem(0);
    ASSERT_EQ(w.MyTv->currentItem(), region);
    CtrlClickRows(w.grdSource, {0, 1});
    Click(w.btnUp);
    ASSERT_EQ(dlg->Asked().size(), 1u);
    EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
    EXPECT_EQ(region->childCount(), 0);
    EXPECT_EQ(w.qTitre.RecordCount(), 2);  // both still offered
    EXPECT_EQ(Count("SELECT ID_TITRE FROM ORGAD"), 0);
    w.close();
    readOnly.reset();
  }
  // Once the folder can be written the same titles go in.
  {
    TfrmOrgaD w;
    Activate(&w);
    QTreeWidgetItem* region = w.MyTv->topLevelItem(0);
    ASSERT_EQ(region->childCount(), 0);  // nothing was stored
    dlg->Clear();
    CtrlClickRows(w.grdSource, {0, 1});
    Click(w.btnUp);
    EXPECT_EQ(dlg->Messages(), QStringList());
    EXPECT_EQ(region->childCount(), 2);
    w.close();
  }
  EXPECT_EQ(Rows("SELECT ID_REGION, ID_TITRE FROM ORGAD ORDER BY ID_TITRE"), (QStringList{"01|0001", "01|0002"}));
}

TEST_F(TakeBackTest, ATitleAndTheOrderOfItsRegionRowsAreStoredTogetherOrNotAtAll) {
  AddRow("Titre.DB", {"0001", 1, 0, "EL WATAN", QVariant(), 1, 0.5, 1.2, "0", "A", "1"});
  AddRow("OrgaD.DB", {"01", "0001", 1});
  AddRow("OrgaD.DB", {"02", "0001", 1});
  TfrmTitres w;
  Activate(&w);
  TypeInto(w.edOrd, "5");
  BlockWrites("OrgaD.DB");
  Click(w.btnPost);
  AllowWrites("OrgaD.DB");
  ASSERT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
  EXPECT_EQ(w.Titre.State(), dsEdit);  // the record is still there to store
  EXPECT_EQ(Rows("SELECT NORD FROM TITRE"), QStringList{"1"});
  EXPECT_EQ(Rows("SELECT ORD_TITRE FROM ORGAD"), (QStringList{"1", "1"}));
  dlg->Clear();
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(Rows("SELECT NORD FROM TITRE"), QStringList{"5"});
  EXPECT_EQ(Rows("SELECT ORD_TITRE FROM ORGAD"), (QStringList{"5", "5"}));
  w.close();
}
