// What an operator may do wrong: empty or doubled codes, apostrophes, texts longer than their
// field, deleting in an empty table, letters in a number. Nothing may crash or lose a row.
#include "RefFixture.h"
#include "platform/sys/IniFiles.h"
#include "refdata/UClient.h"
#include "refdata/UListe.h"
#include "refdata/UNumTitre.h"
#include "refdata/UOrgaD.h"
#include "refdata/URegion.h"
#include "refdata/UTitres.h"
#include "shell/global.h"

TEST_F(RefDataTest, CodeTableTakesOddCodesAndLongNamesAndDeletesNothingWhenEmpty) {
  TfrmRegion w;
  Activate(&w);
  // Delete in an empty table: the question, then nothing to delete and no error.
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(dlg->Messages(), QStringList{"Etes-vous sûr de vouloir supprimer cet enregistrement ?"});
  EXPECT_EQ(w.Region.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM REGION"), 0);

  // A code with an apostrophe and a name longer than the field.
  Click(w.btnAdd);
  Type("'9");
  Press(Qt::Key_Tab);
  Type(QString(45, 'X'));
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT ID, LIBELLE FROM REGION"), QStringList{"'9|" + QString(30, 'X')});

  // An empty code is stored like any other (the window has no checks of its own).
  Click(w.btnAdd);
  Press(Qt::Key_Tab);
  Type("SANS CODE");
  Click(w.btnPost);
  EXPECT_EQ(w.Region.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM REGION"), 2);
  EXPECT_EQ(Rows("SELECT LIBELLE FROM REGION ORDER BY LIBELLE"), (QStringList{"SANS CODE", QString(30, 'X')}));

  // A second empty code is a duplicate: refused, the row stays in edit.
  dlg->Clear();
  Click(w.btnAdd);
  Press(Qt::Key_Tab);
  Type("ENCORE SANS CODE");
  Click(w.btnPost);
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].contains("Violation de clé")) << dlg->Messages()[0].toStdString();
  EXPECT_EQ(w.Region.State(), dsInsert);
  EXPECT_EQ(Count("SELECT ID FROM REGION"), 2);
}

TEST_F(RefDataTest, ClientsWithApostrophesAreFoundAndFilteredAndAnEmptyTableSurvivesDelete) {
  AddRow("Region.db", {"'1", "L'OUEST"});
  AddRow("Region.db", {"02", "SUD"});
  AddRow("Site.DB", {"A", "CENTRE"});
  TfrmClient w;
  Activate(&w);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(dlg->Messages(), QStringList{"Etes-vous sûr de vouloir supprimer cet enregistrement ?"});
  EXPECT_EQ(w.Client.State(), dsBrowse);
  EXPECT_EQ(Count("SELECT ID FROM CLIENT"), 0);

  // A client typed with an apostrophe and a name longer than its field.
  Click(w.btnAdd);
  Press(Qt::Key_Return);
  Type("l'etoile du " + QString(40, 'n'));
  w.cmbRegion->setFocus();
  Press(Qt::Key_Down);
  w.cmbSite->setFocus();
  Press(Qt::Key_Down);
  Click(w.btnPost);
  const QString name = ("L'ETOILE DU " + QString(40, 'N')).left(40);
  EXPECT_EQ(Rows("SELECT ID, NOM, REGION FROM CLIENT"), QStringList{"0001|" + name + "|'1"});
  Click(w.btnAdd);
  Press(Qt::Key_Return);
  Type("BAR");
  w.cmbRegion->setFocus();
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  w.cmbSite->setFocus();
  Press(Qt::Key_Down);
  Click(w.btnPost);
  EXPECT_EQ(Rows("SELECT ID, REGION FROM CLIENT ORDER BY ID"), (QStringList{"0001|'1", "0002|02"}));

  // The search and the region filter take the apostrophe as text.
  w.rNom->setFocus();
  Type("l'e");
  EXPECT_EQ(w.Client.FieldByName("Id")->AsString(), "0001");
  Click(w.chkTout);
  w.cmbRegion1->SetKeyValue("'1");
  w.cmbRegion1->OnCloseUp(w.cmbRegion1);
  EXPECT_EQ(w.Client.RecordCount(), 1);
  EXPECT_EQ(w.Client.FieldByName("Nom")->AsString(), name);
  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(RefDataTest, TitlesSurviveDeleteInAnEmptyViewAndLettersInAPrice) {
  AddRow("Site.DB", {"A", "CENTRE"});
  AddRow("IMPRIMERIE.DB", {"1", "SIPA"});
  AddRow("IMPRIMERIE.DB", {"2", "VIDE"});
  AddRow("Titre.DB", {"0001", 1, 0, "L'ECHO", QVariant(), 1, 0.5, 1.2, "0", "A", "1"});
  AddRow("OrgaD.DB", {"01", "0001", 1});
  TfrmTitres w;
  Activate(&w);
  // The printing house without titles: an empty view, where Delete removes nothing.
  Click(w.chkTout);
  w.cmbImp->SetKeyValue("2");
  w.cmbImp->OnCloseUp(w.cmbImp);
  ASSERT_EQ(w.Titre.RecordCount(), 0);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDelete);
  EXPECT_EQ(dlg->Messages(), QStringList{"Etes-vous sûr de vouloir supprimer ce titre ?"});
  EXPECT_EQ(Count("SELECT ID FROM TITRE"), 1);
  EXPECT_EQ(Count("SELECT ID_TITRE FROM ORGAD"), 1);
  Click(w.chkTout);
  ASSERT_EQ(w.Titre.RecordCount(), 1);

  // Letters in the selling price: one message, the store refused, the title kept as it was.
  w.edPrix->setFocus();
  w.edPrix->selectAll();
  Type("abc");
  dlg->Clear();
  Click(w.btnPost);
  EXPECT_EQ(dlg->Messages(), QStringList{"'ABC' n'est pas une valeur correcte"});
  EXPECT_EQ(Focused(&w), w.edPrix);
  EXPECT_EQ(w.Titre.State(), dsEdit);
  EXPECT_EQ(Rows("SELECT TITRE, PRIX FROM TITRE"), QStringList{"L'ECHO|1.2"});
  Click(w.btnCancel);
  EXPECT_EQ(w.Titre.State(), dsBrowse);
  EXPECT_EQ(w.Titre.FieldByName("Prix")->AsString(), "1.2");
}

