// The purge of a period and the pack of every table.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTest>
#include <QTimer>

#include "MaintFixture.h"
#include "maintenance/UEpur.h"
#include "platform/db/Table.h"
#include "shell/UCalendar.h"
#include "shell/global.h"

#include <QCalendarWidget>

TEST_F(MaintTest, PurgeOfMarchKeepsItsNeighboursAndPayments) {
  FillSample();
  // Many rows in the period, so the pack has something to give back.
  for (int c = 3; c < 400; ++c) AddRow("Disto.DB", {QDate(2005, 3, 15), QString("%1").arg(c, 4, 10, QChar('0')), "0002", 1, 1.0});
  const qint64 sizeBefore = QFileInfo(DataPath + "Disto.DB").size();
  TfrmEpur f;
  f.show();
  EXPECT_EQ(f.windowTitle(), "Epuration des fichiers");
  QTest::keyClicks(f.edDDeb, "01/03/2005");
  QTest::keyClicks(f.edDFin, "31/03/2005");
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->QueueAnswer(ModalResult::OK);
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages(),
            (QStringList{"Etes-vous sûr de vouloir supprimer les données saisies entre le 01/03/2005 et le 31/03/2005 ?",
                         "La suppression des données est irreversible. \rConfirmer le lancement de cette opération?",
                         "Epuration terminée !"}));
  EXPECT_EQ(Rows("SELECT DISTINCT DateJ FROM Disto.DB ORDER BY DateJ"), (QStringList{"28/02/2005", "01/04/2005"}));
  EXPECT_EQ(Rows("SELECT DateH FROM Ha.DB ORDER BY DateH"), (QStringList{"28/02/2005", "01/04/2005"}));
  EXPECT_EQ(Rows("SELECT Week FROM Retour.DB ORDER BY Week"), (QStringList{"26/02/2005", "02/04/2005"}));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM VCR.DB"), 4);
  EXPECT_LT(QFileInfo(DataPath + "Disto.DB").size(), sizeBefore);
  EXPECT_FALSE(f.pnlProgress->isVisible());
  // The packed tables still take rows and keep their counters.
  AddRow("Disto.DB", {QDate(2005, 3, 2), "0001", "0001", 1, 1.0});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 5);
}

TEST_F(MaintTest, PurgeWithTheEndBeforeTheStartDeletesNothing) {
  FillSample();
  TfrmEpur f;
  f.edDDeb->setText("31/03/2005");
  f.edDFin->setText("01/03/2005");
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);  // default answers: Yes, then OK
  EXPECT_EQ(dlg->Messages().last(), "Epuration terminée !");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Ha.DB"), 4);
}

TEST_F(MaintTest, PurgeRefusesBadDatesAndStopsOnNo) {
  FillSample();
  TfrmEpur f;
  f.show();
  f.edDDeb->setText("32/03/2005");
  f.edDFin->setText("01/04/2005");
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages(), QStringList{"32/03/2005  n'est pas une date correcte !"});
  f.edDDeb->setText("01/03/2005");
  f.edDFin->setText("");
  dlg->Clear();
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages(), QStringList{"  n'est pas une date correcte !"});
  f.edDFin->setText("31/03/2005");
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->QueueAnswer(ModalResult::Cancel);
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages().size(), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
}

TEST_F(MaintTest, PackStopsAtATableInUse) {
  FillSample();
  // The takings open elsewhere in the program: the deletions are made, the pack stops there.
  TTable open;
  open.SetDatabaseName(DataPath);
  open.SetTableName("CLIENT.DB");
  open.Open();
  TfrmEpur f;
  f.edDDeb->setText("01/03/2005");
  f.edDFin->setText("31/03/2005");
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);  // the engine error goes to the error box
  EXPECT_NE(dlg->Messages().last(), "Epuration terminée !");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 4);
  EXPECT_FALSE(f.pnlProgress->isVisible());
}

TEST_F(MaintTest, CalendarFillsTheEndFourWeeksLater) {
  TfrmEpur f;
  dlg->QueueModal([](QWidget* w) {
    static_cast<TfrmCalendar*>(w)->myCalend->setSelectedDate(QDate(2005, 3, 1));
    return ModalResult::OK;
  });
  QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
  EXPECT_EQ(f.edDDeb->text(), "01/03/2005");
  EXPECT_EQ(f.edDFin->text(), "29/03/2005");
  dlg->QueueModal([](QWidget* w) {
    static_cast<TfrmCalendar*>(w)->myCalend->setSelectedDate(QDate(2005, 3, 31));
    return ModalResult::OK;
  });
  QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);
  EXPECT_EQ(f.edDFin->text(), "31/03/2005");
}

TEST(PackTableTest, RefusesATableNotOpenExclusively) {
  TTable t;
  try {
    PackTable(nullptr, t);
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.Message(), "Table must be  opened to pack");
  }
}

TEST_F(MaintTest, AFailingDeletionUndoesTheOthers) {
  FillSample();
  // The purchases table gone: the third deletion fails, the first two must not stay done.
  ASSERT_TRUE(QFile::remove(DataPath + "Ha.DB"));
  TfrmEpur f;
  f.edDDeb->setText("01/03/2005");
  f.edDFin->setText("31/03/2005");
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  EXPECT_NE(dlg->Messages().last(), "Epuration terminée !");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retour.DB"), 4);
}

// On a year of data the first deletion takes long: the confirmation box must be gone and the
// progress on screen before it starts, not painted over the window until it ends.
TEST_F(MaintTest, TheProgressShowsBeforeTheFirstDeletionRuns) {
  FillSample();
  TfrmEpur f;
  f.show();
  f.edDDeb->setText("01/03/2005");
  f.edDFin->setText("31/03/2005");
  bool ran = false, panel = false;
  int takings = -1;
  QString label;
  // Runs at the first handling of pending events after the answers.
  QTimer::singleShot(0, &f, [&] {
    ran = true;
    panel = f.pnlProgress->isVisible();
    label = f.lblProgress->text();
    takings = Count("SELECT COUNT(*) FROM Disto.DB");
  });
  QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
  ASSERT_TRUE(ran);
  EXPECT_EQ(takings, 8);  // nothing deleted yet
  EXPECT_TRUE(panel);
  EXPECT_EQ(label, "Suppression des données en cours ...");
  EXPECT_EQ(dlg->Messages().last(), "Epuration terminée !");
  EXPECT_EQ(f.lblProgress->text(), "Package en cours ...");
  EXPECT_FALSE(f.pnlProgress->isVisible());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 4);
}
