// Archives with zip64 records everywhere, written byte by byte: the data of an entry may end in
// a hole of zeros, so an archive over 4 GB costs a few kilobytes of disk.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>
#include <zlib.h>

namespace zip64 {

struct Entry {
  QByteArray name;
  QByteArray data;        // stored as is
  int64_t holeMiB = 0;    // that many MiB of zeros after the data, left as a hole in the file
  uint64_t declared = 0;  // a size to claim instead of the real one (0: the real one)
};

inline void Put(QByteArray& b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b += char((v >> (8 * i)) & 0xFF);
}

// Writes prefix + the archive; the offsets inside count from the end of the prefix, as when a
// program is put in front of an archive without moving them. False when the file cannot be written.
inline bool Write(const QString& path, const std::vector<Entry>& entries, const QByteArray& prefix = {}) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(prefix) != prefix.size()) return false;
  const int64_t base = prefix.size();
  static const QByteArray zeros(1 << 20, '\0');
  const uLong zeroCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(zeros.size()));
  QByteArray cd;
  for (const Entry& e : entries) {
    const uint64_t real = uint64_t(e.data.size()) + (uint64_t(e.holeMiB) << 20);
    const uint64_t size = e.declared ? e.declared : real;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size()));
    for (int64_t k = 0; k < e.holeMiB; ++k) crc = crc32_combine64(crc, zeroCrc, zeros.size());
    const uint64_t offset = uint64_t(f.pos() - base);
    QByteArray h;
    Put(h, 0x04034B50, 4); Put(h, 45, 2); Put(h, 0x0800, 2); Put(h, 0, 2); Put(h, 0x5A210000, 4);
    Put(h, crc, 4); Put(h, 0xFFFFFFFF, 4); Put(h, 0xFFFFFFFF, 4); Put(h, e.name.size(), 2); Put(h, 20, 2);
    h += e.name;
    Put(h, 1, 2); Put(h, 16, 2); Put(h, size, 8); Put(h, real, 8);
    if (f.write(h) != h.size() || f.write(e.data) != e.data.size()) return false;
    if (e.holeMiB && !f.seek(f.pos() + (e.holeMiB << 20))) return false;
    Put(cd, 0x02014B50, 4); Put(cd, 0x031E, 2); Put(cd, 45, 2); Put(cd, 0x0800, 2); Put(cd, 0, 2);
    Put(cd, 0x5A210000, 4); Put(cd, crc, 4); Put(cd, 0xFFFFFFFF, 4); Put(cd, 0xFFFFFFFF, 4);
    Put(cd, e.name.size(), 2); Put(cd, 28, 2); Put(cd, 0, 2); Put(cd, 0, 2); Put(cd, 0, 2);
    Put(cd, uint64_t(0100644) << 16, 4); Put(cd, 0xFFFFFFFF, 4);
    cd += e.name;
    Put(cd, 1, 2); Put(cd, 24, 2); Put(cd, size, 8); Put(cd, real, 8); Put(cd, offset, 8);
  }
  const uint64_t cdOffset = uint64_t(f.pos() - base);
  QByteArray end = cd;
  const uint64_t z64 = cdOffset + uint64_t(cd.size());
  Put(end, 0x06064B50, 4); Put(end, 44, 8); Put(end, 45, 2); Put(end, 45, 2); Put(end, 0, 4); Put(end, 0, 4);
  Put(end, entries.size(), 8); Put(end, entries.size(), 8); Put(end, cd.size(), 8); Put(end, cdOffset, 8);
  Put(end, 0x07064B50, 4); Put(end, 0, 4); Put(end, z64, 8); Put(end, 1, 4);
  Put(end, 0x06054B50, 4); Put(end, 0, 2); Put(end, 0, 2); Put(end, 0xFFFF, 2); Put(end, 0xFFFF, 2);
  Put(end, 0xFFFFFFFF, 4); Put(end, 0xFFFFFFFF, 4); Put(end, 0, 2);
  return f.write(end) == end.size() && f.flush();
}

}  // namespace zip64
