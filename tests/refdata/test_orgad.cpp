// Titles per region: the tree, the titles offered, adding and removing.
#include "RefFixture.h"
#include "refdata/UOrgaD.h"

namespace {
class OrgaDTest : public RefDataTest {
 protected:
  OrgaDTest() {
    AddRow("Region.db", {"01", "NORD"});
    AddRow("Region.db", {"02", "SUD [B]"});  // a name with brackets
    for (int i = 1; i <= 4; ++i)
      AddRow("Titre.DB", {QString("000%1").arg(i), 10 * i, 0, QString("TITRE %1").arg(i), QVariant(), 1, 0.5, 1.0,
                          "0", "A", "1"});
    AddRow("OrgaD.DB", {"02", "0004", 40});
    AddRow("OrgaD.DB", {"02", "0009", 90});  // a title that no longer exists
  }
};
}  // namespace

TEST_F(OrgaDTest, TitlesAreAddedToARegionAndRemovedFromIt) {
  TfrmOrgaD w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Distribution des titres par région");
  EXPECT_EQ(w.stBar->Panels[0]->text(), "4 Titres");
  ASSERT_EQ(w.MyTv->topLevelItemCount(), 2);
  EXPECT_EQ(w.MyTv->topLevelItem(0)->text(0), "NORD - [01]");
  QTreeWidgetItem* sud = w.MyTv->topLevelItem(1);
  EXPECT_EQ(sud->text(0), "SUD [B] - [02]");
  ASSERT_EQ(sud->childCount(), 1);
  EXPECT_EQ(sud->child(0)->text(0), "0040 - TITRE 4 - [0004]");
  // The first region is selected: every title is offered.
  EXPECT_EQ(w.MyTv->currentItem(), w.MyTv->topLevelItem(0));
  EXPECT_EQ(w.qTitre.RecordCount(), 4);
  EXPECT_FALSE(w.btnUp->isEnabled());
  EXPECT_FALSE(w.btnDwn->isEnabled());

  // Select the second region by clicking it.
  QTest::mouseClick(w.MyTv->viewport(), Qt::LeftButton, {}, w.MyTv->visualItemRect(sud).center());
  ASSERT_EQ(w.MyTv->currentItem(), sud);
  EXPECT_EQ(w.qTitre.RecordCount(), 3);
  CtrlClickRows(w.grdSource, {0, 1, 2});
  EXPECT_EQ(w.grdSource->SelectedRows().Count(), 3);
  w.ApplicationEvents1Idle();
  EXPECT_TRUE(w.btnUp->isEnabled());
  EXPECT_FALSE(w.btnDwn->isEnabled());
  Click(w.btnUp);
  EXPECT_EQ(Rows("SELECT ID_TITRE, ORD_TITRE FROM ORGAD WHERE ID_REGION='02' ORDER BY ID_TITRE"),
            (QStringList{"0001|10", "0002|20", "0003|30", "0004|40", "0009|90"}));
  EXPECT_EQ(w.qTitre.RecordCount(), 0);
  ASSERT_EQ(sud->childCount(), 4);
  EXPECT_EQ(sud->child(0)->text(0), "0010 - TITRE 1 - [0001]");
  EXPECT_EQ(sud->child(3)->text(0), "0040 - TITRE 4 - [0004]");

  // Remove the second title of the region.
  QTreeWidgetItem* t2 = sud->child(1);
  w.MyTv->setCurrentItem(t2);
  w.ApplicationEvents1Idle();
  EXPECT_TRUE(w.btnDwn->isEnabled());
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDwn);
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir retirer ce titre ?");
  EXPECT_EQ(Rows("SELECT ID_TITRE FROM ORGAD WHERE ID_REGION='02' ORDER BY ID_TITRE"),
            (QStringList{"0001", "0003", "0004", "0009"}));
  EXPECT_EQ(sud->childCount(), 3);
  EXPECT_EQ(w.qTitre.RecordCount(), 1);
  EXPECT_EQ(w.qTitre.FieldByName("ID")->AsString(), "0002");

  // A title two regions receive is offered to neither.
  w.MyTv->setCurrentItem(w.MyTv->topLevelItem(0));
  w.grdSource->SelectedRows().Clear();
  CtrlClickRows(w.grdSource, {3});
  Click(w.btnUp);
  EXPECT_EQ(Rows("SELECT ID_REGION FROM ORGAD WHERE ID_TITRE='0004' ORDER BY ID_REGION"), (QStringList{"01", "02"}));
  EXPECT_EQ(w.qTitre.RecordCount(), 3);
  // Escape closes the window.
  Press(Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
}
