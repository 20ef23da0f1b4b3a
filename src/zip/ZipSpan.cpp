// Disk spanning: an archive copied record by record across removable disks (or numbered part
// files on a fixed drive), and such a set joined back into one archive.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "platform/sys/Drives.h"
#include "platform/ui/Cursor.h"
#include "platform/zipengine/ZipBytes.h"
#include "zip/ZipArch.h"

namespace {

using ziprec::Get16;
using ziprec::Get32;
using ziprec::Put16;
using ziprec::Put32;

constexpr uint32_t kSpanMarker = 0x08074B50;
constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;

QString Digits(int disk) { return QString::number(1001 + disk).right(3); }

bool FixedType(int t) { return t == dtFixed || t == dtRemote || t == dtCDRom; }

QString AppTitle() { return QApplication::applicationName(); }

// Name of part `disk` of a target: its name without extension, the three digits, its extension.
QString TargetPart(const QString& target, int disk) {
  const QFileInfo fi(target);
  const QString dir = target.contains('/') ? target.left(target.lastIndexOf('/') + 1) : QString();
  const QString ext = fi.suffix().isEmpty() ? QString() : "." + fi.suffix();
  return dir + fi.completeBaseName() + Digits(disk) + ext;
}

// Name of part `disk` of a set read from the last part's name: the three characters before the
// extension replaced by the wanted digits.
QString ReadPart(const QString& lastPart, int disk) {
  const QFileInfo fi(lastPart);
  const QString dir = lastPart.contains('/') ? lastPart.left(lastPart.lastIndexOf('/') + 1) : QString();
  const QString ext = fi.suffix().isEmpty() ? QString() : "." + fi.suffix();
  QString base = fi.completeBaseName();
  base.chop(std::min<qsizetype>(3, base.size()));
  return dir + base + Digits(disk) + ext;
}

}  // namespace

QString TZipArchiver::PartName(int Disk) const { return TargetPart(OutFileName, Disk); }

void TZipArchiver::CloseOut() {
  if (OutFileHandle.isOpen()) {
    OutFileHandle.flush();
    if (DateStamp.isValid()) OutFileHandle.setFileTime(DateStamp, QFileDevice::FileModificationTime);
    OutFileHandle.close();
  }
}

// ---- asking for disks ----

int TZipArchiver::AskForDisk(bool ForWrite) {
  ProcessMessages();
  const int type = GetDriveType(Drive);
  bool answerOk = true;
  for (;;) {
    bool need = NewDisk;
    if (!need && answerOk) need = !CheckDrive();
    if (!need) break;
    if (FixedType(type) && type != dtCDRom) {
      NewDisk = false;
      break;
    }
    if (Unattended) throw EZipArchiver::CreateFromId(11025, true);
    QString prompt;
    MsgDlgType icon = MsgDlgType::Information;
    if (CurrentDiskNumber < 0) {
      prompt = ZipStringTable(11033);
      icon = MsgDlgType::Error;
    } else if (!ForWrite) {
      prompt = QString::asprintf(ZipStringTable(11034).toUtf8().constData(),
                                 CurrentDiskNumber + 1, LastDiskNumber + 1);
    } else {
      qint64 size = DiskSize;
      if (MaxVolumeSize != 0 && MaxVolumeSize < size) size = MaxVolumeSize;
      LastDiskNumber = CurrentDiskNumber;
      if (size > 0) {
        const qint64 q = (ArchiveSize + 4 + KeepFreeOnDisk1) / size;
        if (q > LastDiskNumber) LastDiskNumber = static_cast<int>(q);
        prompt = QString::asprintf(ZipStringTable(11034).toUtf8().constData(),
                                   CurrentDiskNumber + 1, LastDiskNumber + 1);
      } else {
        prompt = QString::asprintf(LoadZipStr(11046, "Insérer le volume n°%.1d").toUtf8().constData(),
                                   CurrentDiskNumber + 1);
      }
    }
    prompt += QString::asprintf(ZipStringTable(11035).toUtf8().constData(), Drive.toUtf8().constData());
    if (OnGetNextDisk) {
      bool abortAction = false;
      OnGetNextDisk(this, CurrentDiskNumber + 1, LastDiskNumber + 1, Drive.left(1), abortAction);
      answerOk = !abortAction;
    } else {
      DiskPrompt(Drive);  // the operator changes the disk while the box is up
      answerOk = Dialogs().MessageBox(prompt, icon, mbOK | mbCancel, AppTitle()) == ModalResult::OK;
    }
    NewDisk = false;
    if (!answerOk) break;
  }
  if (!answerOk) throw EZipArchiver::CreateFromId(11007, false);
  return type;
}

