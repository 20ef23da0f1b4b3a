// The string grid driven as a user drives it: keys, clicks, drags, painting.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/ui/Grids.h"
#include "support/TestSupport.h"

namespace {

// A takings-like grid: hidden key row and column, a heading row and a label column.
struct TakingsGrid {
  TStringGrid grid;
  TakingsGrid(int cols, int rows) {
    grid.resize(600, 400);
    grid.SetDefaultRowHeight(19);
    grid.SetColCount(cols);
    grid.SetRowCount(rows);
    grid.SetFixedCols(2);
    grid.SetFixedRows(2);
    grid.SetOptions(grid.Options() | goEditing);
    grid.SetRowHeights(0, 0);
    grid.SetColWidths(0, 0);
    grid.SetColWidths(1, 160);
    for (int c = 2; c < cols; ++c) {
      grid.SetColWidths(c, 65);
      grid.SetCells(c, 0, QString("T%1").arg(c));
      grid.SetCells(c, 1, QString("Titre %1").arg(c));
    }
    for (int r = 2; r < rows; ++r) {
      grid.SetCells(0, r, QString("C%1").arg(r));
      grid.SetCells(1, r, QString("Client %1").arg(r));
      for (int c = 2; c < cols; ++c) grid.SetCells(c, r, "0");
    }
    grid.show();
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    QApplication::processEvents();
  }
};

QPoint Center(TStringGrid& g, int c, int r) { return g.CellRect(c, r).center(); }

}  // namespace

TEST(StringGrid, FixedRowsAndColumnsStayWhileTheRestScrolls) {
  TakingsGrid t(80, 300);
  TStringGrid& g = t.grid;
  const QRect heading = g.CellRect(1, 1), label = g.CellRect(1, 10);
  EXPECT_EQ(g.TopRow(), 2);
  EXPECT_EQ(g.LeftCol(), 2);
  // Hidden row 0 and column 0 take no room.
  EXPECT_EQ(heading.top(), 0);
  EXPECT_EQ(heading.left(), 0);

  int topChanges = 0;
  g.OnTopLeftChanged = [&](TStringGrid*) { ++topChanges; };
  QTest::keyClick(&g, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g.Row(), 299);
  EXPECT_EQ(g.Col(), 79);
  EXPECT_GT(g.TopRow(), 250);
  EXPECT_GT(g.LeftCol(), 60);
  EXPECT_GE(topChanges, 1);
  // The current cell is in view, the fixed cells kept their places.
  EXPECT_FALSE(g.CellRect(79, 299).isEmpty());
  EXPECT_TRUE(g.CellRect(2, 2).isEmpty());
  EXPECT_EQ(g.CellRect(1, 1), heading);
  EXPECT_EQ(g.CellRect(79, 1).top(), heading.top());
  EXPECT_EQ(g.CellRect(1, 299).left(), label.left());

  // What the user sees: the fixed heading is painted at its place after scrolling.
  std::vector<std::pair<int, int>> drawn;
  g.OnDrawCell = [&](TStringGrid*, int c, int r, const QRect&, TGridDrawState s) {
    if (s & gdFixed) drawn.push_back({c, r});
  };
  g.grab();
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::make_pair(1, 1)), drawn.end());
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::make_pair(79, 1)), drawn.end());
  EXPECT_EQ(std::find(drawn.begin(), drawn.end(), std::make_pair(1, 0)), drawn.end());  // height 0

  QTest::keyClick(&g, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(g.Row(), 2);
  EXPECT_EQ(g.Col(), 2);
  EXPECT_EQ(g.TopRow(), 2);
  EXPECT_EQ(g.LeftCol(), 2);
  QTest::keyClick(&g, Qt::Key_PageDown);
  EXPECT_EQ(g.Row(), 2 + g.VisibleRowCount());
}

