// Runs the code of one user event so that no exception leaves it: the silent abort ends it
// quietly, any other failure is shown in the error box, as the application's handler does.
#pragma once
#include <QChar>
#include <functional>

class QKeyEvent;
class QWidget;

void GuardEvent(const std::function<void()>& body);

// The character a key press hands to key-press handlers: 13 for Enter, 27 for Escape, 8 for
// Backspace, else the one character it types; null when it types none (arrows, F-keys).
QChar KeyPressChar(const QKeyEvent* e);
// Hands a key press to a control's key-press handler (Enter, Escape and Backspace as their
// characters); true when the handler swallowed the key.
bool FireKeyPress(QWidget* w, QKeyEvent* e, const std::function<void(QWidget*, QChar&)>& handler);
