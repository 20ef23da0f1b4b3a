// Where each entry of an archive lies in the file, read from the central directory and the local
// headers themselves (libzip keeps this to itself): enough to refuse entries that share or overlap
// their data (zip bombs) and to check WinZip AES entries by their authentication code.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/zipengine/ZipBytes.h"

namespace ziprec {

struct RawEntry {
  std::string name;  // as stored
  uint16_t flags = 0;
  uint16_t method = 0;
  uint64_t compSize = 0;
  uint64_t size = 0;
  int64_t local = 0;       // local header, where it really is in this file
  int64_t data = -1;       // first byte of the data; -1 when the local header cannot be read
  int aesVersion = 0;      // WinZip AES: 1 or 2 (2: no CRC stored); 0 otherwise
  int aesStrength = 0;     // 1, 2, 3: keys of 128, 192, 256 bits
};

struct RawLayout {
  std::vector<RawEntry> entries;  // in the central directory's order
  int64_t cdStart = 0;
  int64_t cdEnd = 0;  // the end records follow
};

inline uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

inline bool ReadAt(int fd, int64_t at, size_t n, std::vector<unsigned char>& buf) {
  buf.resize(n);
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd, buf.data() + done, n - done, at + static_cast<int64_t>(done));
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

// False when the directory cannot be read; libzip then says what is wrong with it.
inline bool ReadRawLayout(int fd, RawLayout& out) {
  struct stat st{};
  if (::fstat(fd, &st) != 0 || st.st_size < 22) return false;
  const int64_t size = st.st_size;
  const int64_t tailSize = std::min<int64_t>(size, 65557);
  std::vector<unsigned char> tail;
  if (!ReadAt(fd, size - tailSize, static_cast<size_t>(tailSize), tail)) return false;
  int64_t eocd = -1;
  for (int64_t i = tailSize - 22; i >= 0 && eocd < 0; --i)
    if (Get32(&tail[i]) == 0x06054B50 && i + 22 + Get16(&tail[i + 20]) <= tailSize) eocd = i;
  if (eocd < 0) return false;
  const unsigned char* e = &tail[eocd];
  eocd += size - tailSize;
  uint64_t count = Get16(e + 10);
  uint64_t cdSize = Get32(e + 12);
  uint64_t cdOffset = Get32(e + 16);
  int64_t cdEnd = eocd;
  std::vector<unsigned char> b;
  if (eocd >= 20 && ReadAt(fd, eocd - 20, 20, b) && Get32(b.data()) == 0x07064B50) {
    const auto recorded = static_cast<int64_t>(Get64(&b[8]));
    int64_t at = -1;
    for (int64_t cand : {recorded, eocd - 20 - 56})
      if (at < 0 && cand >= 0 && cand + 56 <= eocd && ReadAt(fd, cand, 56, b) && Get32(b.data()) == 0x06064B50)
        at = cand;
    if (at < 0) return false;
    count = Get64(&b[32]);
    cdSize = Get64(&b[40]);
    cdOffset = Get64(&b[48]);
    cdEnd = at;
  }
  if (cdSize > static_cast<uint64_t>(cdEnd) || cdSize > (512u << 20)) return false;
  out.cdStart = cdEnd - static_cast<int64_t>(cdSize);
  out.cdEnd = cdEnd;
  // Bytes in front of the archive (a program) shift every offset alike.
  const int64_t bias = out.cdStart - static_cast<int64_t>(cdOffset);
  std::vector<unsigned char> cd;
  if (!ReadAt(fd, out.cdStart, static_cast<size_t>(cdSize), cd)) return false;
  size_t at = 0;
  for (uint64_t k = 0; k < count; ++k) {
    if (at + 46 > cd.size() || Get32(&cd[at]) != 0x02014B50) return false;
    const unsigned char* h = &cd[at];
    const size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    if (at + 46 + nameLen + extraLen + commentLen > cd.size()) return false;
    RawEntry r;
    r.name.assign(reinterpret_cast<const char*>(h + 46), nameLen);
    r.flags = Get16(h + 8);
    r.method = Get16(h + 10);
    r.compSize = Get32(h + 20);
    r.size = Get32(h + 24);
    uint64_t offset = Get32(h + 42);
    for (size_t x = at + 46 + nameLen, xEnd = x + extraLen; x + 4 <= xEnd;) {
      const uint16_t id = Get16(&cd[x]), len = Get16(&cd[x + 2]);
      const unsigned char* d = &cd[x + 4];
      if (x + 4 + len > xEnd) break;
      if (id == 0x0001) {  // 64-bit sizes and offset, each present only when its field is full
        size_t p = 0;
        auto take = [&](uint64_t& v) {
          if (p + 8 <= len) v = Get64(d + p), p += 8;
        };
        if (r.size == 0xFFFFFFFF) take(r.size);
        if (r.compSize == 0xFFFFFFFF) take(r.compSize);
        if (offset == 0xFFFFFFFF) take(offset);
      } else if (id == 0x9901 && len >= 7) {
        r.aesVersion = Get16(d);
        r.aesStrength = d[4];
      }
      x += 4 + len;
    }
    at += 46 + nameLen + extraLen + commentLen;
    r.local = static_cast<int64_t>(offset) + bias;
    if (r.local >= 0 && ReadAt(fd, r.local, 30, b) && Get32(b.data()) == 0x04034B50)
      r.data = r.local + 30 + Get16(&b[26]) + Get16(&b[28]);
    out.entries.push_back(std::move(r));
  }
  return true;
}

// The first entry whose bytes, from its local header to the end of its data, share a byte with
// another entry's or with the central directory; -1 when none does.
inline int64_t FirstOverlap(const RawLayout& l) {
  struct Span {
    int64_t from, to, entry;
  };
  std::vector<Span> spans{{l.cdStart, l.cdEnd, -1}};
  for (size_t k = 0; k < l.entries.size(); ++k) {
    const RawEntry& r = l.entries[k];
    if (r.data < 0) continue;
    const int64_t to = r.data + static_cast<int64_t>(std::min<uint64_t>(r.compSize, INT64_MAX / 2));
    spans.push_back({r.local, to, static_cast<int64_t>(k)});
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
  Span reach = spans[0];  // the span that reaches furthest so far
  for (size_t k = 1; k < spans.size(); ++k) {
    if (spans[k].from < reach.to) return spans[k].entry >= 0 ? spans[k].entry : reach.entry;
    if (spans[k].to > reach.to) reach = spans[k];
  }
  return -1;
}

}  // namespace ziprec