TEST(StringGrid, TypingUpdatesTheCellAtEveryKeystrokeAndTheVetoHoldsTheSelection) {
  TakingsGrid t(6, 6);
  TStringGrid& g = t.grid;
  std::vector<QString> edits;
  bool modified = false;
  g.OnSetEditText = [&](TStringGrid*, int c, int r, const QString& v) {
    EXPECT_EQ(c, 2);
    EXPECT_EQ(r, 2);
    edits.push_back(v);
    modified = true;
  };
  QStringList refused;
  g.OnSelectCell = [&](TStringGrid* s, int, int, bool& can) {
    if (!modified) return;
    bool ok = false;
    s->Cells(s->Col(), s->Row()).toInt(&ok);
    if (!ok) {
      refused << s->Cells(s->Col(), s->Row());
      can = false;
      return;
    }
    modified = false;
  };
  QTest::keyClicks(&g, "1");
  ASSERT_TRUE(g.EditorMode());
  QTest::keyClicks(g.InplaceEditor(), "2x");
  EXPECT_EQ(edits, (std::vector<QString>{"1", "12", "12x"}));
  EXPECT_EQ(g.Cells(2, 2), "12x");
  // Leaving the cell is refused while its text is no number.
  QTest::keyClick(g.InplaceEditor(), Qt::Key_Down);
  QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, Center(g, 4, 4));
  EXPECT_EQ(refused, (QStringList{"12x", "12x"}));
  EXPECT_EQ(g.Row(), 2);
  EXPECT_EQ(g.Col(), 2);
  QTest::keyClick(g.EditorMode() ? static_cast<QWidget*>(g.InplaceEditor()) : &g, Qt::Key_Backspace);
  EXPECT_EQ(g.Cells(2, 2), "12");
  QTest::keyClick(g.EditorMode() ? static_cast<QWidget*>(g.InplaceEditor()) : &g, Qt::Key_Down);
  EXPECT_EQ(g.Row(), 3);
  EXPECT_FALSE(g.EditorMode());
  // A click moves the current cell when nothing is pending.
  QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, Center(g, 4, 4));
  EXPECT_EQ(g.Col(), 4);
  EXPECT_EQ(g.Row(), 4);
  // Code moves pass through the veto as well.
  modified = true;
  g.SetCells(4, 4, "a");
  g.SetCol(5);
  EXPECT_EQ(g.Col(), 4);
}

TEST(StringGrid, EnterEscapeAndKeyEvents) {
  TakingsGrid t(5, 5);
  TStringGrid& g = t.grid;
  int enterUps = 0;
  g.OnKeyUp = [&](TStringGrid* s, int& key, Qt::KeyboardModifiers) {
    if (key == Qt::Key_Return) {
      ++enterUps;
      s->SetCol(s->Col() < s->ColCount() - 1 ? s->Col() + 1 : 2);
    }
  };
  // Only digits may be typed.
  g.OnKeyPress = [&](TStringGrid*, QChar& ch) {
    if (ch.isLetter()) ch = QChar();
  };
  QTest::keyClicks(&g, "a");
  EXPECT_FALSE(g.EditorMode());
  QTest::keyClicks(&g, "7");
  ASSERT_TRUE(g.EditorMode());
  QTest::keyClicks(g.InplaceEditor(), "b8");
  EXPECT_EQ(g.Cells(2, 2), "78");
  QTest::keyClick(g.InplaceEditor(), Qt::Key_Return);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(enterUps, 1);
  EXPECT_EQ(g.Col(), 3);
  // F2 opens the editor on the text, Escape leaves it and the text typed stays.
  QTest::keyClick(&g, Qt::Key_F2);
  ASSERT_TRUE(g.EditorMode());
  QTest::keyClicks(g.InplaceEditor(), "5");
  QTest::keyClick(g.InplaceEditor(), Qt::Key_Escape);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.Cells(3, 2), "05");
  // Fixed cells are never edited.
  int dbl = 0;
  g.OnDblClick = [&](TStringGrid*) { ++dbl; };
  QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, Center(g, 1, 3));
  EXPECT_EQ(dbl, 1);
  EXPECT_EQ(g.Col(), 3);
}

