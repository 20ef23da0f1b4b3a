// Keys held with Alt in the program's text boxes.
#pragma once

class QCoreApplication;

// From then on, a key held with Alt types nothing in any text box (line and numeric edits, combo
// boxes, memos, spin and date boxes): the box gets the key without its character, and what the
// box does not use goes on to its window (and the accelerators that did not answer it still do
// not). Installing it again changes nothing.
void InstallTextBoxKeyRule(QCoreApplication* app);
