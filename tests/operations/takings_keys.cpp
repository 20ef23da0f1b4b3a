// The takings window under keys held with Alt or Ctrl: commands of the window, never quantities.
#include <QPushButton>

#include "TakingsFixture.h"
#include "operations/UDisto1.h"

TEST_F(TakingsTest, AKeyHeldWithAltOrCtrlIsACommandNotAQuantity) {
  TfrmDisto1 w;
  Activate(&w);
  TakingsTest::ClickCell(w.grdDisto, 2, 3);  // DUPONT / LA SEMAINE: 5, stored
  ASSERT_TRUE(w.grdDisto->hasFocus());
  Press(Qt::Key_F, Qt::AltModifier);
  Press(Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(w.grdDisto->EditorMode());
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "5");
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnPost->isEnabled());
  Press(Qt::Key_Up);
  EXPECT_EQ(w.grdDisto->Row(), 2);
  EXPECT_TRUE(dlg->Messages().isEmpty());
  // Alt+M is the window's "&Menu..." button, from the grid as from anywhere else.
  const QString before = w.grdDisto->Cells(2, 2);
  Press(Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.PopMnDisto->isVisible(); }));  // the button's animated click
  w.PopMnDisto->close();
  EXPECT_EQ(w.grdDisto->Cells(2, 2), before);
  EXPECT_FALSE(w.btnPost->isEnabled());

  // In the cell's editor: the quantity typed stays as typed, Escape gives the cell back and
  // leaves nothing to save.
  TakingsTest::ClickCell(w.grdDisto, 2, 3);
  Type("55");
  Press(Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(w.grdDisto->InplaceEditor()->text(), "55");
  EXPECT_TRUE(w.btnPost->isEnabled());
  Press(Qt::Key_Escape);
  EXPECT_EQ(w.grdDisto->Cells(2, 3), "5");
  EXPECT_FALSE(w.Modified);
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_FALSE(w.mnPost->isEnabled());

  // The window's own Ctrl keys still work from the grid's editor.
  Type("8");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(Day("07/03/2005").contains("0001|0002|8|9.99")) << Day("07/03/2005").join(" ").toStdString();
  EXPECT_FALSE(w.btnPost->isEnabled());
  EXPECT_TRUE(dlg->Messages().isEmpty());
}
