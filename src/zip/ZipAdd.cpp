// Adding files to an archive through the add library.
#include <QDir>
#include <QFileInfo>

#include "platform/sys/Drives.h"
#include "zip/ZipArch.h"
#include "zip/ZipInternal.h"

using namespace ziprec;

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
