// The numbered lists: adding, removing, moving, the fifteen-title limit, headings and numbers.
#include <QClipboard>
#include <QDir>
#include <QMouseEvent>
#include <QScrollBar>

#include "RefFixture.h"
#include "platform/sys/IniFiles.h"
#include "refdata/UListe.h"
#include "shell/global.h"

namespace {
class ListeTest : public RefDataTest {
 protected:
  ListeTest() {
    AddRow("Region.db", {"01", "NORD"});
    for (int i = 1; i <= 20; ++i)
      AddRow("Titre.DB", {QString("%1").arg(i, 4, 10, QChar('0')), i, 0, QString("T%1").arg(i, 2, 10, QChar('0')),
                          QVariant(), 1, 0.5, 1.0, "0", "A", "1"});
  }
  QStringList List(int no) {
    return Rows(QString("SELECT NORD, ID_TITRE, TITRELISTE, ID_REGION FROM TLISTE WHERE NOLISTE='%1' "
                        "ORDER BY NORD, ID_TITRE").arg(no));
  }
  QStringList GridCodes(TfrmListe& w) {
    QStringList out;
    for (int r = 1; r <= 15; ++r)
      if (!w.grdListe->Cells(1, r).isEmpty()) out << w.grdListe->Cells(1, r);
    return out;
  }
  static void Unlock(TfrmListe& w) {
    Press(Qt::Key_F5);
    ASSERT_FALSE(w.Locked());
  }
  // Selects the first n titles offered and adds them.
  void AddFirst(TfrmListe& w, int n) {
    w.grdTitre->SelectedRows().Clear();
    std::vector<int> recs;
    for (int i = 0; i < n; ++i) recs.push_back(i);
    w.grdTitre->verticalScrollBar()->setValue(0);
    CtrlClickRows(w.grdTitre, recs);
    Click(w.btnAdd);
  }
};
}  // namespace

