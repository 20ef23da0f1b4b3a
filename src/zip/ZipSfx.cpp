// Self-extracting programs: a stub executable, a settings header for it, then the archive with
// its offsets moved behind them.
#include <QDir>
#include <QFileInfo>

#include <cstring>

#include "platform/sys/Drives.h"
#include "platform/zipengine/ZipBytes.h"
#include "zip/ZipArch.h"

namespace {

using ziprec::Get16;
using ziprec::Get32;
using ziprec::Put32;

constexpr uint32_t kIconImageSize = 744;
constexpr qint64 kIconFileSize = 766;

// The resource tree of the stub, every read checked against the section's bytes.
struct ResourceSearch {
  const QByteArray& image;
  qint64 rootFile;  // file offset of the resource directory
  qint64 sectionFileEnd;

  bool In(qint64 at, qint64 len) const { return at >= 0 && len >= 0 && at + len <= sectionFileEnd && at + len <= image.size(); }
  const unsigned char* At(qint64 at) const { return reinterpret_cast<const unsigned char*>(image.constData()) + at; }

  // Data address (RVA) of the icon slot, 0 when none.
  uint32_t SearchIconDir(qint64 dir, int level) const {
    if (level > 2 || !In(dir, 16)) return 0;
    const int count = Get16(At(dir + 12)) + Get16(At(dir + 14));
    for (int i = 0; i < count; ++i) {
      const qint64 e = dir + 16 + 8 * static_cast<qint64>(i);
      if (!In(e, 8)) return 0;
      if (const uint32_t r = SearchIconEntry(e, level)) return r;
    }
    return 0;
  }

  uint32_t SearchIconEntry(qint64 entry, int level) const {
    const uint32_t name = Get32(At(entry));
    const uint32_t off = Get32(At(entry + 4));
    if (name & 0x80000000u) return 0;
    if (level == 0 && name != 3) return 0;
    if (level == 1 && name != 1) return 0;
    if (off & 0x80000000u) return SearchIconDir(rootFile + (off & 0x7FFFFFFFu), level + 1);
    const qint64 data = rootFile + off;
    if (!In(data, 16)) return 0;
    return Get32(At(data + 4)) == kIconImageSize ? Get32(At(data)) : 0;
  }
};

}  // namespace

int TZipArchiver::WriteShiftedCentralDir(QFile& OutFile, const unsigned char EndRecord[22], qint64 Shift) {
  try {
    const int total = Get16(EndRecord + 10);
    for (int i = 0; i < total; ++i) {
      unsigned char h[46];
      if (InFileHandle.read(reinterpret_cast<char*>(h), 46) != 46) throw EZipArchiver::CreateFromId(11013, true);
      if (Get32(h) != 0x02014B50) throw EZipArchiver::CreateFromId(11015, true);
      Put32(h + 42, static_cast<uint32_t>(Get32(h + 42) + Shift));
      if (OutFile.write(reinterpret_cast<const char*>(h), 46) != 46) throw EZipArchiver::CreateFromId(11029, true);
      const qint64 rest = Get16(h + 28) + Get16(h + 30) + Get16(h + 32);
      const qint64 before = OutFile.pos();
      if (CopyBuffer(InFileHandle, OutFile, rest) != 0 || OutFile.pos() - before != rest)
        throw EZipArchiver::CreateFromId(11042, true);
    }
    unsigned char end[22];
    if (InFileHandle.read(reinterpret_cast<char*>(end), 22) != 22) throw EZipArchiver::CreateFromId(11043, true);
    std::memcpy(end, EndRecord, 22);
    Put32(end + 16, static_cast<uint32_t>(Get32(EndRecord + 16) + Shift));
    if (OutFile.write(reinterpret_cast<const char*>(end), 22) != 22) throw EZipArchiver::CreateFromId(11030, true);
    const qint64 commentLen = Get16(EndRecord + 20);
    const qint64 before = OutFile.pos();
    if (CopyBuffer(InFileHandle, OutFile, commentLen) != 0 || OutFile.pos() - before != commentLen)
      throw EZipArchiver::CreateFromId(11044, true);
  } catch (const EZipArchiver&) {
    return -2;
  }
  return 0;
}