TEST(StringGrid, SecondGridFollowsTheScrolling) {
  TakingsGrid t(40, 10);
  TStringGrid& g = t.grid;
  TStringGrid tot;
  tot.resize(600, 24);
  tot.SetRowCount(1);
  tot.SetFixedRows(0);
  tot.SetColCount(40);
  tot.SetFixedCols(2);
  tot.SetScrollBars(TScrollStyle::ssNone);
  for (int c = 0; c < 40; ++c) tot.SetColWidths(c, g.ColWidths(c));
  tot.show();
  g.OnTopLeftChanged = [&](TStringGrid* s) { tot.SetLeftCol(s->LeftCol()); };
  g.OnClick = [&](TStringGrid* s) { tot.SetCol(s->Col()); };
  for (int i = 0; i < 20; ++i) QTest::keyClick(&g, Qt::Key_Right);
  EXPECT_EQ(g.Col(), 22);
  EXPECT_GT(g.LeftCol(), 2);
  EXPECT_EQ(tot.LeftCol(), g.LeftCol());
  EXPECT_EQ(tot.Col(), 22);
  EXPECT_EQ(tot.CellRect(22, 0).left(), g.CellRect(22, 3).left());
  g.horizontalScrollBar()->setValue(0);
  EXPECT_EQ(g.LeftCol(), 2);
  EXPECT_EQ(tot.LeftCol(), 2);
}

TEST(StringGrid, DraggingARowMovesItsCells) {
  TStringGrid g;
  g.resize(300, 400);
  g.SetColCount(3);
  g.SetRowCount(16);
  g.SetDefaultRowHeight(19);
  g.SetOptions(g.Options() | goRowSelect | goRowMoving);
  g.SetColWidths(0, 19);
  for (int r = 1; r < 16; ++r) {
    g.SetCells(0, r, QString::number(r));
    g.SetCells(1, r, QString("%1").arg(r, 4, 10, QChar('0')));
  }
  g.show();
  QApplication::processEvents();
  std::vector<std::pair<int, int>> moves;
  g.OnRowMoved = [&](TStringGrid*, int from, int to) { moves.push_back({from, to}); };
  QTest::mousePress(g.viewport(), Qt::LeftButton, {}, Center(g, 0, 3));
  QTest::mouseMove(g.viewport(), Center(g, 0, 2));
  QTest::mouseMove(g.viewport(), Center(g, 0, 1));
  QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, Center(g, 0, 1));
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0], std::make_pair(3, 1));
  EXPECT_EQ(g.Cells(1, 1), "0003");
  EXPECT_EQ(g.Cells(1, 2), "0001");
  EXPECT_EQ(g.Cells(1, 3), "0002");
  EXPECT_EQ(g.Cells(0, 1), "3");
  // A drag that ends where it started moves nothing.
  QTest::mousePress(g.viewport(), Qt::LeftButton, {}, Center(g, 0, 5));
  QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, Center(g, 0, 5));
  EXPECT_EQ(moves.size(), 1u);
}

TEST(StringGrid, OwnerDrawingPaintsWithTheHandlersColours) {
  TakingsGrid t(6, 8);
  TStringGrid& g = t.grid;
  g.SetDefaultDrawing(false);
  g.OnDrawCell = [](TStringGrid* s, int c, int r, const QRect& rect, TGridDrawState st) {
    TCanvas* cv = s->Canvas();
    cv->Brush.Color = (st & gdFixed) ? RGBColor(0xC0C0C0) : (r % 2 == 0 ? RGBColor(0xE6E6E6) : Qt::white);
    if (st & gdSelected) cv->Brush.Color = Qt::black;
    if (s->Cells(c, r) == "x") cv->Brush.Color = RGBColor(0xFF0000);
    cv->FillRect(rect);
    cv->Font.Color = Qt::white;
    cv->DrawText(rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, s->Cells(c, r));
  };
  g.SetCells(3, 4, "x");
  const QImage img = g.viewport()->grab().toImage();
  auto at = [&](int c, int r) { return img.pixelColor(g.CellRect(c, r).topLeft() + QPoint(2, 2)); };
  EXPECT_EQ(at(1, 1), RGBColor(0xC0C0C0));
  EXPECT_EQ(at(3, 4), RGBColor(0xFF0000));
  EXPECT_EQ(at(3, 3), QColor(Qt::white));
  EXPECT_EQ(at(3, 2), RGBColor(0xE6E6E6));
  EXPECT_EQ(at(2, 2), QColor(Qt::black));  // the current cell is selected
}

