// Listing of the archive's central directory, read by the component itself, and the drive checks.
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/sys/Drives.h"
#include "platform/zipengine/ZipBytes.h"
#include "zip/ZipArch.h"

namespace {

using ziprec::Get16;
using ziprec::Get32;

uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

// A position read from the archive, or -1 when no file can have it.
qint64 Position(uint64_t v) { return v > uint64_t(INT64_MAX / 2) ? -1 : static_cast<qint64>(v); }

// Code page 850 (the DOS code page of Western Europe), characters 128 to 255.
const char16_t kCP850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

}  // namespace

QString TZipArchiver::ConvertOEM(const QString& Name, bool ToOEM) const {
  const bool applies = (CodePage == cpAuto && HostSystem == 0) || HostSystem == 6 ||
                       (HostSystem == 11 && HostVersion == 50) || CodePage == cpOEM;
  if (!applies) return Name;
  QString out;
  out.reserve(Name.size());
  for (QChar c : Name) {
    if (!ToOEM) {
      out += c.unicode() >= 128 && c.unicode() < 256 ? QChar(kCP850[c.unicode() - 128]) : c;
    } else if (c.unicode() < 128) {
      out += c;
    } else {
      QChar o = c;
      for (int i = 0; i < 128; ++i)
        if (kCP850[i] == c.unicode()) {
          o = QChar(static_cast<char16_t>(128 + i));
          break;
        }
      out += o;
    }
  }
  return out;
}

QString TZipArchiver::DecodeName(const QByteArray& raw, uint16_t flags) const {
  if (flags & 0x0800) return QString::fromUtf8(raw);  // the archive says UTF-8
  const QString asCodes = QString::fromLatin1(raw);
  const QString converted = ConvertOEM(asCodes, false);
  if (converted != asCodes) return converted;
  // Names from Unix hosts are UTF-8 without saying so.
  const QString utf8 = QString::fromUtf8(raw);
  return utf8.contains(QChar::ReplacementCharacter) ? asCodes : utf8;
}

void TZipArchiver::ReadDiskSpace(int What) {
  qint64 freeBytes = -1, total = -1;
  if (!GetDiskFreeSpace(Drive, freeBytes, total)) freeBytes = total = -1;
  if (What & 1) DiskFree = freeBytes;
  if (What & 2) DiskSize = total;
}

bool TZipArchiver::CheckDrive() {
  DiskSize = DiskFree = -1;
  VolumeLabel.clear();
  const QString d = Drive.toUpper();
  if (!d.isEmpty() && d[0] != '/' && d[0] != '\\') {
    const QChar c = d[0];
    if (c < 'A' || c > 'Z') throw EZipArchiver::CreateFromIdText(11003, Drive);
    if (!(LogicalDrives() & (1u << (c.unicode() - 'A')))) throw EZipArchiver::CreateFromIdText(11004, Drive);
  }
  QString label;
  quint32 serial = 0;
  int error = 0;
  if (GetVolumeInformation(Drive, label, serial, error)) {
    VolumeLabel = label;
    VolumeSerial = serial;
    ReadDiskSpace(3);
    if (!d.isEmpty() && d[0] != '/' && d[0] != '\\' && DiskSize == -1) return false;
    return true;
  }
  return error == kErrGeneralFailure && AddOptions.Contains(AddDiskSpanErase);
}

