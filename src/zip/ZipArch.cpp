#include "zip/ZipArch.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryFile>

#include <dlfcn.h>

#include <deque>
#include <map>
#include <set>
#include <string>

#include "platform/sys/Drives.h"
#include "platform/ui/Cursor.h"

using namespace ziprec;

const char* const kStoreSuffixExt[18] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh",  "arj", "taz",
                                         "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

namespace {

const char* const kZipLibName = "libziplib.so";
const char* const kUnzLibName = "libunzlib.so";

std::set<TZipArchiver*>& LiveComponents() {
  static std::set<TZipArchiver*> s;
  return s;
}

const std::map<int, QString>& Table() {
  static const std::map<int, QString> t = {
      {10101, "Erreur fatale dans ZipLib.DLL: exception d'arrêt"},
      {10102, "Erreur - Aucune archive ZIP n'a été spécifiée!"},
      {10103, "Mémoire insuffisante"},
      {10104, "Erreur - mots de passe différents\nMot de passe ignoré"},
      {10105, "Copie en cours: "},
      {10150, "Erreur - aucun mot de passe donné pour l'ajout de fichiers"},
      {10151, "Erreur - aucun mot de passe donné pour l'extraction de fichiers"},
      {10186, "CopyZippedFiles n'est pas mis en application pour un dossier enjambé de fermeture éclair."},
      {10201, "Erreur de positionnement lors de la lecture de l'archive ZIP"},
      {10202, "Erreur de type inconnu intervenue dans la méthode List()"},
      {10203, "Avertissement - La structure de l'archive est erronnée!"},
      {10204, "Avertissement - Symbols incorrects à la fin du fichier ZIP!"},
      {10301, "Erreur - aucun fichier à compresser!"},
      {10302, "Action sans surveillance impossible à accomplir sans mot de passe"},
      {10303, "Les fonctions de rafraîchissement (AddFreshen) et de mise à jour (AddUpdate) ne sont pas possibles sur une archive fragmentée"},
      {10401, "Erreur - Aucun fichier n'est sélectionné pour effacement"},
      {10402, "Des dossiers d'effacement des archives n'est pas mis en application pour un dossier enjambé de fermeture éclair."},
      {10501, "Erreur fatale dans UnzLib.DLL: exception d'arrêt"},
      {10502, "Avertissement - Extraction effectuée sans surveillance: il est possible que certains fichiers n'aient pas été extraits"},
      {10601, "ZIPLIB chargée"},
      {10602, "ZipLibExec : fonction introuvable dans ZIPLIB.DLL!"},
      {10603, "GetZipLibVersion : fonction introuvable dans ZIPLIB.DLL!"},
      {10604, "ZIPLIB.DLL : librairie introuvable!"},
      {10605, "A tenté de charger vieux ZipLib de "},
      {10701, "UNZLIB chargée!"},
      {10702, "UnzLibExec : fonction introuvable dans UNZLIB.DLL!"},
      {10703, "GetUnzLibVersion : fonction introuvable dans UNZLIB.DLL!"},
      {10704, "UNZLIB.DLL : librairie introuvable!"},
      {10705, "A tenté de charger vieux UnzLib de "},
      {10801, "Erreur - La taille totale des 3 propriétés de type texte dépasse 245 octets!"},
      {10802, "Erreur - SFXSTUB.BIN : exécutable introuvable!"},
      {10803, "Erreur: le fichier d'entrée n'a pas un format ZIP valide"},
      {10804, "SFX ne fonctionne pas soutenu"},
      {10901, "Erreur - aucun fichier d'extension .EXE n'a été spécifié"},
      {10902, "Erreur: le fichier d'entrée n'est pas un fichier exécutable .EXE"},
      {10903, "Erreur: Impossible de déterminer le type de l'archive SFX"},
      {11001, "Le fichier spécifié en entrée n'existe pas"},
      {11002, "Le fichier Zip n'a pas pu être ouvert"},
      {11003, "Lecteur non valide: %s"},
      {11004, "Lecteur non défini: %s"},
      {11005, "Le nom de volume n'a pas pu être attribué"},
      {11006, "Mémoire insuffisante pour afficher la boîte de dialogue (MsgBox)"},
      {11007, "Opération annulée par l'utilisateur"},
      {11008, "Erreur de positionnement dans le fichier d'entrée"},
      {11009, "Erreur de création du fichier de sortie"},
      {11010, "Erreur d'écriture sur le fichier de sortie"},
      {11011, "Erreur de lecture de la fin du répertoire central"},
      {11012, "Erreur de lecture d'un en-tête local"},
      {11013, "Erreur de lecture d'un en-tête central"},
      {11014, "La signature d'un en-tête local est erronnée"},
      {11015, "La signature d'un en-tête central est erronée"},
      {11016, "Erreur de lecture d'un nom de fichier local"},
      {11017, "Erreur de lecture d'un nom de fichier central"},
      {11018, "Erreur de lecture d'un champ local complémentaire"},
      {11019, "Erreur de lecture d'un champ central complémentaire"},
      {11020, "Erreur d'accés en lecture/écriture de la zone du descripteur de données"},
      {11021, "Erreur de lecture des données compressées"},
      {11022, "Erreur de lecture de commentaire de fichier"},
      {11023, "Erreur d'écriture de commentaire d'archive"},
      {11024, "Erreur inattendue dans les fonctions ReadSpan() ou WriteSpan()"},
      {11025, "L'écriture d'archive sans surveillance sur plusieurs disques n'est pas supportée"},
      {11026, "En-tête local introuvable dans la structure interne de l'archive"},
      {11027, "Le fichier temporaire n'a pu être créé"},
      {11028, "Erreur d'écriture d'un en-tête local"},
      {11029, "Erreur d'écriture de l'en-tête central"},
      {11030, "Erreur lors de l'écriture de la fin du répertoire central"},
      {11031, "Erreur de lecture de la signature locale étendue"},
      {11032, "Espace disque insuffisant sur le disque sélectionné"},
      {11033, "Insérer le dernier disque"},
      {11034, "Insérer le volume n°%.1d sur %.1d"},
      {11035, "\ndans le lecteur: %s"},
      {11036, "L'archive sélectionnée n'a pas un format ZIP correct"},
      {11037, "Ceci est le premier disque d'une sauvegarde,\ninsérer le dernier disque"},
      {11038, "Ceci est le %dème disque d'une sauvegarde,\ninsérer le dernier disque"},
      {11039, "Un fichier %s est déjà présent.\nEtes-vous sûr de vouloir écraser ce fichier"},
      {11040, "ATTENTION: Le disque actuellement inséré est le disque n°%d!!!\nEtes-vous sûr de vouloir écraser son contenu"},
      {11041, "Erreur - Les archives auto-extractibles (.exe) ne peuvent être fragmentées"},
      {11042, "Erreur de copie du nom de fichier de la structure CEH"},
      {11043, "Erreur de positionnement lors de l'omission de la structure EOC"},
      {11044, "Erreur de copie du commentaire de l'archive ZIP"},
      {11045, "Ceci est le premier fichier d'une sauvegarde,\nsélectionner le dernier fichier"},
      {11048, "Le Traverser de disque n'a pas soutenu"},
  };
  return t;
}

QString FormatNumber(const QString& fmt, int n) { return QString::asprintf(fmt.toUtf8().constData(), n); }
QString FormatText(const QString& fmt, const QString& s) {
  return QString::asprintf(fmt.toUtf8().constData(), s.toUtf8().constData());
}

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// The texts of a command record, alive for as long as the library's call.
class RecordTexts {
 public:
  const char* operator()(const QString& s) {
    texts_.push_back(Utf8(s));
    return texts_.back().c_str();
  }

