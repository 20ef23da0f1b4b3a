#pragma once
#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QString>
#include <functional>

class QKeyEvent;

// Alt or Ctrl held: the key is a command, it types no character into a cell. AltGr, reported as
// Ctrl+Alt by some platforms and as the group switch by others, still types its own ("@", "€").
bool IsCommandChord(const QKeyEvent* e);

// The line edit a grid opens over its current cell; the grid filters its keys.
class TInplaceEdit : public QLineEdit {
 public:
  TInplaceEdit(QAbstractScrollArea* grid, std::function<void(const QString&)> edited);
  // The cell's text all selected, or the key that opened the editor.
  void Begin(const QFont& font, const QString& text, const QString* typed);
  void Reveal();
  // Hides the editor; true when it had the focus (which the grid then takes back).
  bool End();
  // Over the cell; hidden while the cell is out of view (an empty rectangle).
  void PlaceOver(const QRect& cell);
  // Left and right move the caret, leaving the cell only at the ends of its text; Home and End stay in it.
  bool MovesCaret(int key) const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};
