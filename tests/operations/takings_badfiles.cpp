// The takings window when the takings file cannot be written: nothing typed is lost, nothing is
// half written.
#include <QDir>
#include <QPushButton>
#include <unistd.h>

#include "TakingsFixture.h"
#include "operations/UDisto1.h"
#include "shell/global.h"

namespace {
// Permissions do not hold for root: a folder in the journal's place blocks every write.
void BlockWrites(bool on) {
  const QString journal = DataPath + "Disto.DB-journal";
  if (geteuid() == 0) {
    if (on) QDir().mkdir(journal);
    else QDir().rmdir(journal);
  } else {
    QFile::setPermissions(DataPath + "Disto.DB", on ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(DataPath, on ? QFile::ReadOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
}
}  // namespace

TEST_F(TakingsTest, ASaveThatCannotWriteLeavesTheDayAsItWasAndKeepsTheCells) {
  const QStringList before = Day("07/03/2005");
  {
    TfrmDisto1 w;
    Activate(&w);
    Type("4");
    Press(Qt::Key_Down);  // MARTIN / LA SEMAINE, no row yet
    Type("9");            // DUPONT / LA SEMAINE, stored when left
    BlockWrites(true);
    dlg->Clear();
    Press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dlg->Messages().size(), 1);
    EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
    EXPECT_EQ(w.PendingCount(), 2);
    EXPECT_TRUE(w.btnPost->isEnabled());
    // Closing with "Oui": the save fails again and the window stays with the cells.
    dlg->Clear();
    dlg->QueueAnswer(ModalResult::Yes);
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.grdDisto->Cells(2, 2), "4");
    EXPECT_EQ(w.grdDisto->Cells(2, 3), "9");
    // The next day with "Oui": the same.
    dlg->QueueAnswer(ModalResult::Yes);
    Click(w.btnNext);
    EXPECT_EQ(w.pnlDate->text(), "07/03/2005");
    // Once the file can be written, the same save goes through.
    BlockWrites(false);
    EXPECT_EQ(Day("07/03/2005"), before);
    Activate(&w);
    dlg->Clear();
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(dlg->Messages().isEmpty());
    EXPECT_EQ(w.PendingCount(), 0);
    w.close();
    EXPECT_FALSE(w.isVisible());
  }
  EXPECT_EQ(Day("07/03/2005"),
            (QStringList{"0001|0001|0|0.9", "0001|0002|9|9.99", "0002|0001|3|1", "0002|0002|4|1.5", "0003|0003|7|1"}));
}

TEST_F(TakingsTest, AnImportThatCannotWriteWritesNothing) {
  const QStringList before = Day("07/03/2005");
  TfrmDisto1 w;
  Activate(&w);
  w.ImportPauseMs = 0;
  BlockWrites(true);
  dlg->QueueModal([](QWidget* d) {
    QMetaObject::invokeMethod(d->findChild<QPushButton*>("btnOk"), "click");
    return ModalResult::OK;
  });
  dlg->QueueAnswer(ModalResult::Yes);
  dlg->Clear();
  w.mnInsertClick();
  BlockWrites(false);
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "5");
  EXPECT_EQ(Day("07/03/2005"), before);
  EXPECT_FALSE(w.Busy());
  EXPECT_FALSE(w.pnlMessage->isVisible());
  ASSERT_FALSE(dlg->Asked().empty());
  EXPECT_EQ(dlg->Asked().back().type, MsgDlgType::Error);
}

TEST_F(TakingsTest, ASaveFailingHalfWayIsRolledBack) {
  const QStringList before = Day("07/03/2005");
  TfrmDisto1 w;
  Activate(&w);
  Type("4");
  Press(Qt::Key_Right);
  TakingsTest::ClickCell(w.grdDisto, 3, 3);
  Type("7");
  Press(Qt::Key_Left);  // stored at once: DUPONT / LE MATIN has no row, so it waits
  // The second row written fails (a disk that fills up).
  int posts = 0;
  const auto flush = w.Disto.AfterPost;
  w.Disto.AfterPost = [&](TDataSet& ds) {
    if (++posts == 2) throw EInOutError("Disque plein");
    flush(ds);
  };
  dlg->Clear();
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dlg->Messages(), QStringList{"Disque plein"});
  EXPECT_EQ(posts, 2);
  EXPECT_EQ(Day("07/03/2005"), before);
  EXPECT_EQ(w.PendingCount(), 2);
  w.Disto.AfterPost = flush;
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_EQ(Day("07/03/2005"),
            (QStringList{"0001|0001|7|0.9", "0001|0002|5|9.99", "0002|0001|3|1", "0002|0002|4|1.5", "0003|0003|7|1"}));
}