int TZipArchiver::ReplaceStubIcon(QFile& OutFile, qint64 StubSize) {
  int result = -10;
  try {
    if (!OutFile.seek(0)) throw std::runtime_error("seek");
    const QByteArray image = OutFile.read(StubSize);
    auto u8 = [&](qint64 at) { return reinterpret_cast<const unsigned char*>(image.constData()) + at; };
    auto in = [&](qint64 at, qint64 len) { return at >= 0 && at + len <= image.size(); };
    if (in(0, 64) && image[0] == 'M' && image[1] == 'Z') {
      const qint64 pe = Get32(u8(60));
      if (in(pe, 248) && std::memcmp(u8(pe), "PE\0\0", 4) == 0) {
        const int sections = Get16(u8(pe + 6));
        const qint64 resRva = Get32(u8(pe + 24 + 96 + 16));
        for (int s = 0; s < sections; ++s) {
          const qint64 sec = pe + 248 + 40 * static_cast<qint64>(s);
          if (!in(sec, 40)) break;
          if (std::memcmp(u8(sec), ".rsrc\0\0\0", 8) != 0) continue;
          const qint64 va = Get32(u8(sec + 12));
          const qint64 rawSize = Get32(u8(sec + 16));
          const qint64 rawPtr = Get32(u8(sec + 20));
          if (resRva == 0 || resRva < va || resRva >= va + rawSize) break;
          ResourceSearch search{image, resRva - va + rawPtr, rawPtr + rawSize};
          const uint32_t dataRva = search.SearchIconDir(search.rootFile, 0);
          if (dataRva == 0) break;
          const qint64 fileOffset = static_cast<qint64>(dataRva) - va + rawPtr;
          if (!in(fileOffset, kIconImageSize)) break;
          if (FSFXIcon.size() != kIconFileSize) {
            result = -12;
            break;
          }
          if (!OutFile.seek(fileOffset) ||
              OutFile.write(FSFXIcon.constData() + 22, kIconImageSize) != kIconImageSize)
            throw std::runtime_error("write");
          result = 0;
          break;
        }
      }
    }
  } catch (...) {
    result = -11;
  }
  OutFile.seek(OutFile.size());
  return result;
}