TEST_F(ListeTest, AddingMovingSavingAndTheFifteenTitleLimit) {
  TfrmListe w;
  Activate(&w);
  EXPECT_EQ(w.windowTitle(), "Confection des listes");
  EXPECT_TRUE(w.Locked());
  EXPECT_TRUE(w.btnAdd->isHidden());
  EXPECT_EQ(w.stBar->Panels[2]->text(), "Ecran verrouillé - F5 pour déverrouiller");
  Unlock(w);
  EXPECT_EQ(w.stBar->Panels[2]->text(), "F5 pour verrouiller");
  EXPECT_EQ(w.stBar->Panels[1]->text(), "20  titres affichés");

  // Without a region nothing is added.
  AddFirst(w, 1);
  EXPECT_EQ(dlg->Messages().last(), "Veuillez sélectionner une région S.V.P.");
  EXPECT_EQ(Focused(&w), w.cmbRegion);
  w.cmbRegion->SetKeyValue("01");
  w.edTitre->setText("L'EST");
  AddFirst(w, 3);
  EXPECT_EQ(List(1), (QStringList{"1|0001|L'EST|01", "1|0002|L'EST|01", "1|0003|L'EST|01"}));
  EXPECT_EQ(GridCodes(w), (QStringList{"0001", "0002", "0003"}));
  EXPECT_EQ(w.RowsInList, 3);
  EXPECT_EQ(w.stBar->Panels[1]->text(), "17  titres affichés");
  AddFirst(w, 2);  // both at position 4
  EXPECT_EQ(List(1).mid(3), (QStringList{"4|0004|L'EST|01", "4|0005|L'EST|01"}));
  EXPECT_FALSE(w.btnSave->isEnabled());
  emit w.cmbRegion->activated(0);  // the region chosen again in its list
  ASSERT_TRUE(w.btnSave->isEnabled());
  Click(w.btnSave);
  EXPECT_FALSE(w.btnSave->isEnabled());
  EXPECT_EQ(Rows("SELECT NORD, ID_TITRE FROM TLISTE ORDER BY NORD"),
            (QStringList{"1|0001", "2|0002", "3|0003", "4|0004", "5|0005"}));

  // Dragging row 3 to row 1, then "Annuler", shows the stored order again.
  auto center = [&](int r) { return w.grdListe->CellRect(0, r).center(); };
  QTest::mousePress(w.grdListe->viewport(), Qt::LeftButton, {}, center(3));
  QTest::mouseMove(w.grdListe->viewport(), center(1));
  QTest::mouseRelease(w.grdListe->viewport(), Qt::LeftButton, {}, center(1));
  EXPECT_EQ(GridCodes(w), (QStringList{"0003", "0001", "0002", "0004", "0005"}));
  EXPECT_EQ(w.grdListe->Cells(0, 1), "1");
  EXPECT_TRUE(w.btnSave->isEnabled());
  Click(w.btnCancel);
  EXPECT_EQ(GridCodes(w), (QStringList{"0001", "0002", "0003", "0004", "0005"}));
  EXPECT_FALSE(w.btnSave->isEnabled());
  // Moved again and saved: the positions follow the grid.
  QTest::mousePress(w.grdListe->viewport(), Qt::LeftButton, {}, center(3));
  QTest::mouseRelease(w.grdListe->viewport(), Qt::LeftButton, {}, center(1));
  Click(w.btnSave);
  EXPECT_EQ(Rows("SELECT NORD, ID_TITRE FROM TLISTE ORDER BY NORD"),
            (QStringList{"1|0003", "2|0001", "3|0002", "4|0004", "5|0005"}));

  // A save that fails halfway leaves the list as it was stored.
  QTest::mousePress(w.grdListe->viewport(), Qt::LeftButton, {}, center(1));
  QTest::mouseRelease(w.grdListe->viewport(), Qt::LeftButton, {}, center(5));
  int posts = 0;
  w.TLISTE.BeforePost = [&](TDataSet&) {
    if (++posts == 3) throw EDBEngineError(DBIERR_LOCKED, "Enregistrement verrouillé");
  };
  dlg->Clear();
  Click(w.btnSave);
  EXPECT_EQ(dlg->Messages(), QStringList{"Enregistrement verrouillé"});
  const QStringList stored{"1|0003|L'EST|01", "2|0001|L'EST|01", "3|0002|L'EST|01", "4|0004|L'EST|01",
                           "5|0005|L'EST|01"};
  EXPECT_EQ(List(1), stored);
  EXPECT_TRUE(w.btnSave->isEnabled());
  Click(w.btnCancel);
  // So does an addition that fails at its second title: none of its titles is stored.
  posts = 0;
  w.TLISTE.BeforePost = [&](TDataSet&) {
    if (++posts == 2) throw EDBEngineError(DBIERR_LOCKED, "Enregistrement verrouillé");
  };
  AddFirst(w, 2);
  EXPECT_EQ(List(1), stored);
  EXPECT_EQ(w.RowsInList, 5);
  w.TLISTE.BeforePost = nullptr;

  // Up to fifteen: an addition that does not fit is refused whole.
  AddFirst(w, 9);
  EXPECT_EQ(w.RowsInList, 14);
  dlg->Clear();
  AddFirst(w, 2);
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].startsWith("La liste ne peut plus recevoir que 1 titre(s) !"));
  EXPECT_EQ(Count("SELECT ID_TITRE FROM TLISTE"), 14);
  AddFirst(w, 1);
  EXPECT_EQ(w.RowsInList, 15);
  AddFirst(w, 1);
  EXPECT_EQ(dlg->Messages().last(), "La liste est complète !\rVous ne pouvez pas ajouter de titres à cette liste.");
  EXPECT_EQ(Count("SELECT ID_TITRE FROM TLISTE"), 15);
  emit w.cmbRegion->activated(0);
  Click(w.btnSave);
  EXPECT_EQ(Rows("SELECT MAX(NORD) AS M FROM TLISTE"), QStringList{"15"});

  // Removing a title, then the whole list.
  w.grdListe->SetRow(2);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnRetire);
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir supprimer ce titre ?");
  EXPECT_EQ(Count("SELECT ID_TITRE FROM TLISTE"), 14);
  EXPECT_EQ(Count("SELECT ID_TITRE FROM TLISTE WHERE ID_TITRE='0001'"), 0);
  dlg->QueueAnswer(ModalResult::Yes);
  Click(w.btnRetireAll);
  EXPECT_EQ(dlg->Messages().last(), "Etes-vous sûr de vouloir supprimer la liste ?");
  EXPECT_EQ(Count("SELECT ID_TITRE FROM TLISTE"), 0);
  EXPECT_EQ(GridCodes(w), QStringList{});
  EXPECT_EQ(w.stBar->Panels[1]->text(), "20  titres affichés");
}

