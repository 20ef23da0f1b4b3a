#include "shell/Settings.h"

#include "platform/sys/Clock.h"
#include "platform/sys/Formats.h"
#include "shell/global.h"

TZelmIni::TZelmIni() : TIniFile(AppPath + "ZELM.INI") {}
QString TZelmIni::Exer() const { return ReadString("PARAMS", "EXER", IntToStr(Date().year())); }
void TZelmIni::SetExer(int year) { WriteString("PARAMS", "EXER", IntToStr(year)); }
QString TZelmIni::Image() const { return ReadString("PARAMS", "IMAGE", ""); }
void TZelmIni::SetImage(const QString& name) { WriteString("PARAMS", "IMAGE", name); }
void TZelmIni::SetNoListe(int no) { WriteInteger(ZelmKey::NoListe.section, ZelmKey::NoListe.key, no); }
QString TZelmIni::State() const { return ReadString("WINDOW", "STATE", "1"); }
void TZelmIni::SetState(const QString& state) { WriteString("WINDOW", "STATE", state); }

TDjIni::TDjIni() : TIniFile(DataPath + "DJ.INI") {}
int TDjIni::LstPrint() const { return ReadInteger("PRINT", "LSTPRINT", 0); }
QString TDjIni::LstPrintText() const { return ReadString("PRINT", "LSTPRINT", ""); }
void TDjIni::SetLstPrint(const QString& index) { WriteString("PRINT", "LSTPRINT", index); }
QString TDjIni::Deb() const { return ReadString("PRINT", "DEB", ""); }
void TDjIni::SetDeb(const QString& text) { WriteString("PRINT", "DEB", text); }
QString TDjIni::Fin() const { return ReadString("PRINT", "FIN", ""); }
void TDjIni::SetFin(const QString& text) { WriteString("PRINT", "FIN", text); }