TEST_F(RefDataTest, LettersInAnIssueNumberAreRefused) {
  AddRow("Titre.DB", {"0001", 1, 0, "HEBDO", QVariant(), 4, 0.5, 1.0, "1", "A", "1"});
  TfrmNumTitre w;
  Activate(&w);
  w.grdTitre->setFocus();
  w.grdTitre->SetSelectedIndex(2);
  Type("x7");
  dlg->Clear();
  Press(Qt::Key_Down);
  EXPECT_FALSE(dlg->Messages().isEmpty());
  EXPECT_EQ(Rows("SELECT NUM FROM TITRE"), QStringList{"4"});
  Press(Qt::Key_Escape);
  w.close();
  EXPECT_EQ(Rows("SELECT NUM FROM TITRE"), QStringList{"4"});
}

TEST_F(RefDataTest, ARegionCodeWithAnApostropheReceivesAndLosesItsTitles) {
  AddRow("Region.db", {"'1", "L'OUEST [X]"});
  AddRow("Titre.DB", {"0001", 7, 0, "L'ECHO", QVariant(), 1, 0.5, 1.2, "0", "A", "1"});
  TfrmOrgaD w;
  Activate(&w);
  QTreeWidgetItem* region = w.MyTv->topLevelItem(0);
  ASSERT_EQ(w.MyTv->currentItem(), region);
  CtrlClickRows(w.grdSource, {0});
  Click(w.btnUp);
  EXPECT_EQ(Rows("SELECT ID_REGION, ID_TITRE, ORD_TITRE FROM ORGAD"), QStringList{"'1|0001|7"});
  ASSERT_EQ(region->childCount(), 1);
  EXPECT_EQ(w.qTitre.RecordCount(), 0);
  w.MyTv->setCurrentItem(region->child(0));
  w.ApplicationEvents1Idle();
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnDwn);
  EXPECT_EQ(Count("SELECT ID_TITRE FROM ORGAD"), 0);
  EXPECT_EQ(region->childCount(), 0);
  EXPECT_EQ(w.qTitre.RecordCount(), 1);
}

TEST_F(RefDataTest, AListNumberBeyondWhatTheTableHoldsIsRefused) {
  TfrmListe w;
  Activate(&w);
  w.edNoListe->setFocus();
  w.edNoListe->selectAll();
  Type("99999999999");
  Press(Qt::Key_Return);
  EXPECT_EQ(CurrentListNo, 1);
  EXPECT_EQ(int(w.edNoListe->Value()), 1);
  w.edNoListe->selectAll();
  Type("32767");
  Press(Qt::Key_Return);
  EXPECT_EQ(CurrentListNo, TfrmListe::LastListNo);
  Click(w.btnN);
  EXPECT_EQ(CurrentListNo, TfrmListe::LastListNo);
  w.close();
  TIniFile ini(AppPath + "ZELM.INI");
  EXPECT_EQ(ini.ReadInteger("PARAMS", "NOLISTE", 0), TfrmListe::LastListNo);
}