int TZipArchiver::MakeSelfExtracting() {
  int result = -9;
  ShowProgress = false;
  if (!CreatingSFX && !QFileInfo::exists(FileOf(FZipFileName))) {
    ShowZipMessage(10102, QString());
    return result;
  }
  const QByteArray texts[4] = {SFXCaption.toLatin1(), SFXDefaultDir.toLatin1(), SFXCommandLine.toLatin1(),
                               SFXMessage.toLatin1()};
  int L = 12;
  bool tooLong = false;
  for (const QByteArray& t : texts) {
    L += t.size();
    tooLong = tooLong || t.size() > 255;
  }
  L = (L + 3) / 4 * 4;
  if (tooLong) {
    ShowZipMessage(10801, "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " + QString::number(L + 1));
    return result;
  }
  // The stub: as given, beside the program, here, or beside the libraries.
  QStringList candidates;
  candidates << SFXPath;
  if (SFXPath.startsWith('.')) candidates << PathConcat(ProgramFolder(), SFXPath);
  candidates << "SFXSTUB.BIN" << PathConcat(ProgramFolder(), "SFXSTUB.BIN");
  if (!FDLLDirectory.isEmpty()) candidates << FDLLDirectory + "/SFXSTUB.BIN";
  bool found = false;
  for (const QString& c : candidates) {
    SFXPath = c;
    if (QFileInfo(FileOf(c)).isFile()) {
      found = true;
      break;
    }
  }
  if (!found) {
    ShowZipMessage(10802, QString());
    return result;
  }
  QByteArray header(L + 1, '\0');
  StartWaitCursor();
  {
    unsigned char opts = 0;
    if (SFXOptions.Contains(SFXAskCmdLine)) opts |= 1;
    if (SFXOptions.Contains(SFXAskFiles)) opts |= 2;
    if (SFXOptions.Contains(SFXHideOverWriteBox)) opts |= 4;
    if (SFXOverWriteMode == OvrAlways) opts |= 8;
    if (SFXOverWriteMode == OvrNever) opts |= 16;
    if (!SFXOptions.Contains(SFXCheckSize)) opts |= 32;
    if (SFXOptions.Contains(SFXAutoRun)) opts |= 64;
    if (SFXOptions.Contains(SFXNoSuccessMsg)) opts |= 128;
    header[0] = 'M';
    header[1] = 'P';
    header[2] = 'V';
    header[3] = static_cast<char>(opts);
    header[4] = 0;
    header[5] = 1;
    header[6] = static_cast<char>(L & 0xFF);
    header[7] = static_cast<char>((L >> 8) & 0xFF);
    int at = 8;
    for (const QByteArray& t : texts) {
      header[at++] = static_cast<char>(t.size());
      std::memcpy(header.data() + at, t.constData(), static_cast<size_t>(t.size()));
      at += t.size();
    }
  }
  QString output;
  if (CreatingSFX) {
    output = FZipFileName;
  } else {
    const QFileInfo fi(FZipFileName);
    if (fi.suffix().toUpper() != "ZIP") {
      ShowZipMessage(10803, QString());
      StopWaitCursor();
      return result;
    }
    output = FZipFileName.left(FZipFileName.size() - fi.suffix().size()) + "exe";
  }
  if (QFileInfo::exists(FileOf(output))) EraseFile(output, HowToDelete);

  QFile out(FileOf(output));
  qint64 stubSize = -1, expected = -1, outSize = -1;
  result = 0;
  if (!out.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
    result = -1;
  } else {
    QFile stub(FileOf(SFXPath));
    if (!stub.open(QIODevice::ReadOnly)) {
      result = -3;
    } else {
      stubSize = stub.size();
      result = CopyBuffer(stub, out, -1);
      stub.close();
      if (result == 0 && out.size() != stubSize) result = -2;
      if (result == 0 && !FSFXIcon.isEmpty()) result = ReplaceStubIcon(out, stubSize);
    }
    if (result == 0 && out.write(header.constData(), L) != L) result = -2;
    if (result == 0) {
      if (CreatingSFX) {
        unsigned char end[22] = {0x50, 0x4B, 0x05, 0x06};
        Put32(end + 16, static_cast<uint32_t>(stubSize + L));
        if (out.write(reinterpret_cast<const char*>(end), 22) != 22) result = -2;
      } else {
        try {
          unsigned char end[22];
          InFileName = FZipFileName;
          OpenEndRecord(end, true);
          if (!InFileHandle.seek(0)) throw EZipArchiver::CreateFromId(11008, true);
          if (OffsetMismatch) {
            if (CopyBuffer(InFileHandle, out, -1) != 0) result = -2;
            expected = InFileHandle.size();
          } else {
            if (CopyBuffer(InFileHandle, out, Get32(end + 16)) != 0) result = -2;
            if (result == 0) result = WriteShiftedCentralDir(out, end, stubSize + L);
            expected = ArchiveSize;
          }
        } catch (...) {
          result = -3;
        }
        if (InFileHandle.isOpen()) InFileHandle.close();
      }
    }
    outSize = out.size();
    out.close();
  }
  if (!(CreatingSFX && result == 0)) {
    if (result == 0 && (stubSize == -1 || expected == -1 || outSize == -1 || outSize != stubSize + L + expected))
      result = -9;
    if (result == 0) {
      EraseFile(FZipFileName, HowToDelete);
      SetZipFileName(output);
    } else if (result != -1) {
      QFile::remove(FileOf(output));
    }
  }
  StopWaitCursor();
  return result;
}
