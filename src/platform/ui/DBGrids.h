// The data grid: one row per record of a dataset, columns bound to fields. It reads only the
// rows in view from the dataset (never the whole table), follows the dataset's cursor, edits
// in place, selects whole rows (several at once, kept as bookmarks) and lets the window paint
// its cells.
#pragma once
#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/DataSource.h"
#include "platform/ui/Grids.h"

class QLineEdit;
class TDBGrid;

struct TColumn {
  QString FieldName;
  QString Title;  // the field's display label when empty
  int Width = 64;
  Qt::Alignment Alignment = Qt::AlignLeft;
  Qt::Alignment TitleAlignment = Qt::AlignLeft;
  bool ReadOnly = false;
  bool Visible = true;
  QColor Color;      // cell background; the grid's colour when invalid
  QColor FontColor;  // the grid's font colour when invalid
  bool Bold = false;
  QString DisplayFormat;  // number picture ("### ##0"); the field's own when empty
  // A looked-up column (read only): the LookupResultField of the LookupDataSet record whose
  // LookupKeyField equals this row's KeyField, as a lookup field shows it.
  TDataSet* LookupDataSet = nullptr;
  QString KeyField, LookupKeyField, LookupResultField;
  TField* Field() const;

 private:
  friend class TDBGrid;
  TDBGrid* grid_ = nullptr;
};

enum TDBGridOption : unsigned {
  dgEditing = 1u << 0,
  dgAlwaysShowEditor = 1u << 1,
  dgTitles = 1u << 2,
  dgIndicator = 1u << 3,
  dgColumnResize = 1u << 4,
  dgColLines = 1u << 5,
  dgRowLines = 1u << 6,
  dgTabs = 1u << 7,
  dgRowSelect = 1u << 8,
  dgAlwaysShowSelection = 1u << 9,
  dgConfirmDelete = 1u << 10,
  dgCancelOnExit = 1u << 11,
  dgMultiSelect = 1u << 12,
};
using TDBGridOptions = unsigned;

// The rows selected in a multi-select grid, as bookmarks, in the order they were selected.
class TBookmarkList {
 public:
  int Count() const { return int(items_.size()); }
  const TBookmark& operator[](int i) const { return items_.at(i); }
  bool CurrentRowSelected() const;
  void SetCurrentRowSelected(bool on);
  void Clear();
  // Drops the bookmarks of records that no longer exist.
  void Refresh();

 private:
  friend class TDBGrid;
  TDBGrid* grid_ = nullptr;
  std::vector<TBookmark> items_;
  std::vector<int> rows_;  // their record positions, 0-based, -1 when unknown
};

class TDBGrid : public TCustomGrid, public TSourceClient {
  Q_OBJECT
 public:
  explicit TDBGrid(QWidget* parent = nullptr);
  ~TDBGrid() override;

  TDataSource* DataSource() const { return Source(); }
  void SetDataSource(TDataSource* ds) { SetSource(ds); }

  // Columns; a grid without columns shows every visible field.
  TColumn& AddColumn(const QString& field, const QString& title = QString(), int width = 64);
  int ColumnCount() const { return int(columns_.size()); }
  TColumn& Columns(int i) { return columns_.at(i); }
  void ClearColumns();