TEST_F(ListeTest, MovingBetweenListsKeepsEachHeading) {
  for (int i = 1; i <= 2; ++i) AddRow("TLISTE.DB", {3, i, "01", QString("000%1").arg(i), "A"});
  AddRow("TLISTE.DB", {5, 1, "01", "0009", "CINQ"});
  {
    TIniFile ini(AppPath + "ZELM.INI");
    ini.WriteInteger("PARAMS", "NOLISTE", 3);
  }
  {
    TfrmListe w;
    Activate(&w);
    EXPECT_EQ(CurrentListNo, 3);
    EXPECT_EQ(w.edTitre->text(), "A");
    EXPECT_EQ(w.cmbRegion->Text(), "NORD");
    w.edTitre->setText("A'B");
    w.edNoListe->setFocus();
    w.edNoListe->selectAll();
    Type("5");
    Press(Qt::Key_Return);
    EXPECT_EQ(CurrentListNo, 5);
    EXPECT_EQ(w.edTitre->text(), "CINQ");
    EXPECT_EQ(Rows("SELECT DISTINCT TITRELISTE FROM TLISTE WHERE NOLISTE='3'"), QStringList{"A'B"});
    // Zero is no list number: the current one comes back.
    w.edNoListe->selectAll();
    Type("0");
    Press(Qt::Key_Return);
    EXPECT_EQ(CurrentListNo, 5);
    EXPECT_EQ(int(w.edNoListe->Value()), 5);
    // The keys move between lists, the previous one stopping at 1.
    Press(Qt::Key_Right);
    EXPECT_EQ(CurrentListNo, 6);
    EXPECT_TRUE(w.edTitre->text().isEmpty());
    for (int i = 0; i < 8; ++i) Press(Qt::Key_Left);
    EXPECT_EQ(CurrentListNo, 1);
    w.close();
  }
  TIniFile ini(AppPath + "ZELM.INI");
  EXPECT_EQ(ini.ReadInteger("PARAMS", "NOLISTE", 0), 1);
}

TEST_F(ListeTest, OnAFolderThatCannotBeWrittenMovingBetweenListsAndClosingStoreNothing) {
  for (int t = 1; t <= 2; ++t) AddRow("TLISTE.DB", {1, t, "01", QString("%1").arg(t, 4, 10, QChar('0')), "MATIN"});
  AddRow("TLISTE.DB", {2, 1, "01", "0003", "SOIR"});
  {
  ReadOnlyFolder readOnly(DataPath);
  TfrmListe w;
  Activate(&w);
  dlg->Clear();
  Click(w.btnN);
  EXPECT_EQ(w.edTitre->text(), "SOIR");
  Click(w.btnP);
  EXPECT_EQ(w.edTitre->text(), "MATIN");
  w.edTitre->setFocus();
  Press(Qt::Key_Return);
  w.edNoListe->setFocus();
  w.edNoListe->selectAll();
  Type("2");
  Press(Qt::Key_Return);
  EXPECT_EQ(CurrentListNo, 2);
  w.edTitre->setFocus();
  Click(w.btnClose);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_FALSE(w.isVisible());
  // A changed heading that cannot be stored says so.
  w.show();
  w.edTitre->setText("NUIT");
  Click(w.btnP);
  ASSERT_EQ(dlg->Messages().size(), 1);
  // In French, naming the table, with no engine text the operator cannot read.
  const QString m = dlg->Messages()[0];
  EXPECT_TRUE(m.contains("TLISTE.DB") && m.contains("ne peut pas être écrit")) << m.toStdString();
  EXPECT_FALSE(m.contains("database")) << m.toStdString();
  }
  // A heading that was changed is stored when the list is left.
  TfrmListe w2;
  Activate(&w2);
  w2.edTitre->setText("NUIT");
  Click(w2.btnP);
  EXPECT_EQ(List(2), QStringList{"1|0003|NUIT|01"});
  EXPECT_EQ(List(1), (QStringList{"1|0001|MATIN|01", "2|0002|MATIN|01"}));
}