 private:
  std::deque<std::string> texts_;
};

}  // namespace

QString ZipStringTable(int Ident) {
  auto it = Table().find(Ident);
  return it == Table().end() ? QString() : it->second;
}

QString MissingStringText(int Ident) {
  if (Ident == 10605 || Ident == 10705) return "Old Dll from ";
  if (Ident == 10804) return "SFX not supported";
  if (Ident == 11048) return "Span not supported";
  return QString("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %1").arg(Ident);
}

EZipArchiver EZipArchiver::CreateFromId(int Ident, bool Display) {
  QString t = ZipStringTable(Ident);
  if (t.isEmpty())
    t = QString("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %1").arg(Ident);
  return EZipArchiver(Ident, Display, t);
}

EZipArchiver EZipArchiver::CreateFromIdNumber(int Ident, int Number) {
  const QString t = ZipStringTable(Ident);
  return EZipArchiver(Ident, true, t.isEmpty() ? MissingStringText(Ident) : FormatNumber(t, Number));
}

EZipArchiver EZipArchiver::CreateFromIdText(int Ident, const QString& Text) {
  const QString t = ZipStringTable(Ident);
  return EZipArchiver(Ident, true, t.isEmpty() ? MissingStringText(Ident) : FormatText(t, Text));
}

// ---- TMZipDataList, TZipStream ----

TMZipDataList::TMZipDataList(int Count) {
  items_.reserve(Count > 0 ? Count : 0);
  for (int i = 0; i < Count; ++i) items_.push_back(new SpanDataEntry());
}

TMZipDataList::~TMZipDataList() {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) delete *it;
}

SpanDataEntry& TMZipDataList::Items(int Index) {
  if (Index < 0 || Index >= Count())
    throw Exception(QString::asprintf("Index (%d) outside range 1..%d", Index, Count() - 1));
  return *items_[Index];
}

int TMZipDataList::IndexOf(const QString& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (QString::fromUtf8(items_[i]->FileName).compare(Name, Qt::CaseInsensitive) == 0) return i;
  throw EZipArchiver::CreateFromId(11026, true);
}

int TMZipDataList::IndexOfSource(int Disk, int64_t Offset) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i]->SourceDisk == Disk && items_[i]->SourceOffset == Offset) return i;
  throw EZipArchiver::CreateFromId(11026, true);
}

bool TZipStream::SetSize(qint64 n) {
  if (n < 0 || n > (qint64(1) << 30)) return false;
  try {
    data_.resize(n);
  } catch (...) {
    return false;
  }
  return true;
}

