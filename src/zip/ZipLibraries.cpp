// Loading the two zip libraries at run time, and their versions.
#include <QFileInfo>

#include <dlfcn.h>

#include "zip/ZipArch.h"

using namespace ziprec;

namespace {

const char* const kZipLibName = "libziplib.so";
const char* const kUnzLibName = "libunzlib.so";

}  // namespace

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