TEST(StringGrid, RowsAndCountsKeepTheirCells) {
  TStringGrid g;
  g.SetColCount(4);
  g.SetRowCount(3);
  g.SetCells(3, 2, "z");
  g.SetRowCount(10);
  g.SetColCount(6);
  EXPECT_EQ(g.Cells(3, 2), "z");
  g.SetRowCount(2);
  EXPECT_EQ(g.Cells(3, 2), "");
  EXPECT_EQ(g.Row(), 1);
  g.SetRowCount(5);
  EXPECT_EQ(g.Cells(3, 2), "");
  g.SetCells(1, 1, "a");
  g.ClearRow(1);
  EXPECT_EQ(g.Cells(1, 1), "");
  EXPECT_EQ(g.Cells(99, 99), "");
}

// Alt and Ctrl make a key a command: the grid and its editor type nothing with them, Alt+letter
// reaches the window's buttons, the editor's own Ctrl keys and AltGr's characters still work.
TEST(StringGrid, KeysHeldWithAltOrCtrlTypeNothing) {
  QWidget window;
  window.resize(700, 480);
  auto* g = new TStringGrid(&window);
  g->setGeometry(0, 0, 600, 400);
  g->SetColCount(4);
  g->SetRowCount(4);
  g->SetFixedCols(1);
  g->SetFixedRows(1);
  g->SetOptions(g->Options() | goEditing);
  for (int r = 1; r < 4; ++r) g->SetCells(2, r, "3");
  auto* close = new QPushButton("&Fermer", &window);
  close->setGeometry(600, 440, 90, 30);
  int closed = 0;
  QObject::connect(close, &QPushButton::clicked, [&] { ++closed; });
  int edits = 0;
  g->OnSetEditText = [&](TStringGrid*, int, int, const QString&) { ++edits; };
  window.show();
  QApplication::setActiveWindow(&window);
  g->setFocus();
  g->FocusCell(2, 1);
  QApplication::processEvents();

  QTest::keyClick(g, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return closed == 1; }));  // the button's animated click
  for (auto mods : {Qt::AltModifier, Qt::ControlModifier}) {
    QTest::keyClick(g, Qt::Key_X, mods);
    QTest::keyClick(g, Qt::Key_5, mods | Qt::ShiftModifier);
  }
  EXPECT_FALSE(g->EditorMode());
  EXPECT_EQ(g->Cells(2, 1), "3");
  EXPECT_EQ(edits, 0);
  EXPECT_TRUE(g->hasFocus());

  // In the editor.
  QTest::keyClick(g, Qt::Key_F2);
  ASSERT_TRUE(g->EditorMode());
  QLineEdit* ed = g->InplaceEditor();
  QTest::keyClicks(ed, "4");
  QTest::keyClick(ed, Qt::Key_X, Qt::AltModifier);
  QTest::keyClick(ed, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(ed, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return closed == 2; }));
  EXPECT_EQ(ed->text(), "34");
  QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(ed, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(ed, Qt::Key_End);
  QTest::keyClick(ed, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), "3434");
  QTest::keyClick(ed, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), "34");
  // AltGr: Ctrl+Alt on some platforms, the group switch on others.
  QTest::keyClick(ed, '@', Qt::ControlModifier | Qt::AltModifier);
  QTest::sendKeyEvent(QTest::Click, ed, Qt::Key(0x20AC), QString("€"), Qt::GroupSwitchModifier);
  EXPECT_EQ(ed->text(), "34@€");
  EXPECT_EQ(g->Cells(2, 1), "34@€");
  QTest::keyClick(ed, Qt::Key_Escape);
  QTest::keyClick(g, Qt::Key_Down);
  QTest::keyClick(g, '@', Qt::ControlModifier | Qt::AltModifier);
  ASSERT_TRUE(g->EditorMode());
  EXPECT_EQ(g->Cells(2, 2), "@");
}