void TZipStream::SetPointer(char* p, qint64 size) { data_ = QByteArray(p, size); }

// ---- path helpers ----

QString AppendSlash(const QString& Folder) {
  if (Folder.isEmpty() || Folder.endsWith('/')) return Folder;
  return Folder + "/";
}

QString SetSlash(const QString& Name) {
  QString s = Name;
  s.replace('\\', '/');
  return s;
}

QString PathConcat(const QString& Folder, const QString& Name) {
  QString f = Folder;
  if (!f.isEmpty() && !f.endsWith(':') && !Name.isEmpty()) {
    if (f.endsWith('/') && Name.startsWith('/')) f.chop(1);
    else if (!f.endsWith('/') && !Name.startsWith('/')) f += '/';
  }
  return f + Name;
}

QString BufferToName(const char* Buffer, int Length) {
  return QString::fromUtf8(Buffer, static_cast<int>(qstrnlen(Buffer, static_cast<uint>(Length))));
}

// ---- component ----

TZipArchiver::TZipArchiver(QObject* Owner) : QObject(Owner) {
  for (int e = assGIF; e <= assJAR; ++e) AddStoreSuffixes << static_cast<AddStoreSuffixEnum>(e);
  Handle = qApp;
  LiveComponents().insert(this);
}

TZipArchiver::~TZipArchiver() {
  UnloadZipLib();
  UnloadUnzLib();
  LiveComponents().erase(this);
}

QString TZipArchiver::ProgramFolder() {
  QString d = QCoreApplication::applicationDirPath();
  if (d.isEmpty()) d = QFileInfo("/proc/self/exe").canonicalPath();
  return d;
}

QString TZipArchiver::FileOf(const QString& name) const { return DrivePath(name); }

void TZipArchiver::SetZipFileName(const QString& Value) {
  FZipFileName = Value;
  List();
}

void TZipArchiver::SetDLLDirectory(const QString& Value) {
  if (Value == FDLLDirectory) return;
  QString v = Value;
  if (v.endsWith('/') || v.endsWith('\\')) v.chop(1);
  FDLLDirectory = v;
}

void TZipArchiver::SetMinZipLibVers(int Value) {
  if (Value >= 170) FMinZipLibVers = Value;
}

void TZipArchiver::SetMinUnzLibVers(int Value) {
  if (Value >= 170) FMinUnzLibVers = Value;
}

void TZipArchiver::SetPasswordReqCount(unsigned Value) { FPasswordReqCount = Value > 15 ? 15 : Value; }

// ---- libraries ----

