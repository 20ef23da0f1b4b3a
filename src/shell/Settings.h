// The program's two settings files, every key they hold and its default, in one place.
//   "ZELM.INI" in the program folder: PARAMS/EXER, PARAMS/IMAGE, PARAMS/NOLISTE, WINDOW/STATE
//   "DJ.INI" in the data folder:      PRINT/LSTPRINT, PRINT/DEB, PRINT/FIN
// Each object is the file itself: reads and writes go to disk at once, errors are the INI
// layer's (EIniFileException).
#pragma once
#include <QString>

#include "platform/sys/IniFiles.h"

class TZelmIni : public TIniFile {
 public:
  TZelmIni();  // AppPath + "ZELM.INI"
  // PARAMS/EXER: the working year as stored; default the current year.
  QString Exer() const;
  void SetExer(int year);
  // PARAMS/IMAGE: bare file name of the background picture, copied into the program folder;
  // default "" (the built-in tile).
  QString Image() const;
  void SetImage(const QString& name);
  // PARAMS/NOLISTE: the number of the list the lists window shows; default 1.
  int NoListe() const;
  void SetNoListe(int no);
  // WINDOW/STATE: "1" when the main window was maximised at close, else "0"; default "1".
  QString State() const;
  void SetState(const QString& state);
};

class TDjIni : public TIniFile {
 public:
  TDjIni();  // DataPath + "DJ.INI"
  // PRINT/LSTPRINT: index of the last report chosen; default 0. As text (default "") to tell
  // what is stored from what is not.
  int LstPrint() const;
  QString LstPrintText() const;
  void SetLstPrint(const QString& index);
  // PRINT/DEB and PRINT/FIN: the period's texts; default "".
  QString Deb() const;
  void SetDeb(const QString& text);
  QString Fin() const;
  void SetFin(const QString& text);
};
