// The purchases window as the operator met it in the real program: a price typed with a comma
// is refused with a message, never stored ten times larger.
#include "WeeklyFixture.h"
#include "operations/UHa.h"
#include "platform/sys/Errors.h"

TEST_F(WeeklyTest, ACommaTypedInAPurchasePriceIsRefusedNotDropped) {
  AddReference();
  AddRow("Ha.DB", {QDate(2004, 3, 10), "0001", 8, 8.0});
  TfrmHa w;
  Activate(&w);
  w.DBGrid1->setFocus();
  w.DBGrid1->SetSelectedIndex(3);
  Type("1,5");
  Press(Qt::Key_Return);
  w.close();
  EXPECT_TRUE(w.isVisible());
  ASSERT_FALSE(dlg->Messages().isEmpty());
  for (const QString& m : dlg->Messages()) EXPECT_EQ(m, "'1,5' n'est pas une valeur correcte");
  w.HA.Cancel();
  EXPECT_EQ(Rows("SELECT ID, QTE, PU FROM HA"), QStringList({"0001|8|8"}));
}
