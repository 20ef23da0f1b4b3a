// The takings window as the operator met it in the real program: a refused quantity is replaced
// by what is typed next, not added to.
#include <QLineEdit>

#include "TakingsFixture.h"
#include "operations/UDisto1.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Grids.h"

TEST_F(TakingsTest, ARefusedQuantityIsReplacedByTheNextDigitsTyped) {
  TfrmDisto1 w;
  Activate(&w);
  TakingsTest::ClickCell(w.grdDisto, 2, 3);  // DUPONT / LA SEMAINE, which has a row
  for (const QString& bad : QStringList{"1e5", "abc", "2147483648", QString(1000, '9')}) {
    dlg->Clear();
    Type(bad);
    Press(Qt::Key_Return);
    EXPECT_EQ(dlg->Messages(), QStringList({"La quantité prise doit être numérique!"})) << bad.left(12).toStdString();
    EXPECT_EQ(w.grdDisto->Col(), 2);
    EXPECT_EQ(w.grdDisto->Row(), 3);
  }
  dlg->Clear();
  Type("12");
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "12");
  Press(Qt::Key_Return);
  EXPECT_TRUE(dlg->Messages().isEmpty()) << dlg->Messages().join("/").toStdString();
  EXPECT_EQ(w.grdDisto->Col(), 3);
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|12|9.99", "0002|0001|3|1", "0003|0003|7|1"}));
}

TEST_F(TakingsTest, ARegionChosenInTheBoxHandsTheKeysToItsGrid) {
  TfrmDisto1 w;
  Activate(&w);
  w.cmbRegion->setFocus();
  QApplication::processEvents();
  const int sud = w.cmbRegion->findText("SUD");
  ASSERT_GE(sud, 0);
  w.cmbRegion->setCurrentIndex(sud);
  emit w.cmbRegion->activated(sud);
  QApplication::processEvents();
  ASSERT_EQ(w.grdDisto->Cells(0, 2), "0003");  // DURAND, the one client of SUD
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(w.grdDisto));
  Type("4");
  EXPECT_EQ(w.grdDisto->Cells(w.grdDisto->Col(), 2), "4");
}

TEST_F(TakingsTest, AfterToutesAndAfficherTheGridTakesTheKeys) {
  TfrmDisto1 w;
  Activate(&w);
  QTest::mouseClick(w.chkTout, Qt::LeftButton);
  ASSERT_TRUE(w.chkTout->isChecked());
  w.chkTout->setFocus();  // where a click leaves it
  Press(Qt::Key_F5);
  EXPECT_EQ(w.grdTot->Cells(1, 0), "Total Général");
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(w.grdDisto));
  Type("6");
  EXPECT_EQ(w.grdDisto->Cells(w.grdDisto->Col(), w.grdDisto->Row()), "6");
}
