// The titles window: new titles, checks, the periodicity box, the order number carried to the
// regions' rows and the deletion with those rows.
#include <QColorDialog>
#include <QToolButton>

#include "RefFixture.h"
#include "refdata/UTitres.h"

namespace {
class TitresTest : public RefDataTest {
 protected:
  TitresTest() {
    AddRow("Site.DB", {"A", "CENTRE"});
    AddRow("IMPRIMERIE.DB", {"1", "SIPA"});
    AddRow("IMPRIMERIE.DB", {"2", "ROTO"});
  }
  void AddTitre(const QString& id, int nord, const QString& titre, const QString& periode, const QString& imp = "1") {
    AddRow("Titre.DB", {id, nord, 0, titre, QVariant(), 1, 0.5, 1.2, periode, "A", imp});
  }
};
}  // namespace

TEST_F(TitresTest, ANewTitleIsADailyAndEachMissingValueStopsTheStore) {
  AddTitre("0001", 1, "MENSUEL", "3");
  TfrmTitres w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Saisie des Titres");
  EXPECT_EQ(w.cmbPeriode->currentText(), "Mensuel");
  Click(w.btnAdd);
  EXPECT_EQ(w.edCode->text(), "0002");
  EXPECT_EQ(Focused(&w), w.edTitre);
  // The new title does not take the current one's periodicity.
  EXPECT_EQ(w.cmbPeriode->currentText(), "Quotidien");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "Le Titre du journal est manquant !");
  EXPECT_EQ(Focused(&w), w.edTitre);
  Type("le monde");
  EXPECT_EQ(w.edTitre->text(), "LE MONDE");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "Le prix du journal est manquant !");
  EXPECT_EQ(Focused(&w), w.edPrix);
  Type("0");  // a price of zero passes
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "Le Site est manquant !");
  EXPECT_EQ(Focused(&w), w.cmbSite);
  Press(Qt::Key_Down);
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "L'Imprimerie est manquante !");
  EXPECT_EQ(Focused(&w), w.cmbImprim);
  Press(Qt::Key_Down);
  // Enter in the last field stores the title and starts the next one.
  Press(Qt::Key_Return);
  EXPECT_EQ(Rows("SELECT ID, TITRE, PRIX, PERIODE, SITE, IMPRIMERIE FROM TITRE ORDER BY ID"),
            (QStringList{"0001|MENSUEL|1.2|3|A|1", "0002|LE MONDE|0|0|A|1"}));
  EXPECT_EQ(w.edCode->text(), "0003");
  EXPECT_EQ(Focused(&w), w.edCode);
  Click(w.btnCancel);
  EXPECT_EQ(w.Titre.State(), dsBrowse);
}

TEST_F(TitresTest, ThePeriodicityBoxFollowsTheCurrentTitle) {
  AddTitre("0001", 1, "HEBDO", "1");
  AddTitre("0002", 2, "SANS", "");
  TfrmTitres w;
  Activate(&w);
  EXPECT_EQ(w.cmbPeriode->currentText(), "Hebdomadaire");
  Click(w.MyNavigator->Button(nbNext));
  EXPECT_EQ(w.edCode->text(), "0002");
  EXPECT_EQ(w.cmbPeriode->currentIndex(), -1);
  w.edTitre->setFocus();
  Type("X");
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages().last(), "La périodicité est manquante !");
  EXPECT_EQ(Focused(&w), w.cmbPeriode);
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  EXPECT_EQ(w.cmbPeriode->currentText(), "Hebdomadaire");
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT PERIODE FROM TITRE WHERE ID='0002'"), QStringList{"1"});
  Click(w.MyNavigator->Button(nbFirst));
  EXPECT_EQ(w.cmbPeriode->currentText(), "Hebdomadaire");
}