int TZipArchiver::LoadLib(Library& lib, bool zip) {
  const QString file = zip ? kZipLibName : kUnzLibName;
  const int base = zip ? 10600 : 10700;
  QString path;
  if (!FDLLDirectory.isEmpty()) {
    path = PathConcat(FileOf(FDLLDirectory), "/" + file);
    if (!QFileInfo::exists(path)) {
      const QString local = PathConcat(ProgramFolder(), path);
      path = (FDLLDirectory.startsWith('.') && QFileInfo::exists(local)) ? local : QString();
      if (FDLLDirectory.startsWith('.') && path.isEmpty()) {
        const QString rel = PathConcat(PathConcat(ProgramFolder(), FDLLDirectory), file);
        if (QFileInfo::exists(rel)) path = rel;
      }
    }
  }
  if (path.isEmpty()) {
    // The program's own folder comes before the system's search.
    const QString own = PathConcat(ProgramFolder(), file);
    path = QFileInfo::exists(own) ? own : file;
  }
  try {
    lib.handle = dlopen(path.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
  } catch (...) {
    lib.handle = nullptr;
  }
  int version = 0;
  if (!lib.handle) {
    ShowZipMessage(base + 4, QString());
  } else {
    lib.path = path;
    lib.exec = dlsym(lib.handle, zip ? "ZipLibExec" : "UnzLibExec");
    lib.version = dlsym(lib.handle, zip ? "GetZipLibVersion" : "GetUnzLibVersion");
    if (Trace) ShowZipMessage(base + 1, " " + LibPath(lib, zip));
    if (!lib.exec) ShowZipMessage(base + 2, QString());
    if (!lib.version) ShowZipMessage(base + 3, QString());
    if (lib.exec && lib.version) version = reinterpret_cast<GetZipLibVersionFn>(lib.version)();
  }
  if (version == 0) {
    UnloadLib(lib);
    ShowZipMessage(base + 4, " unloaded");
  }
  return version;
}

void TZipArchiver::UnloadLib(Library& lib) {
  if (lib.handle) dlclose(lib.handle);
  lib = Library();
}

QString TZipArchiver::LibPath(Library& lib, bool zip) {
  if (!lib.handle) return QString();
  Dl_info info{};
  if (lib.exec && dladdr(lib.exec, &info) && info.dli_fname)
    return QFileInfo(QString::fromUtf8(info.dli_fname)).absoluteFilePath().left(4096);
  return lib.path.left(4096);
}

int TZipArchiver::LibVersion(Library& lib) {
  return lib.version ? reinterpret_cast<GetZipLibVersionFn>(lib.version)() : 0;
}

int TZipArchiver::LoadZipLib() { return LoadLib(FZipLib, true); }
int TZipArchiver::LoadUnzLib() { return LoadLib(FUnzLib, false); }
void TZipArchiver::UnloadZipLib() { UnloadLib(FZipLib); }
void TZipArchiver::UnloadUnzLib() { UnloadLib(FUnzLib); }

QString TZipArchiver::GetZipLibPath() {
  if (FZipLib.handle) return LibPath(FZipLib, true);
  const bool loaded = LoadZipLib() != 0;
  const QString p = LibPath(FZipLib, true);
  if (loaded) UnloadZipLib();
  return p;
}

QString TZipArchiver::GetUnzLibPath() {
  if (FUnzLib.handle) return LibPath(FUnzLib, false);
  const bool loaded = LoadUnzLib() != 0;
  const QString p = LibPath(FUnzLib, false);
  if (loaded) UnloadUnzLib();
  return p;
}

int TZipArchiver::LoadForOperation(Library& lib, bool zip, bool& loadedHere) {
  loadedHere = false;
  int version;
  if (!lib.handle) {
    version = LoadLib(lib, zip);
    loadedHere = version != 0;
  } else {
    version = LibVersion(lib);
  }
  const int minimum = zip ? FMinZipLibVers : FMinUnzLibVers;
  if (version != 0 && version < minimum) {
    ShowZipMessage(zip ? 10605 : 10705, LibPath(lib, zip));
    UnloadLib(lib);
    version = 0;
    loadedHere = false;
  }
  if (version == 0) return 0;
  if (Verbose && OnMessage)
    OnMessage(this, 0, QString(zip ? "Loaded ZipLib ver: " : "Loaded UnzLib ver: ") + QString::number(version) +
                           " from " + LibPath(lib, zip));
  return version;
}

// ---- reporting ----

QString TZipArchiver::LoadZipStr(int Ident, const QString& Default) {
  const QString t = ZipStringTable(Ident);
  return t.isEmpty() ? Default : t;
}

void TZipArchiver::ShowZipMessage(int Ident, const QString& Extra) {
  QString t = ZipStringTable(Ident);
  if (t.isEmpty()) t = MissingStringText(Ident);
  t += Extra;
  Message = t;
  ErrCode = Ident;
  if (!Unattended) Dialogs().MessageBox(t, MsgDlgType::Custom, mbOK);
  if (OnMessage) OnMessage(this, 0, t);
}

void TZipArchiver::TraceMessage(const QString& Text) {
  if (Trace && OnMessage) OnMessage(this, 0, Text);
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& E) {
  if (E.Display && !Unattended) Dialogs().MessageBox(E.Message(), MsgDlgType::Custom, mbOK);
  ErrCode = E.Ident;
  Message = E.Message();
  if (OnMessage) OnMessage(this, 0, E.Message());
}

void TZipArchiver::StartWaitCursor() {
  if (FWaitCount == 0) {
    FSavedCursor = static_cast<int>(ScreenCursor());
    SetScreenCursor(TCursor::crHourGlass);
  }
  ++FWaitCount;
}

void TZipArchiver::StopWaitCursor() {
  if (FWaitCount > 0) {
    --FWaitCount;
    if (FWaitCount == 0) SetScreenCursor(static_cast<TCursor>(FSavedCursor));
  }
}

QString TZipArchiver::MakeTempFileName(const QString& Prefix, const QString& Extension) {
  QString folder;
  if (!TempDir.isEmpty()) {
    TempDir = AppendSlash(TempDir);
    folder = FileOf(TempDir);
  } else {
    folder = AppendSlash(QDir::tempPath());
  }
  QTemporaryFile t(folder + Prefix + "XXXXXX.tmp");
  t.setAutoRemove(true);
  if (!t.open()) return QString();
  const QString name = t.fileName();
  t.close();
  t.remove();
  const QFileInfo fi(name);
  return fi.path() + "/" + fi.completeBaseName() + Extension;
}

int TZipArchiver::CopyBuffer(QFile& InFile, QFile& OutFile, qint64 Length) {
  char buf[8192];
  qint64 left = Length;
  while (Length < 0 || left > 0) {
    const qint64 want = Length < 0 ? qint64(sizeof(buf)) : std::min<qint64>(left, sizeof(buf));
    const qint64 got = InFile.read(buf, want);
    if (got <= 0) break;
    if (OutFile.write(buf, got) != got) return -2;
    ProcessMessages();
    if (ShowProgress && OnProgress) OnProgress(this, ProgressUpdate, QString(), got);
    if (Length >= 0) left -= got;
    if (got < want) break;
  }
  return 0;
}

void TZipArchiver::WriteJoin(const char* Buffer, qint64 Length, int Ident) {
  if (OutFileHandle.write(Buffer, Length) != Length) throw EZipArchiver::CreateFromId(Ident, true);
  if (ShowProgress && OnProgress) OnProgress(this, ProgressUpdate, QString(), Length);
}

// ---- callback ----

int32_t TZipArchiver::ZipCallbackFn(CallbackRecord* Rec) {
  if (!Rec) return 0;
  auto* self = static_cast<TZipArchiver*>(Rec->Caller);
  if (!LiveComponents().count(self)) return 0;
  return self->Callback(Rec);
}

int32_t TZipArchiver::Callback(CallbackRecord* Rec) {
  Rec->Text[sizeof(Rec->Text) - 1] = 0;
  QString text = QString::fromUtf8(Rec->Text, static_cast<int>(qstrnlen(Rec->Text, 511)));
  while (text.endsWith(' ')) text.chop(1);
  text = SetSlash(text);
  auto putText = [&](const QString& s) {
    const QByteArray b = s.toUtf8().left(511);
    std::memset(Rec->Text, 0, sizeof(Rec->Text));
    std::memcpy(Rec->Text, b.constData(), static_cast<size_t>(b.size()));
  };

  switch (Rec->ActionCode) {
    case cbNewFile:
      if (OnProgress) OnProgress(this, NewFile, text, Rec->Arg2);
      break;
    case cbProgress:
      if (OnProgress) OnProgress(this, ProgressUpdate, QString(), Rec->Arg2);
      break;
    case cbEndOfBatch:
      if (OnProgress) OnProgress(this, EndOfBatch, QString(), 0);
      break;
    case cbMessage:
      Message = text;
      if (Rec->Arg1 != 0) {
        ErrCode = Rec->Arg1 & 0xFF;
        FullErrCode = Rec->Arg1;
      }
      if (OnMessage) OnMessage(this, Rec->Arg1, text);
      break;
    case cbTotalFiles:
      if (OnProgress) OnProgress(this, TotalFiles2Process, QString(), Rec->Arg2);
      break;
    case cbTotalSize:
      if (OnProgress) OnProgress(this, TotalSize2Process, QString(), Rec->Arg2);
      break;
    case cbNewName:
      if (OnSetNewName) {
        QString name = text;
        bool changed = false;
        OnSetNewName(this, name, changed);
        if (changed) {
          putText(name);
          Rec->Arg1 = 1;
        } else {
          Rec->Arg1 = 0;
        }
      }
      break;
    case cbPassword: {
      QString newPassword;
      unsigned repeat = static_cast<unsigned>(Rec->Arg2 < 0 ? 0 : Rec->Arg2);
      TPasswordButton action = pwbOk;
      if (OnPasswordError) {
        OnPasswordError(this, Rec->IsOperationZip != 0, newPassword, text, repeat, action);
        if (action != pwbOk) newPassword.clear();
      } else {
        newPassword = (Rec->Arg1 & 1) ? GetAddPassword(action) : GetExtrPassword(action);
        if (action != pwbOk) newPassword.clear();
      }
      if (!newPassword.isEmpty()) {
        putText(newPassword.left(80));
        Rec->Arg1 = 1;
      } else {
        repeat = 0;
        Rec->Arg1 = 0;
      }
      Rec->Arg2 = repeat > 15 ? 15 : repeat;
      if (action == pwbCancelAll) Rec->ActionCode = 0;
      else if (action == pwbAbort) Cancel = true;
      break;
    }
    case cbCRCError: {
      bool doExtract = true;
      if (OnCRC32Error) {
        OnCRC32Error(this, text, static_cast<unsigned>(Rec->Arg1), static_cast<unsigned>(Rec->Arg2), doExtract);
        Rec->Arg1 = doExtract ? 1 : 0;
      } else {
        Rec->Arg1 = 2;
      }
      break;
    }
    case cbOverwrite:
      if (OnExtractOverwrite) {
        bool doOverwrite = (Rec->Arg2 & 0xFF) != 0;
        OnExtractOverwrite(this, text, (Rec->Arg1 & 0x10000) != 0, doOverwrite, Rec->Arg1 & 0xFFFF);
        Rec->Arg2 = doOverwrite ? 1 : 0;
      }
      break;
    case cbSkipped:
      if (Rec->Arg1 != 0) {
        ErrCode = Rec->Arg1 & 0xFF;
        FullErrCode = Rec->Arg1;
      }
      if (OnExtractSkipped)
        OnExtractSkipped(this, text, static_cast<UnZipSkipTypes>((Rec->Arg2 & 0xFF) - 1), Rec->Arg1);
      break;
    case cbFileComment:
      if (OnFileComment) {
        QString comment = QString::fromUtf8(Rec->Text + kCommentOffsetInText, 1).remove(QChar(0));
        bool changed = false;
        OnFileComment(this, text, comment, changed);
        if (changed && !comment.isEmpty()) putText(comment);
        else std::memset(Rec->Text, 0, sizeof(Rec->Text));
        Rec->Arg1 = changed ? 1 : 0;
        Rec->Arg2 = std::min<qsizetype>(comment.toUtf8().size(), 511);
      }
      break;
    case cbStreamSize:
      if (!ZipStream.SetSize(Rec->Arg2)) {
        Rec->Arg1 = 1;
        Rec->Arg2 = 0;
      } else {
        Rec->Arg2 = static_cast<int64_t>(reinterpret_cast<intptr_t>(ZipStream.Memory()));
      }
      break;
    default:
      break;
  }
  const int32_t result = Cancel ? -1 : 0;
  ProcessMessages();
  return result;
}

// ---- passwords ----

TPasswordDlg::TPasswordDlg(QWidget* Owner, TPasswordButtons Buttons_) : QDialog(Owner) {
  const int count = 1 + (Buttons_.Contains(pwbCancel) ? 1 : 0) + (Buttons_.Contains(pwbCancelAll) ? 1 : 0) +
                    (Buttons_.Contains(pwbAbort) ? 1 : 0);
  setFixedSize(count * 124 + 35, 137);
  QFont f("Arial");
  f.setPixelSize(12);
  f.setBold(true);
  setFont(f);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());

  Label1 = new QLabel(this);
  Label1->setGeometry(20, 8, 297, 18);
  Edit1 = new QLineEdit(this);
  Edit1->setGeometry(20, 40, count * 124 - 10, Edit1->sizeHint().height());
  Edit1->setEchoMode(QLineEdit::Password);
  Edit1->setMaxLength(80);

  struct Def {
    TPasswordButton b;
    int ident;
    QStyle::StandardPixmap icon;
    ModalResult result;
  };
  const Def defs[] = {{pwbOk, 10152, QStyle::SP_DialogOkButton, ModalResult::OK},
                      {pwbCancel, 10153, QStyle::SP_DialogCancelButton, ModalResult::Cancel},
                      {pwbCancelAll, 10157, QStyle::SP_DialogNoButton, ModalResult::No},
                      {pwbAbort, 10158, QStyle::SP_DialogAbortButton, ModalResult::Abort}};
  int pos = 0;
  for (const Def& d : defs) {
    if (d.b != pwbOk && !Buttons_.Contains(d.b)) continue;
    auto* btn = new QPushButton(this);
    btn->setGeometry(20 + 124 * pos, 72, 114, 28);
    btn->setText(ZipStringTable(d.ident));
    btn->setIcon(style()->standardIcon(d.icon));
    btn->setObjectName(d.b == pwbOk ? "btnOK" : d.b == pwbCancel ? "btnCancel" : d.b == pwbCancelAll ? "btnCancelAll" : "btnAbort");
    const ModalResult r = d.result;
    connect(btn, &QPushButton::clicked, this, [this, r] {
      SetModalResult(this, r);
      done(r == ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
    });
    if (d.b == pwbOk) btn->setDefault(true);
    Buttons.push_back(btn);
    ++pos;
  }
}

QString TPasswordDlg::ShowForm(const QString& Title, const QString& Prompt) {
  setWindowTitle(Title);
  Label1->setText(Prompt);
  Edit1->setFocus();
  result_ = Dialogs().RunModal(this);
  return result_ == ModalResult::OK ? Edit1->text() : QString();
}

TPasswordButton TZipArchiver::AskPassword(const QString& Title, const QString& Prompt, TPasswordButtons Buttons,
                                          QString& Result) {
  TPasswordDlg dlg(qobject_cast<QWidget*>(QApplication::activeWindow()), Buttons);
  Result = dlg.ShowForm(Title, Prompt);
  switch (dlg.LastResult()) {
    case ModalResult::OK: return pwbOk;
    case ModalResult::Cancel: return pwbCancel;
    case ModalResult::No: return pwbCancelAll;
    default: return pwbAbort;
  }
}

QString TZipArchiver::GetAddPassword(TPasswordButton& Response) {
  Response = pwbOk;
  if (Unattended) {
    ShowZipMessage(10150, QString());
    return QString();
  }
  const QString title = LoadZipStr(10154, MissingStringText(10154).section('\n', 0, 0));
  QString first, second;
  Response = AskPassword(title, LoadZipStr(10155, QString()), {pwbCancel}, first);
  if (Response != pwbOk || first.isEmpty()) return QString();
  Response = AskPassword(title, LoadZipStr(10156, QString()), {pwbCancel}, second);
  if (Response != pwbOk || second.isEmpty()) return QString();
  if (first != second) {
    ShowZipMessage(10104, QString());
    return QString();
  }
  return first;
}

QString TZipArchiver::GetExtrPassword(TPasswordButton& Response) {
  Response = pwbOk;
  if (Unattended) {
    ShowZipMessage(10151, QString());
    return QString();
  }
  const QString title = LoadZipStr(10154, MissingStringText(10154).section('\n', 0, 0));
  QString pw;
  Response = AskPassword(title, LoadZipStr(10155, QString()), {pwbCancel, pwbCancelAll}, pw);
  return pw;
}

// ---- Add ----

void TZipArchiver::Add() {
  SuccessCount = 0;
  if (FSpecArgs.isEmpty()) {
    ShowZipMessage(10301, QString());
    return;
  }
  if (FZipFileName.isEmpty()) {
    ShowZipMessage(10102, QString());
    return;
  }
  if (Unattended && AddOptions.Contains(AddEncrypt) && Password.isEmpty()) {
    ShowZipMessage(10302, QString());
    return;
  }
  const bool spanning = AddOptions.Contains(AddDiskSpan) || AddOptions.Contains(AddDiskSpanErase);
  QString target = FileOf(FZipFileName);
  QString spanTemp;
  if (spanning) {
    if (AddOptions.Contains(AddFreshen) || AddOptions.Contains(AddUpdate)) {
      ShowZipMessage(10303, QString());
      return;
    }
    if (QFileInfo(FZipFileName).suffix().toUpper() == "EXE") {
      ShowZipMessage(11041, QString());
      return;
    }
    spanTemp = MakeTempFileName();
    target = spanTemp;
    if (Verbose && OnMessage) OnMessage(this, 0, "Temporary zipfile: " + spanTemp);
  }
  if (FAddBusy) return;
  if (QFileInfo(FZipFileName).suffix().toUpper() == "EXE" && DataOffset == 0 &&
      !QFileInfo::exists(FileOf(FZipFileName))) {
    CreatingSFX = true;
    const int r = MakeSelfExtracting();
    CreatingSFX = false;
    if (r != 0) {
      ShowExceptionError(EZipArchiver::CreateFromIdNumber(10304, r));
      return;
    }
  }
  bool loadedHere = false;
  const int version = LoadForOperation(FZipLib, true, loadedHere);
  if (version == 0) return;

  FAddBusy = true;
  Cancel = false;
  RecordTexts text;
  try {
    ZipParms p{};
    FillRecordHead(p, version);
    p.PZipPassword = Password.isEmpty() ? nullptr : text(Password.left(81));
    QStringList suffixes;
    for (int e = assGIF; e <= assEXE; ++e)
      if (AddStoreSuffixes.Contains(static_cast<AddStoreSuffixEnum>(e))) suffixes << QString(".") + kStoreSuffixExt[e];
    p.PZipStoreSuffixes = suffixes.isEmpty() ? nullptr : text(suffixes.join(':'));
    p.fEncrypt = Flag(AddOptions.Contains(AddEncrypt));
    p.fSystem = Flag(AddOptions.Contains(AddHiddenFiles));
    p.fVolume = Flag(AddOptions.Contains(AddVolume));
    p.fNoDirEntries = Flag(!AddOptions.Contains(AddSeparateDirs));
    p.fDate = Flag(AddOptions.Contains(AddFromDate));
    p.fVerbose = Flag(Verbose || Trace);
    p.fQuiet = kTrue;
    p.fLevel = AddCompLevel;
    p.fJunkDir = Flag(!AddOptions.Contains(AddDirNames));
    p.fRecurse = AddOptions.Contains(AddRecurseDirs) ? 0xFFFF : 0;
    p.fForce = kTrue;
    p.fForceDOS = Flag(AddOptions.Contains(AddForceDOS));
    p.fMove = Flag(AddOptions.Contains(AddMove));
    p.fUpdate = Flag(AddOptions.Contains(AddUpdate));
    p.fFreshen = Flag(AddOptions.Contains(AddFreshen) && !AddOptions.Contains(AddUpdate));
    p.fLatestTime = Flag(AddOptions.Contains(AddZipTime));
    const QByteArray date = AddFrom.isValid()
                                ? QString::asprintf("%02d %02d %02d", AddFrom.month(), AddFrom.day(), AddFrom.year() % 100).toLatin1()
                                : QByteArray("00 00 00");
    std::memcpy(p.Date, date.constData(), 8);
    p.Argc = static_cast<int32_t>(FSpecArgs.size());
    p.PZipFN = text(target);
    p.PTempDir = TempDir.isEmpty() ? nullptr : text(FileOf(TempDir));
    p.PArchComment = ArchiveComment.isEmpty() ? nullptr : text(QString::fromLatin1(ArchiveComment));
    p.fArchiveFilesOnly = AddOptions.Contains(AddArchiveOnly) ? 1 : 0;
    p.fResetArchiveBit = AddOptions.Contains(AddResetArchive) ? 1 : 0;
    std::vector<AddFileSpec> specs(static_cast<size_t>(FSpecArgs.size()));
    const char* root = RootDir.isEmpty() ? nullptr : text(QFileInfo(FileOf(RootDir)).absoluteFilePath());
    for (int i = 0; i < FSpecArgs.size(); ++i) {
      QString line = FSpecArgs[i];
      AddFileSpec& s = specs[static_cast<size_t>(i)];
      s.Recurse = p.fRecurse;
      if (line.startsWith('>')) {
        s.Recurse = 0xFFFF;
        line.remove(0, 1);
      } else if (line.startsWith('|')) {
        s.Recurse = 0;
        line.remove(0, 1);
      }
      s.Encrypt = p.fEncrypt;
      s.Password = p.PZipPassword;
      const int lt = line.indexOf('<');
      if (lt >= 0) {
        const QString pw = line.mid(lt + 1);
        s.Encrypt = 0xFFFF;
        s.Password = pw.isEmpty() ? nullptr : text(pw);
        line = line.left(lt);
      }
      s.RootDir = root;
      s.FileSpec = text(FileOf(line));
    }
    p.FDs = specs.data();
    std::vector<const char*> excl;
    for (const QString& e : FSpecArgsExcl) excl.push_back(text(e));
    p.ExcludeCount = static_cast<int32_t>(excl.size());
    p.ExcludeSpecs = excl.empty() ? nullptr : excl.data();
    p.fHowToMove = Flag(HowToDelete == htdAllowUndo);
    p.WantedCodePage = CodePage == cpOEM ? 2 : 0;
    p.fSeven = 7;

    SuccessCount = reinterpret_cast<ZipLibExecFn>(FZipLib.exec)(&p);

    if (spanning) {
      if (SuccessCount > 0) {
        if (WriteSpan(spanTemp, FZipFileName) != 0) {
          SuccessCount = 0;
        } else {
          const int type = GetDriveType(Drive);
          if (type == dtFixed || type == dtRemote) {
            const QFileInfo fi(FZipFileName);
            const QString digits = QString::number(1001 + CurrentDiskNumber).right(3);
            FZipFileName = PathConcat(fi.path(), fi.completeBaseName() + digits + (fi.suffix().isEmpty() ? "" : "." + fi.suffix()));
          }
        }
        QFile::remove(spanTemp);
      }
    }
  } catch (const std::bad_alloc&) {
    ShowZipMessage(10101, QString());
  } catch (...) {
    ShowZipMessage(10101, QString());
  }
  FSpecArgs.clear();
  FSpecArgsExcl.clear();
  if (loadedHere) UnloadZipLib();
  Cancel = false;
  FAddBusy = false;
  if (SuccessCount > 0) List();
}

// ---- Extract ----

void TZipArchiver::Extract() {
  SuccessCount = 0;
  const unsigned rememberedCount = FPasswordReqCount;
  if (FZipFileName.isEmpty() || !QFileInfo::exists(FileOf(FZipFileName))) {
    ShowZipMessage(10102, QString());
    return;
  }
  if (FExtractBusy) return;
  bool unattendedNoPassword = false;
  if (Unattended && Password.isEmpty() && !OnPasswordError) {
    FPasswordReqCount = 0;
    unattendedNoPassword = true;
    ShowZipMessage(10502, QString());
  }
  Cancel = false;
  FExtractBusy = true;
  QString archive = FileOf(FZipFileName);
  const bool spanned = LastDiskNumber != 0;
  if (spanned) {
    QString folder = TempDir.isEmpty() ? AppendSlash(QDir::tempPath()) : FileOf(AppendSlash(TempDir));
    folder = folder.left(260);
    if (ReadSpan(FZipFileName, folder) != 0) {
      FExtractBusy = false;
      Cancel = false;
      return;
    }
    archive = folder;
  }
  bool loadedHere = false;
  const int version = LoadForOperation(FUnzLib, false, loadedHere);
  if (version == 0) {
    if (spanned) QFile::remove(archive);
    FExtractBusy = false;
    Cancel = false;
    return;
  }
  RecordTexts text;
  try {
    UnzipParms p{};
    FillRecordHead(p, version);
    p.PZipPassword = text(Password.left(255));
    p.fTest = Flag(ExtrOptions.Contains(ExtrTest));
    p.fQuiet = kTrue;
    p.fVerbose = Flag(Verbose || Trace);
    p.fUpdate = Flag(ExtrOptions.Contains(ExtrUpdate));
    p.fFreshen = Flag(ExtrOptions.Contains(ExtrFreshen) && !ExtrOptions.Contains(ExtrUpdate));
    p.fDirectories = Flag(ExtrOptions.Contains(ExtrDirNames));
    p.fOverwrite = Flag(ExtrOptions.Contains(ExtrOverWrite));
    std::vector<ExtractFileSpec> specs(static_cast<size_t>(FSpecArgs.size()));
    if (!FSpecArgs.isEmpty() && FSpecArgs.first() != "*.*") {
      for (int i = 0; i < FSpecArgs.size(); ++i) specs[static_cast<size_t>(i)].FileSpec = text(FSpecArgs[i]);
      p.Argc = static_cast<int32_t>(FSpecArgs.size());
    }
    p.PZipFN = text(archive);
    p.FSpecs = specs.empty() ? nullptr : specs.data();
    p.fPwdReqCount = static_cast<int32_t>(FPasswordReqCount);
    p.PExtractDir = ExtrBaseDir.isEmpty() ? nullptr : text(FileOf(ExtrBaseDir));
    p.fSeven = 7;
    SuccessCount = reinterpret_cast<UnzLibExecFn>(FUnzLib.exec)(&p);
  } catch (...) {
    ShowZipMessage(10501, QString());
  }
  if (spanned) QFile::remove(archive);
  FSpecArgs.clear();
  if (unattendedNoPassword) FPasswordReqCount = rememberedCount;
  if (loadedHere) UnloadUnzLib();
  Cancel = false;
  FExtractBusy = false;
}

// ---- deletion ----

int TZipArchiver::EraseFile(const QString& FileName, DeleteOpts How) {
  QString name = FileOf(FileName);
  if (!name.contains('/')) name = QDir::currentPath() + "/" + name;
  QFileInfo fi(name);
  if (!fi.exists() && !fi.isSymLink()) return -1;
  if (How == htdAllowUndo) {
    if (MoveToTrash(name)) return 0;
  }
  QFile f(name);
  return f.remove() ? 0 : (f.error() == QFileDevice::NoError ? 1 : static_cast<int>(f.error()));
}