bool TZipArchiver::OpenEndRecord(unsigned char EndRecord[22], bool ShowErrors) {
  EndRecordOffset = 0;
  if (InFileHandle.isOpen()) InFileHandle.close();
  InFileHandle.setFileName(FileOf(InFileName));
  if (!InFileHandle.open(QIODevice::ReadOnly)) {
    if (ShowErrors) throw EZipArchiver::CreateFromId(11001, true);
    ShowZipMessage(11002, QString());
    return false;
  }
  int diskFromLabel = 0;
  if (VolumeLabel.startsWith("PKBACK# ")) {
    bool ok = false;
    diskFromLabel = VolumeLabel.mid(8, 3).toInt(&ok);
    if (!ok) diskFromLabel = 0;
  }
  bool split = false;
  {
    unsigned char sig[8];
    if (InFileHandle.read(reinterpret_cast<char*>(sig), 8) == 8 && Get32(sig) == 0x08074B50 &&
        Get32(sig + 4) == 0x04034B50) {
      Spanned = true;
      split = true;
    }
  }
  FileSize = InFileHandle.size();
  ArchiveSize = FileSize;
  ZipDataEnd = FileSize;
  if (FileSize >= 22 && InFileHandle.seek(FileSize - 22) &&
      InFileHandle.read(reinterpret_cast<char*>(EndRecord), 22) == 22 && Get32(EndRecord) == 0x06054B50 &&
      Get16(EndRecord + 20) == 0) {
    EndRecordOffset = FileSize - 22;
    return true;
  }
  try {
    const qint64 n = std::min<qint64>(FileSize, 65557);
    if (!InFileHandle.seek(FileSize - n)) throw EZipArchiver::CreateFromId(11008, true);
    QByteArray buf = InFileHandle.read(n);
    if (buf.size() != n) throw EZipArchiver::CreateFromId(11011, true);
    const auto* b = reinterpret_cast<const unsigned char*>(buf.constData());
    for (qint64 i = n - 22; i >= 0; --i) {
      if (b[i] != 'P' || b[i + 1] != 'K' || b[i + 2] != 5 || b[i + 3] != 6) continue;
      EndRecordOffset = FileSize - n + i;
      std::memcpy(EndRecord, b + i, 22);
      const qint64 commentLen = Get16(EndRecord + 20);
      const qint64 available = std::min<qint64>(commentLen, n - i - 22);  // never past what was read
      const qint64 end = EndRecordOffset + 22 + commentLen;
      if (end != FileSize) {
        ZipDataEnd = std::min(end, FileSize);
        bool warn = true;
        if (end < FileSize && FileSize - end < 512 && FileSize % 512 == 0) {
          warn = false;
          for (qint64 k = i + 22 + commentLen; k < n; ++k)
            if (b[k] != 0) {
              warn = true;
              break;
            }
        }
        if (warn) ShowZipMessage(10204, QString());
      }
      ArchiveComment = available > 0 ? QByteArray(buf.constData() + i + 22, static_cast<int>(available)) : QByteArray();
      return true;
    }
  } catch (const EZipArchiver&) {
    if (ShowErrors) throw;
    return false;
  }
  if (!ShowErrors) return false;
  if (!split && diskFromLabel != 0) throw EZipArchiver::CreateFromIdNumber(11038, diskFromLabel);
  if (split && diskFromLabel == 1) throw EZipArchiver::CreateFromId(11037, true);
  if (split) throw EZipArchiver::CreateFromId(11045, true);
  throw EZipArchiver::CreateFromId(11036, true);
}

void TZipArchiver::List() {
  ClearDirEntries();
  DataOffset = 0;
  CentralDirOffset = 0;
  FileSize = 0;
  ArchiveComment.clear();
  Spanned = false;
  OffsetMismatch = false;
  FEndCdOffset = 0;
  if (FZipFileName.isEmpty() || !QFileInfo::exists(FileOf(FZipFileName))) {
    if (OnDirUpdate) OnDirUpdate(this);
    return;
  }
  StartWaitCursor();
  bool failed = false;
  unsigned char end[22] = {};
  try {
    ListGuarded(end);
  } catch (const EZipArchiver& e) {
    ShowExceptionError(e);
    failed = true;
  } catch (const std::bad_alloc&) {
    ShowZipMessage(10103, QString());
    failed = true;
  } catch (const std::exception& e) {
    ShowZipMessage(10202, QString::fromUtf8(e.what()));
    failed = true;
  }
  StopWaitCursor();
  if (InFileHandle.isOpen()) InFileHandle.close();
  if (failed) {
    FZipFileName.clear();
    DataOffset = 0;
  } else {
    const qint64 recorded = Position(FEndCdOffset);
    if (recorded >= 0) DataOffset += CentralDirOffset - recorded;
  }
  if (OnDirUpdate) OnDirUpdate(this);
}

