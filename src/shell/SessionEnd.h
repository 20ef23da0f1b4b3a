// The end of the session from outside: SIGTERM (a shutdown), SIGHUP and SIGINT (the terminal or
// the session going away) and the desktop's logout run the main window's EndSession.
#pragma once

class TfrmMain;

// Catches the signals from now on; a signal that comes before the main window is given waits
// for it. The handler only writes a byte to a socket: the window's code runs from the event loop.
void CatchEndOfSession();
// The window that ends the session; nullptr while there is none.
void SetSessionWindow(TfrmMain* main);

// While one lives, the end of the session waits: a backup, a restore, a purge or a reindexing
// that processes messages as it goes runs to its end before its window and the program close
// (closing them under it would free what it is still using).
class TEndOfSessionHold {
 public:
  TEndOfSessionHold();
  ~TEndOfSessionHold();
  TEndOfSessionHold(const TEndOfSessionHold&) = delete;
  TEndOfSessionHold& operator=(const TEndOfSessionHold&) = delete;
};
bool EndOfSessionHeld();