TEST_F(TitresTest, TheOrderNumberReachesTheRegionsRowsAndDeletionTakesThemAway) {
  AddTitre("0001", 5, "A", "0");
  AddTitre("0002", 6, "B", "0");
  AddRow("OrgaD.DB", {"01", "0001", 5});
  AddRow("OrgaD.DB", {"02", "0001", 5});
  AddRow("OrgaD.DB", {"02", "0002", 6});
  TfrmTitres w;
  Activate(&w);
  w.edOrd->setFocus();
  w.edOrd->selectAll();
  Type("9");
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT ID_REGION, ID_TITRE, ORD_TITRE FROM ORGAD ORDER BY ID_REGION, ID_TITRE"),
            (QStringList{"01|0001|9", "02|0001|9", "02|0002|6"}));
  // An empty order number reaches the rows as 0.
  w.edOrd->setFocus();
  w.edOrd->selectAll();
  Press(Qt::Key_Delete);
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT ORD_TITRE FROM ORGAD WHERE ID_TITRE='0001'"), (QStringList{"0", "0"}));

  w.Titre.Locate("Id", "0001");
  // A deletion that fails keeps the title with its rows.
  w.Titre.BeforeDelete = [](TDataSet&) { throw EDBEngineError(DBIERR_LOCKED, "Enregistrement verrouillé"); };
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(dlg->Messages().last(), "Enregistrement verrouillé");
  EXPECT_EQ(Count("SELECT ID FROM TITRE"), 2);
  EXPECT_EQ(Count("SELECT ID_TITRE FROM ORGAD WHERE ID_TITRE='0001'"), 2);
  w.Titre.BeforeDelete = nullptr;
  dlg->QueueAnswer(ModalResult::No);
  Click(w.btnDelete);
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir supprimer ce titre ?");
  EXPECT_EQ(Count("SELECT ID FROM TITRE"), 2);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(Rows("SELECT ID FROM TITRE"), QStringList{"0002"});
  EXPECT_EQ(Rows("SELECT ID_REGION, ID_TITRE FROM ORGAD"), QStringList{"02|0002"});
}

TEST_F(TitresTest, ColourAndPrintingHouseFilter) {
  AddTitre("0001", 1, "A", "0", "1");
  AddTitre("0002", 2, "B", "0", "2");
  AddTitre("0003", 3, "C", "0", "2");
  TfrmTitres w;
  Activate(&w);
  dlg->QueueModal([](QWidget* d) {
    auto* cd = qobject_cast<QColorDialog*>(d);
    EXPECT_NE(cd, nullptr);
    if (cd) cd->setCurrentColor(QColor(0x11, 0x22, 0x33));
    return ModalResult::OK;
  });
  Click(w.btnAv);
  EXPECT_EQ(w.myShape->BrushColor(), QColor(0x11, 0x22, 0x33));
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT COULEUR FROM TITRE WHERE ID='0001'"), QStringList{QString::number(0x332211)});
  dlg->QueueModal([](QWidget*) { return ModalResult::Cancel; });
  Click(w.btnAv);
  EXPECT_EQ(w.Titre.State(), dsBrowse);

  Activate(&w);  // back from the colour dialog
  Click(w.chkTout);
  EXPECT_TRUE(w.cmbImp->isEnabled());
  w.cmbImp->setFocus();
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  EXPECT_EQ(w.Titre.RecordCount(), 2);
  EXPECT_EQ(w.stBar->Panels[1]->text(), "2  Titres");
  Click(w.chkTout);
  EXPECT_EQ(w.Titre.RecordCount(), 3);
}

// Numbers beyond what their fields hold: the order number (16 bits), the colour, the prices. None
// is stored wrapped round or cut; what is refused says so and the title stays as it was.
TEST_F(TitresTest, NumbersBeyondTheirFieldsAreRefusedNotWrappedRound) {
  AddTitre("0001", 1, "LE MONDE", "0");
  const QString sql = "SELECT NORD, COULEUR, PRIX FROM TITRE";
  for (auto [edit, text] : std::vector<std::pair<int, QString>>{
           {0, "99999"}, {0, "-99999"}, {1, "99999999999"}, {2, "1e308"}, {2, "99999999999999999999"}}) {
    SCOPED_TRACE(text.toStdString());
    TfrmTitres w;
    Activate(&w);
    TDBEdit* e = edit == 0 ? w.edOrd : edit == 1 ? w.edColor : w.edPrix;
    e->setFocus();
    e->selectAll();
    Type(text);
    dlg->Clear();
    Click(w.btnPost);
    w.Titre.Cancel();
    const QStringList rows = Rows(sql);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_FALSE(rows[0].contains('-')) << rows[0].toStdString();
    EXPECT_TRUE(rows[0] == "1|0|1.2" || rows[0].startsWith(text)) << rows[0].toStdString();
  }
}