bool TZipArchiver::CheckDiskLabel(int DriveType) {
  if (DriveType == dtFixed || DriveType == dtRemote || DriveType == dtCDRom) {
    InFileName = ReadPart(InFileName, CurrentDiskNumber);
    return true;
  }
  return VolumeLabel == "PKBACK# " + Digits(CurrentDiskNumber);
}

QFile& TZipArchiver::OpenDiskForRead(int N) {
  if (InFileHandle.isOpen()) InFileHandle.close();
  CurrentDiskNumber = N;
  for (;;) {
    int type;
    do {
      NewDisk = true;
      type = AskForDisk(false);
    } while (!CheckDiskLabel(type));
    InFileHandle.setFileName(FileOf(InFileName));
    if (InFileHandle.open(QIODevice::ReadOnly)) return InFileHandle;
    if (FixedType(type)) throw EZipArchiver::CreateFromId(11001, true);
    ShowZipMessage(11001, QString());
  }
}

// ---- copying ----

void TZipArchiver::CopyJoinData(char* Buffer, qint64 Length, int Ident) {
  while (Length > 0) {
    const qint64 want = std::min<qint64>(Length, 8192);
    qint64 got = InFileHandle.read(Buffer, want);
    if (got < 0) got = 0;
    if (got < want) {
      if (InFileHandle.pos() != InFileHandle.size()) throw EZipArchiver::CreateFromId(Ident, true);
      // A set has no disk after its last one.
      if (CurrentDiskNumber >= LastDiskNumber) throw EZipArchiver::CreateFromId(Ident, true);
      if (got > 0) WriteJoin(Buffer, got, Ident);
      Length -= got;
      OpenDiskForRead(CurrentDiskNumber + 1);
      continue;
    }
    WriteJoin(Buffer, got, Ident);
    Length -= got;
  }
}

void TZipArchiver::CopySplitData(char* Buffer, qint64 Length, int Ident) {
  while (Length > 0) {
    const qint64 want = std::min<qint64>(Length, 8192);
    if (InFileHandle.read(Buffer, want) != want) throw EZipArchiver::CreateFromId(Ident, true);
    WriteSplit(Buffer, want, 0);
    Length -= want;
  }
}

