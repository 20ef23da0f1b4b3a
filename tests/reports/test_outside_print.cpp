// The report chooser on a data folder where "DJ.INI" cannot be written: the window still closes,
// and settings that did not change are not written again.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ReportsFixture.h"
#include "platform/sys/IniFiles.h"
#include "reports/UPrint.h"
#include "shell/global.h"

namespace {
class OutsideChooserTest : public ChooserTest {};
}  // namespace

TEST_F(OutsideChooserTest, ASettingsFileThatCannotBeWrittenDoesNotKeepTheWindowOpen) {
  // Even root cannot write a file where a folder stands.
  ASSERT_TRUE(QDir().mkpath(DataPath + "DJ.INI"));
  Open();
  ASSERT_EQ(w->lstPrint->count(), 2);
  w->DateDeb->setText("05/01/2004");
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(dlg->Messages(), QStringList{"Impossible d'écrire dans " + DataPath + "DJ.INI"});
}

TEST_F(OutsideChooserTest, UnchangedSettingsAreNotWrittenAgain) {
  {
    TIniFile ini(DataPath + "DJ.INI");
    ini.WriteInteger("PRINT", "LSTPRINT", 1);
    ini.WriteString("PRINT", "DEB", "05/01/2004");
    ini.WriteString("PRINT", "FIN", "11/01/2004");
  }
  const QDateTime old(QDate(2020, 1, 1), QTime(12, 0));
  {
    QFile f(DataPath + "DJ.INI");
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
  }
  Open();
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(QFileInfo(DataPath + "DJ.INI").lastModified(), old);
  EXPECT_EQ(dlg->Messages(), QStringList());
  // A change is stored.
  delete w.data();
  Open();
  w->lstPrint->setCurrentRow(0);
  w->lstPrintClick();
  w->close();
  EXPECT_EQ(TIniFile(DataPath + "DJ.INI").ReadInteger("PRINT", "LSTPRINT", -1), 0);
}

TEST_F(OutsideChooserTest, AGarbageSettingsFileGivesTheDefaults) {
  QFile f(DataPath + "DJ.INI");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("\xff\xfe[PRINT\nLSTPRINT=-99999999999999\nDEB=\x01\x02\n[[[\n[PRINT]\nLSTPRINT=abc\n");
  f.close();
  Open();
  EXPECT_EQ(w->lstPrint->currentRow(), 0);
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(TIniFile(DataPath + "DJ.INI").ReadInteger("PRINT", "LSTPRINT", -1), 0);
}
