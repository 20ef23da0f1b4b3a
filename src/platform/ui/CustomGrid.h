// What the string grid and the data grid share: the colours they paint with, the canvas handed to
// owner drawing, and the line edit opened over the current cell.
#pragma once
#include <QAbstractScrollArea>
#include <QColor>
#include <QString>

#include "platform/ui/Canvas.h"
#include "platform/ui/InplaceEdit.h"

class QKeyEvent;

class TCustomGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  QColor Color() const { return color_; }
  void SetColor(const QColor& c) { color_ = c; Invalidate(); }
  QColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(const QColor& c) { fixedColor_ = c; Invalidate(); }
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& c) { fontColor_ = c; Invalidate(); }
  TCanvas* Canvas() { return &canvas_; }

  bool EditorMode() const { return editorOpen_; }
  QLineEdit* InplaceEditor() const { return editor_; }

  virtual void Invalidate() = 0;

 protected:
  explicit TCustomGrid(QWidget* parent);

  // Opens the editor over the current cell on its text (all selected), or on the key that opened it.
  void OpenEditor(const QString& text, const QString* typed);
  // Hides the editor, the grid taking back the focus it had; false when it was not open.
  bool CloseEditor();
  void PlaceEditor();
  // Where the editor stands; empty while its cell is out of view.
  virtual QRect EditorCell() const = 0;
  virtual void EditorTextEdited(const QString& text) = 0;
  // One key press, from the grid or from its editor; true when consumed.
  virtual bool HandleKey(QKeyEvent* e, bool fromEditor) = 0;
  // The character a key press types into a cell (13, 27 and 8 for Enter, Escape and Backspace);
  // null for a key that types none, a command held with Alt or Ctrl among them.
  static QChar TypedChar(const QKeyEvent* e);

  void keyPressEvent(QKeyEvent*) override;
  void scrollContentsBy(int, int) override {}

  QColor color_, fixedColor_, fontColor_;
  TCanvas canvas_;
  TInplaceEdit* editor_ = nullptr;
  bool editorOpen_ = false;
};