TZipArchiver::EndFields TZipArchiver::ReadEndFields(const unsigned char EndRecord[22]) {
  EndFields f;
  f.disk = Get16(EndRecord + 4);
  f.cdDisk = Get16(EndRecord + 6);
  f.total = Get16(EndRecord + 10);
  f.cdSize = Get32(EndRecord + 12);
  f.cdOffset = Get32(EndRecord + 16);
  f.cdEnd = EndRecordOffset;
  // Archives over 4 GB or 65,535 entries (and some writers always) add a zip64 end record, then
  // its locator, right before the plain end record.
  unsigned char loc[20];
  if (EndRecordOffset < 20 || !InFileHandle.seek(EndRecordOffset - 20) ||
      InFileHandle.read(reinterpret_cast<char*>(loc), 20) != 20 || Get32(loc) != 0x07064B50)
    return f;
  const qint64 locator = EndRecordOffset - 20;
  unsigned char r[56];
  qint64 at = -1;
  // Where the locator says; or, when bytes in front of the archive (a program) moved everything,
  // right before the locator.
  for (const qint64 cand : {Position(Get64(loc + 8)), locator - 56}) {
    if (at >= 0 || cand < 0 || cand + 56 > locator) continue;
    if (InFileHandle.seek(cand) && InFileHandle.read(reinterpret_cast<char*>(r), 56) == 56 &&
        Get32(r) == 0x06064B50 && Get64(r + 4) == uint64_t(locator - cand - 12))
      at = cand;
  }
  const bool full = f.disk == 0xFFFF || f.cdDisk == 0xFFFF || f.total == 0xFFFF || f.cdSize == 0xFFFFFFFFu ||
                    f.cdOffset == 0xFFFFFFFFu;
  if (at < 0) {
    if (full) throw EZipArchiver::CreateFromId(11036, true);
    return f;  // a stray locator; the plain record says all
  }
  const auto disk = [](uint32_t v) { return static_cast<int>(std::min<uint32_t>(v, 0xFFFF)); };
  if (f.disk == 0xFFFF) f.disk = disk(Get32(r + 16));
  if (f.cdDisk == 0xFFFF) f.cdDisk = disk(Get32(r + 20));
  if (f.total == 0xFFFF) f.total = Get64(r + 32);
  if (f.cdSize == 0xFFFFFFFFu) f.cdSize = Get64(r + 40);
  if (f.cdOffset == 0xFFFFFFFFu) f.cdOffset = Get64(r + 48);
  f.cdEnd = at;
  return f;
}

namespace {

// The zip64 extra field (tag 1) holds, in this order, each of the sizes, the offset and the disk
// whose plain field is full.
void ReadZip64Extra(const QByteArray& extra, ZipDirEntry& e) {
  const auto* x = reinterpret_cast<const unsigned char*>(extra.constData());
  const int n = extra.size();
  for (int at = 0; at + 4 <= n;) {
    const int id = Get16(x + at), len = Get16(x + at + 2);
    if (at + 4 + len > n) return;
    if (id == 0x0001) {
      int p = at + 4;
      const int end = p + len;
      auto take = [&](uint64_t& v) {
        if (p + 8 <= end) v = Get64(x + p), p += 8;
      };
      if (e.UncompressedSize == 0xFFFFFFFFu) take(e.UncompressedSize64);
      if (e.CompressedSize == 0xFFFFFFFFu) take(e.CompressedSize64);
      if (e.RelOffLocalHdr == 0xFFFFFFFFu) take(e.RelOffLocalHdr64);
      return;
    }
    at += 4 + len;
  }
}

}  // namespace

