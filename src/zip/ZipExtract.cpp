// Extracting entries of an archive through the extract library.
#include <QDir>
#include <QFileInfo>

#include "zip/ZipArch.h"
#include "zip/ZipInternal.h"

using namespace ziprec;

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