void TZipArchiver::WriteSplit(const char* Buffer, qint64 Length, qint64 MinSize) {
  for (;;) {
    ProcessMessages();
    if (Cancel) throw EZipArchiver::CreateFromId(11007, false);
    if (!OutFileHandle.isOpen()) {
      const int type = AskForDisk(true);
      QString outName = OutFileName;
      const bool fixed = FixedType(type);
      if (fixed) {
        outName = PartName(CurrentDiskNumber);
      } else if (AddOptions.Contains(AddDiskSpanErase) && (!OnGetNextDisk || LastDiskAnswer == zdaErase)) {
        VolumeLabel = "PKBACK# " + Digits(CurrentDiskNumber);
        const int r = ClearFloppy();
        if (r == -2) throw EZipArchiver::CreateFromId(11007, false);
        if (r == -1) throw EZipArchiver::CreateFromId(11007, true);
      }
      const QString path = FileOf(outName);
      if (QFileInfo::exists(path)) {
        if (Unattended) throw EZipArchiver::CreateFromId(11025, true);
        bool ok = false;
        int n = VolumeLabel.mid(8, 3).toInt(&ok);
        if (!ok) n = 1;
        TZipDiskStatus status;
        QString text;
        if (QFileInfo(path).lastModified() == DateStamp && n - 1 < CurrentDiskNumber) {
          text = QString::asprintf(ZipStringTable(11040).toUtf8().constData(), n);
          status << zdsPreviousDisk;
        } else {
          text = QString::asprintf(ZipStringTable(11039).toUtf8().constData(),
                                   outName.toUtf8().constData());
          status << zdsSameFileName;
        }
        status << (DiskSize != DiskFree ? zdsHasFiles : zdsEmpty);
        enum { Overwrite, Another, Stop } choice;
        if (OnStatusDisk) {
          LastDiskAnswer = zdaOk;
          OnStatusDisk(this, n, outName, status, LastDiskAnswer);
          choice = (LastDiskAnswer == zdaOk || LastDiskAnswer == zdaErase) ? Overwrite
                   : LastDiskAnswer == zdaReject                           ? Another
                                                                           : Stop;
        } else {
          const ModalResult r = Dialogs().MessageBox(text, MsgDlgType::Warning, mbYes | mbNo | mbCancel, "Confirm");
          choice = r == ModalResult::Yes ? Overwrite : r == ModalResult::No ? Another : Stop;
        }
        // On a fixed drive another disk is the same folder again: refusing ends the operation.
        if (choice == Stop || (choice == Another && fixed)) throw EZipArchiver::CreateFromId(11007, false);
        if (choice == Another) {
          BytesOnDisk = 0;
          NewDisk = true;
          continue;
        }
      }
      OutFileHandle.setFileName(path);
      if (!OutFileHandle.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw EZipArchiver::CreateFromId(11009, true);
      ReadDiskSpace(1);
      FreeOnDisk = DiskFree;
      if (MaxVolumeSize > 0 && MaxVolumeSize < FreeOnDisk) FreeOnDisk = MaxVolumeSize;
      if (CurrentDiskNumber == 0) FreeOnDisk -= KeepFreeOnDisk1;
      if (MinFreeVolumeSize > FreeOnDisk) {
        OutFileHandle.close();
        OutFileHandle.remove();
        // A fixed drive does not grow by asking again.
        if (fixed) throw EZipArchiver::CreateFromId(11032, true);
        if (Unattended) throw EZipArchiver::CreateFromId(11025, true);
        bool retry;
        if (OnStatusDisk) {
          bool ok = false;
          int n = VolumeLabel.mid(8, 3).toInt(&ok);
          if (!ok) n = 1;
          TZipDiskAction a = zdaOk;
          OnStatusDisk(this, n, outName, TZipDiskStatus{zdsNotEnoughSpace}, a);
          retry = a != zdaCancel;
        } else {
          DiskPrompt(Drive);
          retry = Dialogs().MessageBox(ZipStringTable(11032),
                                       MsgDlgType::Error, mbRetry | mbCancel, AppTitle()) == ModalResult::Retry;
        }
        if (!retry) throw EZipArchiver::CreateFromId(11007, false);
        BytesOnDisk = 0;
        NewDisk = true;
        continue;
      }
      if (!fixed) {
        VolumeLabel = "PKBACK# " + Digits(CurrentDiskNumber);
        if (!SetVolumeLabel(Drive, VolumeLabel)) throw EZipArchiver::CreateFromId(11005, true);
      }
    }
    if (MinSize > 0 && MinSize > FreeOnDisk) {
      // A block that does not fit on an empty disk never will.
      if (BytesOnDisk == 0) throw EZipArchiver::CreateFromId(11032, true);
      CloseOut();
      BytesOnDisk = 0;
      NewDisk = true;
      ++CurrentDiskNumber;
      continue;
    }
    const qint64 count = std::min<qint64>(Length, FreeOnDisk);
    if (ShowProgress && OnProgress) OnProgress(this, ProgressUpdate, QString(), count);
    if (count > 0 && OutFileHandle.write(Buffer, count) != count) throw EZipArchiver::CreateFromId(11010, true);
    BytesOnDisk += count;
    FreeOnDisk -= count;
    if (count == Length) return;
    CloseOut();
    FreeOnDisk = 0;
    BytesOnDisk = 0;
    ++CurrentDiskNumber;
    NewDisk = true;
    Buffer += count;
    Length -= count;
  }
}

// ---- splitting ----

// Called inside a handler: shows what ended a split or a join and gives the result code.
int TZipArchiver::ReportSpanFailure() {
  try {
    throw;
  } catch (const EZipArchiver& e) {
    ShowExceptionError(e);
    return -7;
  } catch (const std::bad_alloc&) {
    ShowZipMessage(10103, QString());
    return -8;
  } catch (const std::exception& e) {
    ShowZipMessage(11024, QString::fromUtf8(e.what()));
    return -9;
  }
}

int TZipArchiver::WriteSpan(const QString& InName, const QString& OutName) {
  int result = 0;
  FAddBusy = true;
  const QString target = ToDriveName(OutName);
  Drive = ExtractFileDrive(target);
  Drive = Drive.isEmpty() ? QString("/") : Drive + "/";
  CurrentDiskNumber = 0;
  FreeOnDisk = 0;
  BytesOnDisk = 0;
  NewDisk = true;
  InFileName = InName;
  OutFileName = target;
  if (OutFileHandle.isOpen()) OutFileHandle.close();
  ShowProgress = false;
  StartWaitCursor();
  try {
    if (!QFileInfo::exists(FileOf(InName))) throw EZipArchiver::CreateFromId(11001, true);
    unsigned char end[22];
    const QString savedLabel = VolumeLabel;
    VolumeLabel.clear();
    OpenEndRecord(end, true);
    VolumeLabel = savedLabel;
    DateStamp = QFileInfo(FileOf(InName)).lastModified();
    const int total = Get16(end + 10);
    const qint64 cdSize = Get32(end + 12);
    const qint64 cdStart = EndRecordOffset - cdSize;
    const qint64 bias = cdStart - static_cast<qint64>(Get32(end + 16));
    if (cdStart < 0 || !InFileHandle.seek(cdStart)) throw EZipArchiver::CreateFromId(11008, true);
    TMZipDataList list(total);

    // The central directory gives every entry's place and size; local headers may not.
    struct Src {
      int index;
      qint64 offset;
      uint32_t compressed;
      uint16_t flags;
    };
    std::vector<Src> order;
    for (int i = 0; i < total; ++i) {
      unsigned char h[46];
      if (InFileHandle.read(reinterpret_cast<char*>(h), 46) != 46) throw EZipArchiver::CreateFromId(11013, true);
      if (Get32(h) != kCentralSig) throw EZipArchiver::CreateFromId(11015, true);
      const qint64 skip = Get16(h + 28) + Get16(h + 30) + Get16(h + 32);
      if (!InFileHandle.seek(InFileHandle.pos() + skip)) throw EZipArchiver::CreateFromId(11008, true);
      SpanDataEntry& r = list.Items(i);
      r.SourceDisk = 0;
      r.SourceOffset = Get32(h + 42);
      r.ComprSize = Get32(h + 20);
      order.push_back({i, Get32(h + 42) + bias, Get32(h + 20), Get16(h + 8)});
    }
    std::stable_sort(order.begin(), order.end(), [](const Src& a, const Src& b) { return a.offset < b.offset; });

    const unsigned char marker[4] = {0x50, 0x4B, 0x07, 0x08};
    WriteSplit(reinterpret_cast<const char*>(marker), 4, 0);
    ShowProgress = true;
    if (OnProgress) {
      OnProgress(this, TotalFiles2Process, QString(), total);
      OnProgress(this, TotalSize2Process, QString(), ArchiveSize);
    }
    char buf[8192];
    for (const Src& s : order) {
      unsigned char h[30];
      if (!InFileHandle.seek(s.offset) || InFileHandle.read(reinterpret_cast<char*>(h), 30) != 30)
        throw EZipArchiver::CreateFromId(11012, true);
      if (Get32(h) != kLocalSig) throw EZipArchiver::CreateFromId(11014, true);
      const int nameLen = Get16(h + 26), extraLen = Get16(h + 28);
      const QByteArray name = InFileHandle.read(nameLen);
      if (name.size() != nameLen) throw EZipArchiver::CreateFromId(11016, true);
      SpanDataEntry& r = list.Items(s.index);
      r.FileNameLen = static_cast<uint16_t>(nameLen);
      std::memset(r.FileName, 0, sizeof(r.FileName));
      std::memcpy(r.FileName, name.constData(), static_cast<size_t>(std::min(nameLen, 255)));
      const QString shown = SetSlash(QString::fromUtf8(name));
      if (OnMessage) OnMessage(this, 0, ZipStringTable(10105) + shown);
      const bool descriptor = (s.flags & 8) != 0 || (Get16(h + 6) & 8) != 0;
      if (OnProgress)
        OnProgress(this, NewFile, shown, 30 + nameLen + extraLen + static_cast<qint64>(s.compressed) + (descriptor ? 16 : 0));
      WriteSplit(reinterpret_cast<const char*>(h), 30, 30 + nameLen + extraLen);
      r.DiskStart = static_cast<uint16_t>(CurrentDiskNumber);
      r.RelOffLocal = static_cast<uint32_t>(BytesOnDisk - 30);
      WriteSplit(name.constData(), nameLen, 0);
      CopySplitData(buf, extraLen, 11018);
      CopySplitData(buf, s.compressed, 11021);
      if (descriptor) {
        // With its signature the descriptor is 16 bytes, without it 12.
        unsigned char sig[4];
        const qint64 at = InFileHandle.pos();
        if (InFileHandle.read(reinterpret_cast<char*>(sig), 4) != 4) throw EZipArchiver::CreateFromId(11020, true);
        InFileHandle.seek(at);
        CopySplitData(buf, Get32(sig) == kSpanMarker ? 16 : 12, 11020);
      }
    }

    const QString cdName = LoadZipStr(11047, "Répertoire central");
    if (OnMessage) OnMessage(this, 0, ZipStringTable(10105) + cdName);
    if (OnProgress) OnProgress(this, NewFile, cdName, cdSize + 22 + Get16(end + 20));
    if (!InFileHandle.seek(cdStart)) throw EZipArchiver::CreateFromId(11008, true);
    int cdDisk = 0;
    qint64 cdOffset = 0;
    for (int i = 0; i < total; ++i) {
      unsigned char h[46];
      if (InFileHandle.read(reinterpret_cast<char*>(h), 46) != 46) throw EZipArchiver::CreateFromId(11013, true);
      if (Get32(h) != kCentralSig) throw EZipArchiver::CreateFromId(11015, true);
      const int nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
      const QByteArray name = InFileHandle.read(nameLen);
      if (name.size() != nameLen) throw EZipArchiver::CreateFromId(11017, true);
      const SpanDataEntry& r = list.Items(list.IndexOfSource(0, Get32(h + 42)));
      Put16(h + 34, r.DiskStart);
      Put32(h + 42, r.RelOffLocal);
      WriteSplit(reinterpret_cast<const char*>(h), 46, 46 + nameLen + extraLen + commentLen);
      if (i == 0) {
        cdDisk = CurrentDiskNumber;
        cdOffset = BytesOnDisk - 46;
      }
      WriteSplit(name.constData(), nameLen, 0);
      CopySplitData(buf, extraLen, 11019);
      CopySplitData(buf, commentLen, 11022);
    }
    if (total == 0) {
      cdDisk = CurrentDiskNumber;
      cdOffset = BytesOnDisk;
    }
    const int commentLen = Get16(end + 20);
    const int endDisk = (22 + commentLen > FreeOnDisk) ? CurrentDiskNumber + 1 : CurrentDiskNumber;
    if (total == 0 && endDisk != CurrentDiskNumber) {
      cdDisk = endDisk;
      cdOffset = 0;
    }
    Put16(end + 4, static_cast<uint32_t>(endDisk));
    Put16(end + 6, static_cast<uint32_t>(cdDisk));
    Put32(end + 16, static_cast<uint32_t>(cdOffset));
    WriteSplit(reinterpret_cast<const char*>(end), 22, 22 + commentLen);
    if (!InFileHandle.seek(EndRecordOffset + 22)) throw EZipArchiver::CreateFromId(11008, true);
    CopySplitData(buf, commentLen, 11023);
    ShowProgress = false;
  } catch (...) {
    result = ReportSpanFailure();
  }
  ShowProgress = false;
  if (OnProgress) OnProgress(this, EndOfBatch, QString(), 0);
  CloseOut();
  if (InFileHandle.isOpen()) InFileHandle.close();
  FAddBusy = false;
  StopWaitCursor();
  return result;
}

// ---- joining ----

int TZipArchiver::ReadSpan(const QString& InName, QString& OutPath) {
  int result = 0;
  FExtractBusy = true;
  const QString source = ToDriveName(InName);
  Drive = ExtractFileDrive(source);
  Drive = Drive.isEmpty() ? QString("/") : Drive + "/";
  CurrentDiskNumber = -1;
  NewDisk = false;
  ShowProgress = false;
  InFileName = source;
  if (InFileHandle.isOpen()) InFileHandle.close();
  StartWaitCursor();
  bool created = false;
  try {
    if (OutPath.isEmpty() || OutPath.endsWith('/') || QFileInfo(OutPath).isDir()) {
      OutPath = MakeTempFileName();
      if (OutPath.isEmpty()) throw EZipArchiver::CreateFromId(11027, true);
    } else {
      EraseFile(OutPath, HowToDelete);
      const QFileInfo fi(OutPath);
      OutPath = fi.path() + "/" + fi.completeBaseName() + ".zip";
    }
    OutFileHandle.setFileName(OutPath);
    if (!OutFileHandle.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw EZipArchiver::CreateFromId(11009, true);
    created = true;

    unsigned char end[22];
    int type;
    for (;;) {
      type = AskForDisk(false);
      NewDisk = true;
      if (OpenEndRecord(end, false)) break;
      if (FixedType(type)) {
        const QString base = QFileInfo(FileOf(InFileName)).completeBaseName();
        bool ok = false;
        const int n = base.right(3).toInt(&ok);
        if (ok && n == 1) throw EZipArchiver::CreateFromId(11037, true);
        throw EZipArchiver::CreateFromIdNumber(11038, ok ? n : 0);
      }
    }
    const QByteArray comment = ArchiveComment;
    DateStamp = QFileInfo(FileOf(InFileName)).lastModified();
    LastDiskNumber = Get16(end + 4);
    CurrentDiskNumber = LastDiskNumber;
    const int cdDisk = Get16(end + 6);
    const qint64 cdOffset = Get32(end + 16);
    if (cdDisk > LastDiskNumber) throw EZipArchiver::CreateFromId(11036, true);
    if (cdDisk != CurrentDiskNumber) OpenDiskForRead(cdDisk);
    if (!InFileHandle.seek(cdOffset)) throw EZipArchiver::CreateFromId(11008, true);
    const int total = Get16(end + 10);
    TMZipDataList list(total);

    auto readCentral = [&](unsigned char h[46]) {
      qint64 got = InFileHandle.read(reinterpret_cast<char*>(h), 46);
      while (got != 46) {
        if (got > 0 || CurrentDiskNumber >= LastDiskNumber || InFileHandle.pos() != InFileHandle.size())
          throw EZipArchiver::CreateFromId(11013, true);
        OpenDiskForRead(CurrentDiskNumber + 1);
        got = InFileHandle.read(reinterpret_cast<char*>(h), 46);
      }
      if (Get32(h) != kCentralSig) throw EZipArchiver::CreateFromId(11015, true);
    };

    qint64 byteTotal = 0;
    std::vector<uint16_t> flags(static_cast<size_t>(total));
    for (int i = 0; i < total; ++i) {
      unsigned char h[46];
      readCentral(h);
      const int nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
      const QByteArray name = InFileHandle.read(nameLen);
      if (name.size() != nameLen) throw EZipArchiver::CreateFromId(11017, true);
      SpanDataEntry& r = list.Items(i);
      r.FileNameLen = static_cast<uint16_t>(nameLen);
      std::memcpy(r.FileName, name.constData(), static_cast<size_t>(std::min(nameLen, 255)));
      r.ComprSize = Get32(h + 20);
      r.SourceDisk = Get16(h + 34);
      r.SourceOffset = Get32(h + 42);
      flags[static_cast<size_t>(i)] = Get16(h + 8);
      byteTotal += nameLen + static_cast<qint64>(r.ComprSize) + extraLen + commentLen;
      if (!InFileHandle.seek(InFileHandle.pos() + extraLen + commentLen)) throw EZipArchiver::CreateFromId(11008, true);
    }

    OpenDiskForRead(0);
    ShowProgress = true;
    if (OnProgress) {
      OnProgress(this, TotalFiles2Process, QString(), total);
      OnProgress(this, TotalSize2Process, QString(), byteTotal);
    }
    {
      unsigned char m[4];
      if (InFileHandle.read(reinterpret_cast<char*>(m), 4) != 4 || Get32(m) != kSpanMarker)
        throw EZipArchiver::CreateFromId(11031, true);
    }
    char buf[8192];
    std::vector<qint64> newOffset(static_cast<size_t>(total), 0);
    for (int k = 0; k < total; ++k) {
      // An entry that starts at the very end of a part starts on the next one.
      while (InFileHandle.pos() == InFileHandle.size() && CurrentDiskNumber < LastDiskNumber)
        OpenDiskForRead(CurrentDiskNumber + 1);
      const int disk = CurrentDiskNumber;
      const qint64 at = InFileHandle.pos();
      unsigned char h[30];
      if (InFileHandle.read(reinterpret_cast<char*>(h), 30) != 30) throw EZipArchiver::CreateFromId(11012, true);
      if (Get32(h) != kLocalSig) throw EZipArchiver::CreateFromId(11014, true);
      const int nameLen = Get16(h + 26), extraLen = Get16(h + 28);
      const QByteArray name = InFileHandle.read(nameLen);
      if (name.size() != nameLen) throw EZipArchiver::CreateFromId(11016, true);
      const int i = list.IndexOfSource(disk, at);
      const SpanDataEntry& r = list.Items(i);
      newOffset[static_cast<size_t>(i)] = OutFileHandle.pos();
      const QString shown = SetSlash(QString::fromUtf8(name));
      const bool descriptor = (flags[static_cast<size_t>(i)] & 8) != 0 || (Get16(h + 6) & 8) != 0;
      if (OnMessage) OnMessage(this, 0, ZipStringTable(10105) + shown);
      if (OnProgress)
        OnProgress(this, NewFile, shown, 30 + nameLen + extraLen + static_cast<qint64>(r.ComprSize) + (descriptor ? 16 : 0));
      WriteJoin(reinterpret_cast<const char*>(h), 30, 11028);
      WriteJoin(name.constData(), nameLen, 11028);
      CopyJoinData(buf, extraLen, 11018);
      CopyJoinData(buf, r.ComprSize, 11021);
      if (descriptor) {
        // The descriptor's own signature tells its length.
        CopyJoinData(buf, 4, 11020);
        const bool signed4 = Get32(reinterpret_cast<unsigned char*>(buf)) == kSpanMarker;
        CopyJoinData(buf, signed4 ? 12 : 8, 11020);
      }
    }
    ShowProgress = false;
    if (CurrentDiskNumber != cdDisk) OpenDiskForRead(cdDisk);
    if (!InFileHandle.seek(cdOffset)) throw EZipArchiver::CreateFromId(11008, true);
    const qint64 cdStart = OutFileHandle.pos();
    for (int i = 0; i < total; ++i) {
      unsigned char h[46];
      readCentral(h);
      const int nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
      Put16(h + 34, 0);
      Put32(h + 42, static_cast<uint32_t>(newOffset[static_cast<size_t>(i)]));
      WriteJoin(reinterpret_cast<const char*>(h), 46, 11029);
      CopyJoinData(buf, nameLen, 11029);
      CopyJoinData(buf, extraLen, 11019);
      CopyJoinData(buf, commentLen, 11022);
    }
    const qint64 cdSize = OutFileHandle.pos() - cdStart;
    Put16(end + 4, 0);
    Put16(end + 6, 0);
    Put16(end + 8, static_cast<uint32_t>(total));
    Put32(end + 12, static_cast<uint32_t>(cdSize));
    Put32(end + 16, static_cast<uint32_t>(cdStart));
    Put16(end + 20, static_cast<uint32_t>(comment.size()));
    WriteJoin(reinterpret_cast<const char*>(end), 22, 11030);
    WriteJoin(comment.constData(), comment.size(), 11023);
  } catch (...) {
    result = ReportSpanFailure();
  }
  ShowProgress = false;
  if (OnProgress) OnProgress(this, EndOfBatch, QString(), 0);
  if (InFileHandle.isOpen()) InFileHandle.close();
  if (OutFileHandle.isOpen()) {
    CloseOut();
    if (result != 0) {
      QFile::remove(OutPath);
      OutPath.clear();
    }
  } else if (result != 0 && created) {
    QFile::remove(OutPath);
    OutPath.clear();
  }
  FExtractBusy = false;
  StopWaitCursor();
  return result;
}

// ---- clearing a disk ----

int FormatFloppyDrive(void* Window, const QString& Drive) {
  // No formatting service here: the caller erases instead.
  return -3;
}

int TZipArchiver::ClearFloppy() {
  int result = -3;
  if (FormatErase) result = FormatFloppyDrive(Handle, Drive);
  if (result == -3) {
    if (Dialogs().MessageBox("Erase " + Drive, MsgDlgType::Warning, mbYes | mbNo, "Confirm") != ModalResult::Yes)
      return -2;
    EraseFloopy(Drive);
    result = 0;
  }
  if (result == 0) SetVolumeLabel(Drive, VolumeLabel.left(11));
  return result;
}

void TZipArchiver::EraseFloopy(const QString& Folder) {
  const QString root = FileOf(AppendSlash(Folder));
  if (root.isEmpty() || root == "/" || !QFileInfo(root).isDir()) return;  // never the whole file system
  QDir dir(root);
  for (const QFileInfo& fi : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
    if (fi.isDir() && !fi.isSymLink()) {
      EraseFloopy(fi.absoluteFilePath() + "/");
      TraceMessage("EraseFloopy - Removing " + fi.absoluteFilePath());
      ProcessMessages();
      QDir().rmdir(fi.absoluteFilePath());
    } else {
      TraceMessage("EraseFloopy - Deleting " + fi.absoluteFilePath());
      QFile::remove(fi.absoluteFilePath());
    }
  }
}