void TZipArchiver::ListGuarded(unsigned char end[22]) {
  InFileName = ToDriveName(FZipFileName);  // follows disk changes in the drive
  Drive = ExtractFileDrive(FZipFileName);
  Drive = Drive.isEmpty() ? QString("/") : Drive + "/";
  if (!CheckDrive()) throw EZipArchiver::CreateFromIdText(11004, Drive);
  OpenEndRecord(end, true);
  const EndFields f = ReadEndFields(end);
  LastDiskNumber = f.disk;
  CurrentDiskNumber = LastDiskNumber;
  if (LastDiskNumber != 0) Spanned = true;
  FEndCdOffset = f.cdOffset;
  qint64 start;
  QFile* in = &InFileHandle;
  if (f.cdDisk == f.disk) {
    start = f.cdSize > uint64_t(f.cdEnd) ? -1 : f.cdEnd - static_cast<qint64>(f.cdSize);
  } else {
    in = &OpenDiskForRead(f.cdDisk);
    FileSize = in->size();
    start = Position(f.cdOffset);
  }
  CentralDirOffset = start;
  DataOffset = ZipDataEnd == 22 ? 0 : ZipDataEnd;
  OffsetMismatch = start >= 0 && uint64_t(start) != f.cdOffset;
  if (OffsetMismatch) ShowZipMessage(10203, QString());
  if (start < 0 || !in->seek(start)) throw EZipArchiver::CreateFromId(10201, true);

  for (uint64_t seq = 1; seq <= f.total; ++seq) {
    unsigned char h[46];
    qint64 got = in->read(reinterpret_cast<char*>(h), 46);
    while (got != 46) {
      if (CurrentDiskNumber >= LastDiskNumber) throw EZipArchiver::CreateFromId(11013, true);
      in = &OpenDiskForRead(CurrentDiskNumber + 1);
      got = in->read(reinterpret_cast<char*>(h), 46);
    }
    if (Get32(h) != 0x02014B50) throw EZipArchiver::CreateFromId(11015, true);
    const int nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    const QByteArray rawName = in->read(nameLen);
    if (rawName.size() != nameLen) throw EZipArchiver::CreateFromId(11017, true);
    HostVersion = h[4];
    HostSystem = h[5];
    ZipDirEntry e;
    e.MadeByVersion = h[4];
    e.HostSystem = h[5];
    e.VersionNeeded = Get16(h + 6);
    e.Flag = Get16(h + 8);
    e.CompressionMethod = Get16(h + 10);
    e.DateTime = Get32(h + 12);
    e.CRC32 = Get32(h + 16);
    e.CompressedSize = Get32(h + 20);
    e.UncompressedSize = Get32(h + 24);
    e.FileNameLength = static_cast<uint16_t>(nameLen);
    e.ExtraFieldLength = static_cast<uint16_t>(extraLen);
    e.FileCommentLen = static_cast<uint16_t>(commentLen);
    e.StartOnDisk = Get16(h + 34);
    e.IntFileAttrib = Get16(h + 36);
    e.ExtFileAttrib = Get32(h + 38);
    e.RelOffLocalHdr = Get32(h + 42);
    e.UncompressedSize64 = e.UncompressedSize;
    e.CompressedSize64 = e.CompressedSize;
    e.RelOffLocalHdr64 = e.RelOffLocalHdr;
    e.FileName = SetSlash(DecodeName(rawName, e.Flag));
    e.Encrypted = (e.Flag & 1) != 0;
    if (extraLen > 0) {
      QByteArray extra = in->read(extraLen);
      if (extra.size() != extraLen) throw EZipArchiver::CreateFromId(10201, true);
      ReadZip64Extra(extra, e);
      extra.append('\0');
      e.ExtraData = extra;
    }
    if (commentLen > 0) {
      const QByteArray c = in->read(commentLen);
      if (c.size() != commentLen) throw EZipArchiver::CreateFromId(11022, true);
      e.FileComment = DecodeName(c, e.Flag);
    }
    const int slash = e.FileName.lastIndexOf('/');
    const int colon = e.FileName.lastIndexOf(':');
    const bool hasFile = std::max(slash, colon) < e.FileName.size() - 1;
    const qint64 local = Position(e.RelOffLocalHdr64);
    if (local >= 0) DataOffset = std::min(DataOffset, local);
    if (UseDirOnlyEntries || hasFile) {
      DirEntries.push_back(e);
      if (OnNewName) OnNewName(this, static_cast<int>(std::min<uint64_t>(seq, INT_MAX)), DirEntries.back());
    }
  }
  LastDiskNumber = f.disk;
}
