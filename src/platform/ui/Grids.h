// The string grid: cells of text in flat storage, fixed rows and columns that stay in place
// while the rest scrolls by whole cells, owner drawing, in-place editing, a veto before the
// current cell moves, scroll synchronisation and row dragging.
#pragma once
#include <QAbstractScrollArea>
#include <QString>
#include <functional>
#include <vector>

#include "platform/ui/CustomGrid.h"

enum TGridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goRangeSelect = 1u << 4,
  goDrawFocusSelected = 1u << 5,
  goRowSizing = 1u << 6,
  goColSizing = 1u << 7,
  goRowMoving = 1u << 8,
  goColMoving = 1u << 9,
  goEditing = 1u << 10,
  goTabs = 1u << 11,
  goRowSelect = 1u << 12,
  goAlwaysShowEditor = 1u << 13,
  goThumbTracking = 1u << 14,
};
using TGridOptions = unsigned;

// State of a cell handed to owner drawing, combinable.
enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Contains(int c, int r) const { return c >= Left && c <= Right && r >= Top && r <= Bottom; }
  bool operator==(const TGridRect&) const = default;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TStringGrid : public TCustomGrid {
  Q_OBJECT
 public:
  explicit TStringGrid(QWidget* parent = nullptr);
  ~TStringGrid() override;

  // Size and sections.
  int ColCount() const { return cols_; }
  void SetColCount(int n);
  int RowCount() const { return rows_; }
  void SetRowCount(int n);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int n);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);
  int DefaultColWidth() const { return defColWidth_; }
  void SetDefaultColWidth(int w);  // every column takes it
  int DefaultRowHeight() const { return defRowHeight_; }
  void SetDefaultRowHeight(int h);  // every row takes it
  int ColWidths(int c) const { return colWidths_.at(c); }
  void SetColWidths(int c, int w);
  int RowHeights(int r) const { return rowHeights_.at(r); }
  void SetRowHeights(int r, int h);
  int GridLineWidth() const { return lineWidth_; }
  void SetGridLineWidth(int w);

  // Text of the cells; out-of-range reads give an empty text.
  QString Cells(int c, int r) const;
  void SetCells(int c, int r, const QString& text);
  void ClearRow(int r);  // every cell of the row emptied
  void ClearCells();
  // Moves a row to another place, the rows between shifting by one (no event).
  void MoveRow(int from, int to);

  // Current cell and selection. Moving the current cell asks OnSelectCell first.
  int Col() const { return col_; }
  void SetCol(int c);
  int Row() const { return row_; }
  void SetRow(int r);
  // Moves to (c, r) when OnSelectCell allows it; true when it moved or was already there.
  bool FocusCell(int c, int r);
  TGridRect Selection() const;
  void SetSelection(const TGridRect& s);

  // Scrolling, in whole cells.
  int TopRow() const { return topRow_; }
  void SetTopRow(int r);
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int c);
  int VisibleRowCount() const;
  int VisibleColCount() const;

  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions o);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool d) { defaultDrawing_ = d; Invalidate(); }

  // The in-place editor.
  void SetEditorMode(bool on);
  // Escape in the editor gives the cell back the text it had when the editor opened; otherwise
  // what was typed stays.
  bool RestoreOnEscape() const { return restoreOnEscape_; }
  void SetRestoreOnEscape(bool on) { restoreOnEscape_ = on; }

  // Rectangle of a cell in viewport coordinates; empty when the cell is scrolled out of view.
  QRect CellRect(int c, int r) const;
  // The cell under a point of the viewport; -1 outside the cells.
  void MouseToCell(int x, int y, int& c, int& r) const;
  void Invalidate() override;
  void InvalidateCell(int c, int r);
  // Every cell of a row in view (a window that paints the current row its own way).
  void InvalidateRow(int r);
  // Many cells set at once: no repaint until the matching EndUpdate, which repaints once.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  // Events; the sender comes first.
  std::function<void(TStringGrid*, int col, int row, bool& canSelect)> OnSelectCell;
  std::function<void(TStringGrid*, int col, int row, const QRect&, TGridDrawState)> OnDrawCell;
  std::function<void(TStringGrid*, int col, int row, const QString& value)> OnSetEditText;
  // Escape closed the editor and the cell got back the text it had when the editor opened
  // (only with RestoreOnEscape).
  std::function<void(TStringGrid*, int col, int row)> OnEditCancel;
  std::function<void(TStringGrid*, QChar& key)> OnKeyPress;
  std::function<void(TStringGrid*, int& key, Qt::KeyboardModifiers)> OnKeyDown;
  std::function<void(TStringGrid*, int& key, Qt::KeyboardModifiers)> OnKeyUp;
  std::function<void(TStringGrid*)> OnTopLeftChanged;
  std::function<void(TStringGrid*)> OnClick;
  std::function<void(TStringGrid*)> OnDblClick;
  std::function<void(TStringGrid*, int fromIndex, int toIndex)> OnRowMoved;
  std::function<void(TStringGrid*, Qt::KeyboardModifiers, int x, int y)> OnMouseMove;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void keyReleaseEvent(QKeyEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  int ColExtent(int c) const;
  int RowExtent(int r) const;
  int FixedWidth() const;
  int FixedHeight() const;
  int MaxTopRow() const;
  int MaxLeftCol() const;
  void UpdateScrollBars();
  void SetTopLeft(int left, int top);
  bool ScrollView(int oldLeft, int oldTop);
  void ScrollInView(int c, int r);
  void MoveCurrent(int c, int r, bool moveAnchor);
  bool Navigate(int key, Qt::KeyboardModifiers mods);  // true when the key was a move
  void ShowEditor(const QString* initial = nullptr);
  void HideEditor();
  QRect EditorCell() const override;
  void EditorTextEdited(const QString& text) override;
  bool HandleKey(QKeyEvent* e, bool fromEditor) override;
  void DrawCell(QPainter& p, int c, int r, const QRect& rect);
  void ResizeStorage(int cols, int rows);
  bool IsFixed(int c, int r) const { return c < fixedCols_ || r < fixedRows_; }

  int cols_ = 5, rows_ = 5, fixedCols_ = 1, fixedRows_ = 1;
  int defColWidth_ = 64, defRowHeight_ = 24, lineWidth_ = 1;
  std::vector<int> colWidths_, rowHeights_;
  std::vector<QString> cells_;  // row by row
  int col_ = 1, row_ = 1, anchorCol_ = 1, anchorRow_ = 1;
  int topRow_ = 1, leftCol_ = 1;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  bool defaultDrawing_ = true;
  QString editStartText_;  // the cell's text when the editor opened, for Escape
  bool restoreOnEscape_ = false;
  bool updatingScroll_ = false;
  int updateCount_ = 0;
  void InvalidateRange(const TGridRect& s);
  // Mouse gestures in progress.
  enum class Drag { None, Select, RowMove, ColSize } drag_ = Drag::None;
  int dragFrom_ = -1, dragTo_ = -1, sizeCol_ = -1, sizeStartX_ = 0, sizeStartW_ = 0;
  bool pressedInCell_ = false;
};