  TDBGridOptions Options() const { return options_; }
  void SetOptions(TDBGridOptions o);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on) { readOnly_ = on; }
  // The titles' font; the grid's own font while none is set.
  void SetTitleFont(const QFont& f) { titleFont_ = f; hasTitleFont_ = true; Invalidate(); }
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int h);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool on) { defaultDrawing_ = on; }

  // The current column (index into the visible columns) and the in-place editor.
  int SelectedIndex() const { return selCol_; }
  void SetSelectedIndex(int i);
  void SetEditorMode(bool on);

  TBookmarkList& SelectedRows() { return selected_; }

  // Owner drawing: the default drawing of a cell with the canvas's colours, and what the row
  // being drawn holds.
  void DefaultDrawColumnCell(const QRect& rect, int dataCol, TColumn& column, TGridDrawState state);
  int DrawRecNo() const { return drawRecNo_; }  // 1-based record number of the row being drawn
  QVariant DrawFieldValue(const QString& field) const;

  // Geometry, in viewport coordinates: the visible row that shows record index rec (0-based).
  QRect CellRect(int dataCol, int rec) const;
  QRect TitleRect(int dataCol) const;
  int TopRecord() const { return top_; }
  // The text a cell shows (dataCol among the visible columns, rec the 0-based record row).
  QString DisplayText(int dataCol, int rec);
  int VisibleRows() const;
  int RowAt(int y) const;   // record index under y, -1 outside
  int ColumnAt(int x) const;
  void Invalidate() override;

  // Events.
  std::function<void(TDBGrid*, const QRect&, int dataCol, TColumn&, TGridDrawState)> OnDrawColumnCell;
  std::function<void(TDBGrid*)> OnDblClick;
  std::function<void(TDBGrid*, TColumn&)> OnTitleClick;
  std::function<void(TDBGrid*, TColumn&)> OnCellClick;
  std::function<void(TDBGrid*)> OnColEnter;
  std::function<void(TDBGrid*, QChar& key)> OnKeyPress;
  std::function<void(TDBGrid*, int& key, Qt::KeyboardModifiers)> OnKeyDown;
  std::function<void(TDBGrid*)> OnEnter;
  std::function<void(TDBGrid*)> OnExit;

  // Text of a field's value as the grid shows it (dates, money with two decimals, pictures).
  static QString FormatValue(const TField* field, const QVariant& v, const QString& picture = QString());

 protected:
  // Data source events.
  void ActiveChanged() override;
  void StateChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
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
  friend class TBookmarkList;
  struct VisibleColumn { TColumn* col; int x; };
  std::vector<TColumn*> ShownColumns();
  int IndicatorWidth() const;
  int TitleHeight() const;
  int RowExtent() const;
  int DisplayCount() const;  // stored rows, plus the one being inserted
  bool CanEdit(int dataCol);
  void Sync(bool reread);    // count, current position, scrolling, cached rows
  void EnsureVisible(int rec);
  void UpdateScrollBars();
  QList<QVariant> RowValues(int rec);  // values in field order of a display row
  QString CellText(int rec, TColumn& col);
  void MoveToRecord(int rec);
  bool HandleKey(QKeyEvent* e, bool fromEditor) override;
  void ShowEditor(const QString* initial = nullptr);
  void HideEditor();
  QRect EditorCell() const override;
  void EditorTextEdited(const QString& text) override;
  bool WriteEditor();  // false when the text could not be stored
  void RecomputeSelectionRows();
  bool RowSelected(int rec) const;
  void ClickSelect(int rec, Qt::KeyboardModifiers mods);

  std::vector<TColumn> columns_;
  std::vector<TColumn> autoColumns_;
  TDBGridOptions options_ = dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                            dgTabs | dgConfirmDelete | dgCancelOnExit;
  bool readOnly_ = false;
  bool defaultDrawing_ = true;
  QFont titleFont_;
  bool hasTitleFont_ = false;
  int rowHeight_ = 18;
  int top_ = 0;        // record index shown on the first row
  int cur_ = -1;       // current record index (display row)
  int count_ = 0;      // stored records
  int insertPos_ = -1; // display row of the record being inserted
  int hOffset_ = 0;    // horizontal scroll in pixels
  int selCol_ = 0;
  int cacheFirst_ = 0;
  std::vector<QList<QVariant>> cache_;
  std::map<const TColumn*, QHash<QString, QVariant>> lookups_;  // read again with the rows
  QString LookupText(int rec, TColumn& col);
  bool cacheValid_ = false;
  bool syncing_ = false;
  bool selectionBusy_ = false;
  int anchorRec_ = -1;
  TBookmarkList selected_;
  int drawRec_ = -1, drawRecNo_ = 0;
  bool writingEditor_ = false;
  bool editorPending_ = false;  // the editor's text could not be stored yet
  int sizeCol_ = -1, sizeStartX_ = 0, sizeStartW_ = 0;
  bool titlePressed_ = false;
  int titlePressCol_ = -1;
};