TEST_F(ListeTest, ThePointInTheListNumberIsADecimalPointNotNothing) {
  AddRow("TLISTE.DB", {2, 1, "01", "0003", "DEUX"});
  AddRow("TLISTE.DB", {27, 1, "01", "0004", "VINGT-SEPT"});
  TfrmListe w;
  Activate(&w);
  w.edNoListe->setFocus();
  w.edNoListe->selectAll();
  Type("2.7");
  EXPECT_EQ(w.edNoListe->text(), "2.7");
  Press(Qt::Key_Return);
  EXPECT_EQ(CurrentListNo, 2);
  EXPECT_EQ(w.edNoListe->text(), "2");
  EXPECT_EQ(w.edTitre->text(), "DEUX");
}

TEST_F(ListeTest, TheFirstClickOnAddAfterAClickInTheListNumberIsNotLost) {
  AddRow("TLISTE.DB", {1, 1, "01", "0001", "MATIN"});
  TfrmListe w;
  Activate(&w);
  Unlock(w);
  CtrlClickRows(w.grdTitre, {0});
  QTest::mouseClick(w.edNoListe, Qt::LeftButton);
  ASSERT_EQ(Focused(&w), w.edNoListe);
  // A person's click: the release is already waiting while the press moves the focus.
  const QPoint c = w.btnAdd->rect().center();
  QCoreApplication::postEvent(w.btnAdd, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(c),
                                                         QPointF(w.btnAdd->mapToGlobal(c)), Qt::LeftButton,
                                                         Qt::NoButton, Qt::NoModifier));
  QTest::mousePress(w.btnAdd, Qt::LeftButton, Qt::NoModifier, c);
  QApplication::processEvents();
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(List(1), (QStringList{"1|0001|MATIN|01", "2|0002|MATIN|01"}));
}

TEST_F(ListeTest, TheBoxesTakeTheEditingKeysAndNoLetterHeldWithAlt) {
  AddRow("TLISTE.DB", {1, 1, "01", "0001", "LISTE UN"});
  AddRow("TLISTE.DB", {12, 1, "01", "0002", "DOUZE"});
  TfrmListe w;
  Activate(&w);
  // The list number: select, copy, paste (only what makes a number), undo, cut.
  w.edNoListe->setFocus();
  Type("12");
  Press(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.edNoListe->selectedText(), "12");
  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "12");
  QGuiApplication::clipboard()->setText("n° 7 !");
  Press(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.edNoListe->text(), "7");
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.edNoListe->text(), "12");
  Press(Qt::Key_Backspace);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.edNoListe->text(), "12");
  Press(Qt::Key_A, Qt::ControlModifier);
  Press(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "12");
  Press(Qt::Key_Z, Qt::ControlModifier);
  Press(Qt::Key_Return);
  EXPECT_EQ(CurrentListNo, 12);
  EXPECT_EQ(w.edTitre->text(), "DOUZE");

  // The heading: Alt+X types nothing, Alt+F is "&Fermer", which stores the heading as shown.
  w.edNoListe->selectAll();
  Type("1");
  Press(Qt::Key_Return);
  w.edTitre->setFocus();
  w.edTitre->end(false);
  Press(Qt::Key_X, Qt::AltModifier);
  EXPECT_EQ(w.edTitre->text(), "LISTE UN");
  Press(Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));  // the button's animated click
  EXPECT_EQ(List(1), QStringList{"1|0001|LISTE UN|01"});
  EXPECT_TRUE(dlg->Messages().isEmpty());
}
