// The clients window: codes, checks, search, order and the region filter.
#include "RefFixture.h"
#include "refdata/UClient.h"
#include "refdata/URegion.h"

namespace {
class ClientsTest : public RefDataTest {
 protected:
  ClientsTest() {
    AddRow("Region.db", {"01", "NORD"});
    AddRow("Region.db", {"02", "L'EST"});
    AddRow("Site.DB", {"A", "CENTRE"});
  }
  void AddClient(const QString& id, int ord, const QString& nom, const QString& region) {
    AddRow("CLIENT.DB", {id, ord, nom, QVariant(), QVariant(), QVariant(), "A", region});
  }
};
}  // namespace

TEST_F(ClientsTest, NewClientsTakeTheNextCodesAndEachMissingValueStopsTheStore) {
  TfrmClient w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Mise à jour des Clients");
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_EQ(w.stBar->Panels[1]->text(), "0  Clients");

  Click(w.btnAdd);
  EXPECT_EQ(w.edCode->text(), "0001");
  EXPECT_EQ(Focused(&w), w.edOrd);
  EXPECT_TRUE(w.btnPost->isEnabled());
  Type("12");
  Press(Qt::Key_Return);  // Enter moves to the next field
  EXPECT_EQ(Focused(&w), w.edRs);
  Type("   ");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "Le Nom du Client est manquant !");
  EXPECT_EQ(Focused(&w), w.edRs);
  EXPECT_EQ(w.Client.State(), dsInsert);
  w.edRs->selectAll();
  Type("dupont");
  EXPECT_EQ(w.edRs->text(), "DUPONT");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "La région est manquante !");
  EXPECT_EQ(Focused(&w), w.cmbRegion);
  Press(Qt::Key_Down);
  EXPECT_EQ(w.Client.FieldByName("Region")->AsString(), "01");  // regions listed by code: 01, 02
  Press(Qt::Key_Down);
  EXPECT_EQ(w.Client.FieldByName("Region")->AsString(), "02");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "Le Site est manquant !");
  EXPECT_EQ(Focused(&w), w.cmbSite);
  Press(Qt::Key_Down);
  Click(w.btnPost);
  EXPECT_EQ(w.Client.State(), dsBrowse);
  EXPECT_EQ(Rows("SELECT ID, ORD, NOM, SITE, REGION FROM CLIENT"), QStringList{"0001|12|DUPONT|A|02"});
  EXPECT_EQ(w.stBar->Panels[1]->text(), "1  Clients");

  // Enter in the last rebate stores the client and starts the next one.
  TypeNewClient(w, "MARTIN");
  EXPECT_EQ(w.edCode->text(), "0002");
  w.edab5->setFocus();
  Type("0.5");
  Press(Qt::Key_Return);
  EXPECT_EQ(Rows("SELECT ID, NOM, AB5 FROM CLIENT ORDER BY ID"), (QStringList{"0001|DUPONT|", "0002|MARTIN|0.5"}));
  EXPECT_EQ(w.Client.State(), dsInsert);
  EXPECT_EQ(w.edCode->text(), "0003");
  EXPECT_EQ(Focused(&w), w.edCode);
  // Closing runs the checks: the empty new client keeps the window open until cancelled.
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(dlg->Messages().last(), "Le Nom du Client est manquant !");
  Click(w.btnCancel);
  // Enter in the last rebate while browsing only goes back to the code.
  w.edab5->setFocus();
  Press(Qt::Key_Return);
  EXPECT_EQ(Focused(&w), w.edCode);
  EXPECT_EQ(w.Client.State(), dsBrowse);
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Count("SELECT ID FROM CLIENT"), 2);
}

TEST_F(ClientsTest, SearchOrderAndRegionFilter) {
  AddClient("0001", 3, "MARTIN", "01");
  AddClient("0002", 1, "DUPUIS", "02");
  AddClient("0003", 2, "DUPOND", "02");
  AddClient("0004", 4, "ZOLA", "01");
  TfrmClient w;
  Activate(&w);
  EXPECT_EQ(w.stBar->Panels[1]->text(), "4  Clients");
  w.rNom->setFocus();
  Type("dup");
  EXPECT_EQ(w.rNom->text(), "DUP");
  EXPECT_EQ(w.Client.FieldByName("Nom")->AsString(), "DUPOND");
  EXPECT_EQ(w.edRs->text(), "DUPOND");
  w.rCode->setFocus();
  Type("0004");
  EXPECT_EQ(w.edCode->text(), "0004");
  Type("9");  // no client matches: the current one stays
  EXPECT_EQ(w.edCode->text(), "0004");

  // Order by delivery number through the label.
  QTest::mouseClick(w.Label17, Qt::LeftButton);
  EXPECT_TRUE(w.chkTri->isChecked());
  w.Client.First();
  EXPECT_EQ(w.Client.FieldByName("Nom")->AsString(), "DUPUIS");

  // Region filter: "Toutes" unticked shows every client until a region is chosen.
  EXPECT_FALSE(w.cmbRegion1->isEnabled());
  Click(w.chkTout);
  EXPECT_TRUE(w.cmbRegion1->isEnabled());
  EXPECT_EQ(w.Client.RecordCount(), 4);
  w.cmbRegion1->setFocus();
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);  // "L'EST" (02): the apostrophe goes through the filter
  EXPECT_EQ(w.cmbRegion1->Text(), "L'EST");
  EXPECT_EQ(w.Client.RecordCount(), 2);
  EXPECT_EQ(w.stBar->Panels[1]->text(), "2  Clients");
  Click(w.chkTout);
  EXPECT_FALSE(w.cmbRegion1->isEnabled());
  EXPECT_EQ(w.Client.RecordCount(), 4);
  EXPECT_EQ(w.cmbRegion1->Text(), "L'EST");

  // Deleting asks first.
  w.Client.First();
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(Count("SELECT ID FROM CLIENT"), 3);
}

TEST_F(ClientsTest, TheRegionButtonOpensTheRegionsAndReReadsThem) {
  TfrmClient w;
  Activate(&w);
  dlg->QueueModal([](QWidget* win) {
    auto* r = qobject_cast<TfrmRegion*>(win);
    EXPECT_NE(r, nullptr);
    if (!r) return ModalResult::Cancel;
    r->Region.Append();
    r->Region.FieldByName("Id")->AsString = "03";
    r->Region.FieldByName("Libelle")->AsString = "OUEST";
    r->Region.Post();
    return ModalResult::Cancel;
  });
  Click(w.BitBtn1);
  EXPECT_EQ(dlg->Asked().back().text, "TfrmRegion");
  EXPECT_EQ(w.cmbRegion->count(), 3);
  EXPECT_EQ(w.cmbRegion1->count(), 2);  // the filter's list is not re-read
}

TEST_F(ClientsTest, TheListPaintsEvenRowsGreyAndTheCurrentRowBlue) {
  AddClient("0001", 1, "A", "01");
  AddClient("0002", 2, "B", "01");
  AddClient("0003", 3, "C", "01");
  TfrmClient w;
  Activate(&w);
  w.DBGrid1->setFocus();
  const QImage img = w.DBGrid1->viewport()->grab().toImage();
  auto at = [&](int rec) { return img.pixelColor(w.DBGrid1->CellRect(1, rec).topLeft() + QPoint(1, 1)); };
  EXPECT_EQ(at(0), RGBColor(0x5EAEFF));
  EXPECT_EQ(at(1), RGBColor(0xEAEAEA));
  EXPECT_EQ(at(2), w.DBGrid1->Color());
}
