// The program's two settings files, every key they hold and its default, in one place.
//   "ZELM.INI" in the program folder: PARAMS/EXER, PARAMS/IMAGE, WINDOW/STATE and the whole numbers
//                                     of ZelmKey (PARAMS/NOLISTE)
//   "DJ.INI" in the data folder:      PRINT/LSTPRINT, PRINT/DEB, PRINT/FIN
// Each object is the file itself: reads and writes go to disk at once, errors are the INI
// layer's (EIniFileException).
#pragma once
#include <QString>

#include "platform/sys/IniFiles.h"

// A whole-number key with its default, for a setting read as it is stored: a new one is a line
// below, read where it is used as TZelmIni().Read(ZelmKey::Name).
struct TIntKey {
  const char* section;
  const char* key;
  int def;  // also when the stored text is not a whole number
};

namespace ZelmKey {
inline constexpr TIntKey NoListe{"PARAMS", "NOLISTE", 1};
}  // namespace ZelmKey

class TZelmIni : public TIniFile {
 public:
  TZelmIni();  // AppPath + "ZELM.INI"
  int Read(const TIntKey& k) const { return ReadInteger(k.section, k.key, k.def); }
  // PARAMS/EXER: the working year as stored; default the current year.
  QString Exer() const;
  void SetExer(int year);
  // PARAMS/IMAGE: bare file name of the background picture, copied into the program folder;
  // default "" (the built-in tile).
  QString Image() const;
  void SetImage(const QString& name);
  // PARAMS/NOLISTE: the number of the list the lists window shows.
  int NoListe() const { return Read(ZelmKey::NoListe); }
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
