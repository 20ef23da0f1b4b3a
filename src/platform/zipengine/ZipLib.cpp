// The add library (libziplib.so): takes one ZipParms record, writes the archive with libzip and
// calls the component back for progress, messages and passwords.
#include <zip.h>
#include <zlib.h>

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/zipengine/ZipMask.h"
#include "platform/zipengine/ZipBytes.h"
#include "platform/zipengine/ZipErrors.h"
#include "platform/zipengine/ZipLibCall.h"
#include "platform/zipengine/ZipRecords.h"

#define ZIPLIB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ziprec;
namespace fs = std::filesystem;

// Error codes sent with messages (low byte is what the component keeps).
constexpr int32_t kErrNothingToDo = 12;
constexpr int32_t kErrOpen = 15;
constexpr int32_t kErrWrite = 14;
constexpr int32_t kErrRead = 11;

struct Item {
  std::string path;  // empty for a folder entry
  std::string name;  // stored name, "/" separated
  int64_t size = 0;
  time_t mtime = 0;
  mode_t mode = 0;  // permission bits, recorded for Unix hosts
  bool isDir = false;
  bool encrypt = false;
  std::string password;
  bool store = false;
};

class Job;
struct Layout;

// A file deflated ahead of the archive's writing, on worker threads. A large file is deflated in
// pieces at once; each piece lies in the spill file of the worker that made it, so the files held
// open stay as few as the workers, however many files or pieces the archive takes.
struct Segment {
  FILE* spill = nullptr;  // owned by the job's spill list
  int64_t offset = 0;
  int64_t len = 0;
};

struct Packed {
  std::vector<Segment> segments;  // in the file's order: laid end to end they are one deflate stream
  int64_t compSize = 0;
  uint32_t crc = 0;
  bool failed = false;
  int writeErr = 0;  // errno of a spill write that failed: a full disk is not a read error
  std::atomic<int64_t> consumed{0};
  std::atomic<size_t> left{0};  // pieces still being deflated
  std::atomic<bool> done{false};
};

struct SpillFiles {
  std::mutex m;
  std::vector<FILE*> files;
  FILE* Make() {
    FILE* f = std::tmpfile();
    std::lock_guard<std::mutex> lock(m);
    if (f) files.push_back(f);
    return f;
  }
  ~SpillFiles() {
    for (FILE* f : files) std::fclose(f);
  }
};

// A file read for libzip, reporting its progress and honouring a cancel.
struct FileSource {
  Job* job = nullptr;
  const Item* item = nullptr;
  Packed* packed = nullptr;  // already deflated: libzip copies it as it stands
  FILE* f = nullptr;
  int64_t pos = 0;
  size_t segment = 0;      // where pos lies in the packed pieces
  int64_t segmentPos = 0;
  int64_t reported = 0;
  bool announced = false;
  zip_error_t error{};
};

class Job : public ComponentLink<ZipParms> {
 public:
  explicit Job(ZipParms* p) : ComponentLink(p, true) {}

  void Verbose(const std::string& text) {
    if (p_->fVerbose || p_->fTraceEnabled) Message(0, text);
  }
  bool Cancelled() const { return cancelled_; }
  const CallbackRecord& Last() const { return last_; }

  int32_t Run();

 private:
  bool Collect();
  void CollectSpec(const AddFileSpec& spec);
  void AddCandidate(const fs::path& file, const std::string& stored, const AddFileSpec& spec, bool isDir);
  bool Excluded(const std::string& fileName, const std::string& stored) const;
  std::string AskPassword(const std::string& forFile);
  int32_t WriteArchive(const std::string& archive);
  bool PackInParallel(const std::vector<const Item*>& todo, std::vector<std::unique_ptr<Packed>>& packed,
                      SpillFiles& spills);
  int32_t WriteBehindProgram(const std::string& archive, const Layout& layout);

  std::vector<Item> items_;
  std::map<std::string, size_t> byName_;  // stored name -> index in items_ (names differing in case are two files)
  std::set<std::string> storeSuffixes_;
  time_t fromDate_ = 0;
  std::string askedPassword_;
  bool passwordAsked_ = false;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string Slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// A stored name never climbs out of the folder it will be extracted into.
std::string CleanStoredName(const std::string& raw) {
  std::string out;
  size_t i = 0;
  const std::string s = Slashes(raw);
  while (i <= s.size()) {
    size_t j = s.find('/', i);
    if (j == std::string::npos) j = s.size();
    std::string part = s.substr(i, j - i);
    if (!part.empty() && part != "." && part != ".." && !(part.size() == 2 && part[1] == ':')) {
      if (!out.empty()) out += '/';
      out += part;
    }
    i = j + 1;
  }
  return out;
}

bool IsHidden(const fs::path& p) {
  const std::string n = p.filename().string();
  return !n.empty() && n[0] == '.';
}

time_t ParseDate(const char d[8]) {
  // "mm dd yy"
  auto num = [&](int at) {
    if (!std::isdigit(static_cast<unsigned char>(d[at])) || !std::isdigit(static_cast<unsigned char>(d[at + 1])))
      return -1;
    return (d[at] - '0') * 10 + (d[at + 1] - '0');
  };
  const int m = num(0), dd = num(3), y = num(6);
  if (m < 1 || dd < 1 || y < 0) return 0;
  struct tm t{};
  t.tm_year = (y < 80 ? 2000 + y : 1900 + y) - 1900;
  t.tm_mon = m - 1;
  t.tm_mday = dd;
  t.tm_isdst = -1;
  return mktime(&t);
}

bool Excl(const std::vector<std::string>& masks, const std::string& a, const std::string& b) {
  for (const auto& m : masks)
    if (MaskMatch(m, a) || MaskMatch(m, b)) return true;
  return false;
}

bool Job::Excluded(const std::string& fileName, const std::string& stored) const {
  std::vector<std::string> masks;
  for (int i = 0; i < p_->ExcludeCount && p_->ExcludeSpecs; ++i)
    if (p_->ExcludeSpecs[i] && *p_->ExcludeSpecs[i]) {
      std::string m = Slashes(p_->ExcludeSpecs[i]);
      const size_t slash = m.rfind('/');
      masks.push_back(slash == std::string::npos ? m : m.substr(slash + 1));
      if (slash != std::string::npos) masks.push_back(CleanStoredName(m));
    }
  return Excl(masks, fileName, stored);
}

std::string Job::AskPassword(const std::string& forFile) {
  if (passwordAsked_) return askedPassword_;
  passwordAsked_ = true;
  if (Call(cbPassword, 1, 1, forFile) == -1) return {};
  if (last_.ActionCode == cbPassword && last_.Arg1 == 1) {
    askedPassword_ = last_.Text;
  }
  return askedPassword_;
}

void Job::AddCandidate(const fs::path& file, const std::string& stored, const AddFileSpec& spec, bool isDir) {
  std::error_code ec;
  const std::string fileName = file.filename().string();
  if (stored.empty() || Excluded(fileName, stored)) return;
  struct stat st{};
  if (::stat(file.c_str(), &st) != 0) {
    Message(kErrOpen, "Fichier introuvable: " + file.string());
    return;
  }
  if (p_->fDate && fromDate_ && st.st_mtime < fromDate_) return;
  Item it;
  it.isDir = isDir;
  it.path = isDir ? std::string() : file.string();
  it.name = isDir ? stored + "/" : stored;
  it.size = isDir ? 0 : st.st_size;
  it.mtime = st.st_mtime;
  it.mode = st.st_mode & 0777;
  if (!isDir) {
    const bool linePassword = spec.Encrypt == 0xFFFF;
    std::string pw = spec.Password ? spec.Password : "";
    if (!linePassword && pw.empty() && p_->PZipPassword) pw = p_->PZipPassword;
    it.encrypt = linePassword ? !pw.empty() : spec.Encrypt != 0;
    if (it.encrypt && pw.empty()) {
      pw = AskPassword(it.name);
      if (pw.empty()) {
        Message(kErrPassword, "Pas de mot de passe: fichier ignoré: " + it.name);
        return;
      }
    }
    it.password = pw;
    const std::string ext = Lower(file.extension().string());
    it.store = p_->fLevel <= 0 || (!ext.empty() && storeSuffixes_.count(ext));
  }
  auto found = byName_.find(it.name);
  if (found != byName_.end()) {
    items_[found->second] = it;  // the later file pattern wins, as in the archive
  } else {
    byName_[it.name] = items_.size();
    items_.push_back(it);
  }
}

void Job::CollectSpec(const AddFileSpec& spec) {
  if (!spec.FileSpec || !*spec.FileSpec) return;
  std::error_code ec;
  const std::string raw = Slashes(spec.FileSpec);
  fs::path root = spec.RootDir && *spec.RootDir ? fs::path(Slashes(spec.RootDir)) : fs::path();
  fs::path full = fs::path(raw);
  if (full.is_relative() && !root.empty()) full = root / full;
  const bool recurse = spec.Recurse != 0;

  fs::path folder;
  std::string mask;
  if (!HasWildcards(raw) && fs::is_directory(full, ec)) {
    folder = full;
    mask = "*.*";
  } else {
    folder = full.parent_path();
    mask = full.filename().string();
    if (folder.empty()) folder = ".";
  }
  // The base the stored names are taken from.
  fs::path base;
  if (!root.empty() && !fs::relative(fs::absolute(folder, ec), fs::absolute(root, ec), ec).string().starts_with(".."))
    base = fs::absolute(root, ec);
  auto storedFor = [&](const fs::path& file) {
    if (p_->fJunkDir) return file.filename().string();
    if (!base.empty()) return CleanStoredName(fs::relative(fs::absolute(file, ec), base, ec).string());
    return CleanStoredName(file.lexically_normal().string());
  };

  if (!fs::is_directory(folder, ec)) {
    Message(kErrOpen, "Dossier introuvable: " + folder.string());
    return;
  }
  size_t before = items_.size();
  auto visit = [&](const fs::path& file, bool isDir) {
    if (!p_->fSystem && IsHidden(file)) return;
    if (isDir) {
      if (!p_->fNoDirEntries && !p_->fJunkDir) AddCandidate(file, storedFor(file), spec, true);
      return;
    }
    const std::string name = file.filename().string();
    if (!MaskMatch(mask, name)) return;
    // A plain name takes its own file; another case of it only when that file is not there.
    if (!HasWildcards(mask) && name != mask && fs::exists(file.parent_path() / mask, ec)) return;
    AddCandidate(file, storedFor(file), spec, false);
  };
  if (recurse) {
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      if (!p_->fSystem && IsHidden(it->path())) {
        if (it->is_directory(ec)) it.disable_recursion_pending();
        continue;
      }
      if (it->is_directory(ec)) visit(it->path(), true);
      else if (it->is_regular_file(ec)) visit(it->path(), false);
    }
  } else {
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file(ec)) visit(it->path(), false);
  }
  if (items_.size() == before && !HasWildcards(raw))
    Message(kErrOpen, "Fichier introuvable: " + full.string());
}

bool Job::Collect() {
  if (p_->PZipStoreSuffixes) {
    std::string s = p_->PZipStoreSuffixes;
    size_t i = 0;
    while (i < s.size()) {
      size_t j = s.find(':', i);
      if (j == std::string::npos) j = s.size();
      std::string ext = Lower(s.substr(i, j - i));
      if (!ext.empty() && ext[0] != '.') ext = "." + ext;
      if (!ext.empty()) storeSuffixes_.insert(ext);
      i = j + 1;
    }
  }
  if (p_->fDate) fromDate_ = ParseDate(p_->Date);
  for (int i = 0; i < p_->Argc && p_->FDs; ++i) CollectSpec(p_->FDs[i]);
  return !items_.empty();
}

// ---- libzip source over one file ----

zip_int64_t SourceCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* s = static_cast<FileSource*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      if (s->packed) {
        s->pos = 0;
        s->segment = 0;
        s->segmentPos = 0;
        return 0;
      }
      s->f = std::fopen(s->item->path.c_str(), "rb");
      if (!s->f) {
        zip_error_set(&s->error, ZIP_ER_OPEN, errno);
        return -1;
      }
      s->pos = 0;
      if (!s->announced) {
        s->announced = true;
        s->job->Verbose("  ajout: " + s->item->name);
        if (s->job->Call(cbNewFile, 0, s->item->size, s->item->name) == -1) {
          zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
          return -1;
        }
      }
      return 0;
    case ZIP_SOURCE_READ: {
      if (s->packed) {
        const Packed& pk = *s->packed;
        while (s->segment < pk.segments.size() && s->segmentPos >= pk.segments[s->segment].len) {
          ++s->segment;
          s->segmentPos = 0;
        }
        if (s->segment >= pk.segments.size()) return 0;
        const Segment& seg = pk.segments[s->segment];
        const auto want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(len), seg.len - s->segmentPos));
        const ssize_t n = ::pread(fileno(seg.spill), data, want, seg.offset + s->segmentPos);
        if (n <= 0) {
          zip_error_set(&s->error, ZIP_ER_READ, n < 0 ? errno : 0);
          return -1;
        }
        s->pos += n;
        s->segmentPos += n;
        return static_cast<zip_int64_t>(n);
      }
      if (s->job->Cancelled()) {
        zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
        return -1;
      }
      const size_t n = std::fread(data, 1, len, s->f);
      if (n < len && std::ferror(s->f)) {
        zip_error_set(&s->error, ZIP_ER_READ, errno);
        return -1;
      }
      s->pos += static_cast<int64_t>(n);
      if (s->pos > s->reported) {
        const int64_t delta = s->pos - s->reported;
        s->reported = s->pos;
        if (s->job->Call(cbProgress, 0, delta, std::string()) == -1) {
          zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
          return -1;
        }
      }
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      if (s->f) std::fclose(s->f);
      s->f = nullptr;
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      st->size = static_cast<zip_uint64_t>(s->item->size);
      st->mtime = s->item->mtime;
      if (s->packed) {
        st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
        st->comp_size = static_cast<zip_uint64_t>(s->packed->compSize);
        st->comp_method = ZIP_CM_DEFLATE;
        st->crc = s->packed->crc;
        st->encryption_method = ZIP_EM_NONE;
      }
      return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
      if (s->f) std::fclose(s->f);
      s->f = nullptr;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// ---- archives with a program in front (self-extracting) ----

struct Layout {
  int64_t prefix = 0;   // bytes in front of the first entry
  int64_t cdStart = 0;  // where the central directory really is
  int64_t eocd = 0;
  std::vector<unsigned char> tail;  // end record and comment
  uint32_t entries = 0;
  uint32_t cdSize = 0;
};

// Reads where the zip data of a file start; false when it is no archive we can shift.
bool ReadLayout(FILE* f, Layout& out) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const int64_t size = std::ftell(f);
  if (size < 22) return false;
  const int64_t n = std::min<int64_t>(size, 65557);
  std::vector<unsigned char> buf(static_cast<size_t>(n));
  if (std::fseek(f, size - n, SEEK_SET) != 0 || std::fread(buf.data(), 1, buf.size(), f) != buf.size()) return false;
  for (int64_t i = n - 22; i >= 0; --i) {
    const unsigned char* e = buf.data() + i;
    if (Get32(e) != 0x06054B50) continue;
    const uint16_t commentLen = Get16(e + 20);
    if (i + 22 + commentLen > n) continue;
    out.eocd = size - n + i;
    out.entries = Get16(e + 10);
    out.cdSize = Get32(e + 12);
    out.cdStart = out.eocd - out.cdSize;
    if (out.cdStart < 0) return false;
    out.tail.assign(e, e + 22 + commentLen);
    // The first entry's local header is the lowest offset in the directory.
    int64_t lowest = out.cdStart;
    const int64_t shift = out.cdStart - static_cast<int64_t>(Get32(e + 16));
    std::vector<unsigned char> cd(out.cdSize);
    if (std::fseek(f, out.cdStart, SEEK_SET) != 0 || std::fread(cd.data(), 1, cd.size(), f) != cd.size()) return false;
    size_t at = 0;
    for (uint32_t k = 0; k < out.entries; ++k) {
      if (at + 46 > cd.size() || Get32(&cd[at]) != 0x02014B50) return false;
      lowest = std::min<int64_t>(lowest, static_cast<int64_t>(Get32(&cd[at + 42])) + shift);
      at += 46 + Get16(&cd[at + 28]) + Get16(&cd[at + 30]) + Get16(&cd[at + 32]);
    }
    out.prefix = std::max<int64_t>(0, lowest);
    return true;
  }
  return false;
}

bool CopyRange(FILE* in, int64_t from, int64_t len, FILE* out) {
  if (std::fseek(in, from, SEEK_SET) != 0) return false;
  std::vector<char> buf(65536);
  while (len > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(len, static_cast<int64_t>(buf.size())));
    if (std::fread(buf.data(), 1, want, in) != want || std::fwrite(buf.data(), 1, want, out) != want) return false;
    len -= static_cast<int64_t>(want);
  }
  return true;
}

// Copies the archive of `in` from `from` on to `out`, whose current position is `outBase`, with
// every offset rebased so the result is consistent where it lands.
bool WriteRebased(FILE* in, const Layout& l, int64_t from, FILE* out, int64_t outBase) {
  const int64_t delta = outBase - from;
  const int64_t oldBias = l.cdStart - static_cast<int64_t>(Get32(&l.tail[16]));
  if (!CopyRange(in, from, l.cdStart - from, out)) return false;
  std::vector<unsigned char> cd(l.cdSize);
  if (!cd.empty() &&
      (std::fseek(in, l.cdStart, SEEK_SET) != 0 || std::fread(cd.data(), 1, cd.size(), in) != cd.size()))
    return false;
  size_t at = 0;
  for (uint32_t k = 0; k < l.entries; ++k) {
    if (at + 46 > cd.size()) return false;
    Put32(&cd[at + 42], static_cast<uint32_t>(Get32(&cd[at + 42]) + oldBias + delta));
    at += 46 + Get16(&cd[at + 28]) + Get16(&cd[at + 30]) + Get16(&cd[at + 32]);
  }
  std::vector<unsigned char> tail = l.tail;
  Put32(&tail[16], static_cast<uint32_t>(l.cdStart + delta));
  return (cd.empty() || std::fwrite(cd.data(), 1, cd.size(), out) == cd.size()) &&
         std::fwrite(tail.data(), 1, tail.size(), out) == tail.size();
}

std::string TempBeside(const std::string& path) {
  std::string t = (fs::path(path).parent_path() / ".zelmXXXXXX").string();
  std::vector<char> b(t.begin(), t.end());
  b.push_back(0);
  const int fd = mkstemp(b.data());
  if (fd < 0) return {};
  ::close(fd);
  return b.data();
}

// Deflates the plain entries on worker threads while this thread reports their progress in
// archive order; encrypted and stored entries are left to libzip. False when cancelled or failed.
//
// A large file is cut into pieces deflated at once, each primed with the 32 KB before it and ended
// on a byte boundary (a sync flush), the last one finishing the stream: laid end to end the pieces
// are one deflate stream, as pigz makes them. Nothing is joined here: the archive reads the pieces
// in order straight from the spill files.
bool Job::PackInParallel(const std::vector<const Item*>& todo, std::vector<std::unique_ptr<Packed>>& packed,
                         SpillFiles& spills) {
  constexpr int64_t kPiece = int64_t(8) << 20;
  struct Piece {
    size_t k = 0;      // the file, in todo
    size_t index = 0;  // its place among the file's pieces
    int64_t off = 0, len = 0;
    bool last = true;
    uint32_t crc = 0;
    bool ok = false;
    int writeErr = 0;
  };
  std::vector<Piece> pieces;
  std::vector<size_t> firstPiece(todo.size(), 0);
  std::vector<size_t> work;  // the files deflated here, in archive order
  for (size_t k = 0; k < todo.size(); ++k) {
    const Item* it = todo[k];
    if (it->isDir || it->encrypt || it->store || it->size <= 0) continue;
    work.push_back(k);
    packed[k] = std::make_unique<Packed>();
    const int64_t n = (it->size + kPiece - 1) / kPiece;
    packed[k]->segments.resize(static_cast<size_t>(n));
    packed[k]->left = static_cast<size_t>(n);
    firstPiece[k] = pieces.size();
    for (int64_t i = 0; i < n; ++i) {
      Piece pc;
      pc.k = k;
      pc.index = static_cast<size_t>(i);
      pc.off = i * kPiece;
      pc.len = std::min(kPiece, it->size - pc.off);
      pc.last = i == n - 1;
      pieces.push_back(pc);
    }
  }
  if (pieces.empty()) return true;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex m;
  std::condition_variable cv;
  const int level = std::clamp(p_->fLevel, 1, 9);
  auto worker = [&] {
    std::vector<unsigned char> in(1 << 18), out(1 << 18);
    FILE* spill = nullptr;
    for (;;) {
      const size_t w = next++;
      if (w >= pieces.size() || stop) break;
      Piece& pc = pieces[w];
      const Item* it = todo[pc.k];
      Packed& pk = *packed[pc.k];
      Segment& seg = pk.segments[pc.index];
      if (!spill) spill = spills.Make();
      FILE* f = std::fopen(it->path.c_str(), "rb");
      seg.spill = spill;
      seg.offset = spill ? static_cast<int64_t>(ftello(spill)) : -1;
      z_stream zs{};
      bool ok = f && spill && seg.offset >= 0 &&
                deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
      if (ok && pc.off > 0) {
        const int64_t dict = std::min<int64_t>(32768, pc.off);
        ok = fseeko(f, pc.off - dict, SEEK_SET) == 0 &&
             std::fread(in.data(), 1, static_cast<size_t>(dict), f) == static_cast<size_t>(dict) &&
             deflateSetDictionary(&zs, in.data(), static_cast<uInt>(dict)) == Z_OK;
      }
      uLong crc = crc32(0L, Z_NULL, 0);
      int64_t remaining = pc.len;
      int flush = Z_NO_FLUSH;
      while (ok && flush == Z_NO_FLUSH && !stop) {
        const auto want = static_cast<size_t>(std::min<int64_t>(remaining, static_cast<int64_t>(in.size())));
        const size_t n = std::fread(in.data(), 1, want, f);
        if (n < want) {
          ok = false;  // the file shrank since it was listed, or could not be read
          break;
        }
        remaining -= static_cast<int64_t>(n);
        if (remaining == 0) flush = pc.last ? Z_FINISH : Z_SYNC_FLUSH;
        crc = crc32(crc, in.data(), static_cast<uInt>(n));
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(n);
        do {
          zs.next_out = out.data();
          zs.avail_out = static_cast<uInt>(out.size());
          deflate(&zs, flush);
          const size_t have = out.size() - zs.avail_out;
          if (have && std::fwrite(out.data(), 1, have, spill) != have) {
            pc.writeErr = errno ? errno : EIO;
            ok = false;
          }
        } while (ok && zs.avail_out == 0);
        pk.consumed += static_cast<int64_t>(n);
      }
      // A file that grew since it was listed no longer matches its size.
      if (ok && pc.last && std::fgetc(f) != EOF) ok = false;
      deflateEnd(&zs);
      if (f) std::fclose(f);
      seg.len = static_cast<int64_t>(zs.total_out);
      pc.crc = static_cast<uint32_t>(crc);
      pc.ok = ok && !stop;
      if (spill && std::fflush(spill) != 0) {
        if (!pc.writeErr) pc.writeErr = errno ? errno : EIO;
        pc.ok = false;
      }
      if (!spill) pc.writeErr = errno ? errno : EIO;
      if (pk.left.fetch_sub(1, std::memory_order_acq_rel) != 1) continue;
      // The last piece of a file to finish sums the file up.
      bool fileOk = true;
      uLong whole = crc32(0L, Z_NULL, 0);
      int64_t comp = 0;
      for (size_t i = firstPiece[pc.k]; i < firstPiece[pc.k] + pk.segments.size(); ++i) {
        fileOk = fileOk && pieces[i].ok;
        if (!pk.writeErr) pk.writeErr = pieces[i].writeErr;
        whole = crc32_combine(whole, pieces[i].crc, static_cast<z_off_t>(pieces[i].len));
        comp += pk.segments[pieces[i].index].len;
      }
      pk.compSize = comp;
      pk.crc = static_cast<uint32_t>(whole);
      pk.failed = !fileOk || pk.consumed != it->size;
      {
        std::lock_guard<std::mutex> lock(m);
        pk.done = true;
      }
      cv.notify_all();
    }
  };
  const unsigned threads = std::max(1u, std::min({std::thread::hardware_concurrency(), 4u, static_cast<unsigned>(pieces.size())}));
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < threads; ++i) pool.emplace_back(worker);

  bool ok = true;
  for (size_t w = 0; w < work.size() && ok; ++w) {
    const Item* it = todo[work[w]];
    Packed& pk = *packed[work[w]];
    Verbose("  ajout: " + it->name);
    if (Call(cbNewFile, 0, it->size, it->name) == -1) ok = false;
    int64_t reported = 0;
    while (ok) {
      bool finished;
      {
        std::unique_lock<std::mutex> lock(m);
        cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return pk.done.load(); });
        finished = pk.done;
      }
      const int64_t now = pk.consumed;
      if (now > reported) {
        if (Call(cbProgress, 0, now - reported, {}) == -1) ok = false;
        reported = now;
      }
      if (finished) {
        if (pk.failed && pk.writeErr) {
          const char* cause = ziperr::SystemCause(pk.writeErr);
          Message(kErrWrite, std::string("Erreur d'écriture de l'archive: ") + (cause ? cause : "erreur d'écriture"));
          ok = false;
        } else if (pk.failed) {
          Message(kErrRead, "Erreur de lecture de " + it->path);
          ok = false;
        }
        break;
      }
    }
  }
  if (!ok) stop = true;
  for (auto& t : pool) t.join();
  return ok;
}

int32_t Job::WriteArchive(const std::string& archive) {
  int err = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_CREATE, &err);
  if (!za) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    Message(kErrOpen, std::string("Impossible d'ouvrir l'archive ") + archive + ": " + ziperr::French(&ze));
    zip_error_fini(&ze);
    return 0;
  }
  // Update and freshen compare with what the archive holds.
  std::vector<const Item*> todo;
  for (const Item& it : items_) {
    const zip_int64_t idx = zip_name_locate(za, it.name.c_str(), 0);
    if (p_->fFreshen || p_->fUpdate) {
      if (idx < 0 && p_->fFreshen) continue;
      if (idx >= 0) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(idx), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME) &&
            it.mtime <= st.mtime + 1)
          continue;
      }
    }
    todo.push_back(&it);
  }
  if (todo.empty()) {
    zip_discard(za);
    Message(kErrNothingToDo, "Aucun fichier à ajouter");
    return 0;
  }
  int64_t total = 0;
  for (const Item* it : todo) total += it->size;
  if (Call(cbTotalFiles, 0, static_cast<int64_t>(todo.size()), {}) == -1 ||
      Call(cbTotalSize, 0, total, {}) == -1) {
    zip_discard(za);
    Message(kErrCancelled, "Opération annulée");
    return 0;
  }

  std::vector<std::unique_ptr<Packed>> packed(todo.size());
  SpillFiles spills;  // read until the archive is written
  if (!PackInParallel(todo, packed, spills)) {
    zip_discard(za);
    Message(cancelled_ ? kErrCancelled : kErrRead, cancelled_ ? "Opération annulée" : "Erreur de lecture d'un fichier");
    return 0;
  }
  std::vector<std::unique_ptr<FileSource>> sources;
  for (size_t k = 0; k < todo.size(); ++k) {
    const Item* it = todo[k];
    zip_source_t* src = nullptr;
    if (it->isDir) {
      src = nullptr;
    } else {
      auto fsrc = std::make_unique<FileSource>();
      fsrc->job = this;
      fsrc->item = it;
      if (packed[k] && packed[k]->compSize < it->size) {
        fsrc->packed = packed[k].get();
      } else if (packed[k]) {
        // Deflating did not pay: stored, its progress already told.
        fsrc->announced = true;
        fsrc->reported = it->size;
      }
      zip_error_init(&fsrc->error);
      src = zip_source_function(za, SourceCallback, fsrc.get());
      if (!src) {
        Message(kErrOpen, "Mémoire insuffisante");
        zip_discard(za);
        return 0;
      }
      sources.push_back(std::move(fsrc));
    }
    zip_int64_t idx = zip_name_locate(za, it->name.c_str(), 0);
    if (it->isDir) {
      if (idx < 0) idx = zip_dir_add(za, it->name.c_str(), ZIP_FL_ENC_GUESS);
    } else if (idx >= 0) {
      // Replace in place, under the name as now given.
      if (zip_file_replace(za, static_cast<zip_uint64_t>(idx), src, 0) != 0) idx = -1;
      else zip_file_rename(za, static_cast<zip_uint64_t>(idx), it->name.c_str(), ZIP_FL_ENC_GUESS);
    } else {
      idx = zip_file_add(za, it->name.c_str(), src, ZIP_FL_ENC_GUESS);
    }
    if (idx < 0) {
      if (src) zip_source_free(src);
      Message(kErrWrite, std::string("Impossible d'ajouter ") + it->name + ": " + ziperr::French(za));
      zip_discard(za);
      return 0;
    }
    const auto u = static_cast<zip_uint64_t>(idx);
    zip_file_set_mtime(za, u, it->mtime, 0);
    if (!it->isDir) {
      if (packed[k] && packed[k]->compSize >= it->size) zip_set_file_compression(za, u, ZIP_CM_STORE, 0);
      else if (it->store) zip_set_file_compression(za, u, ZIP_CM_STORE, 0);
      else zip_set_file_compression(za, u, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(std::clamp(p_->fLevel, 1, 9)));
      if (it->encrypt) zip_file_set_encryption(za, u, ZIP_EM_TRAD_PKWARE, it->password.c_str());
      if (p_->fForceDOS) zip_file_set_external_attributes(za, u, 0, ZIP_OPSYS_DOS, 0x20);
    }
    // Each entry carries its own permissions (libzip would record 0666 for every file), with the
    // DOS read-only and folder bits Info-ZIP sets beside them.
    if (!p_->fForceDOS || it->isDir) {
      const zip_uint32_t type = it->isDir ? S_IFDIR : S_IFREG;
      const zip_uint32_t dos = (it->isDir ? 0x10 : 0) | ((it->mode & S_IWUSR) ? 0 : 0x01);
      zip_file_set_external_attributes(za, u, 0, ZIP_OPSYS_UNIX, ((type | it->mode) << 16) | dos);
    }
  }
  if (p_->PArchComment && *p_->PArchComment)
    zip_set_archive_comment(za, p_->PArchComment, static_cast<zip_uint16_t>(std::strlen(p_->PArchComment)));

  if (zip_close(za) != 0) {
    const bool cancel = cancelled_;
    Message(cancel ? kErrCancelled : kErrWrite,
            cancel ? std::string("Opération annulée") : std::string("Erreur d'écriture de l'archive: ") + ziperr::French(za));
    zip_discard(za);  // the archive stays as it was
    return 0;
  }
  return static_cast<int32_t>(std::count_if(todo.begin(), todo.end(), [](const Item* i) { return !i->isDir; }));
}

int32_t Job::WriteBehindProgram(const std::string& archive, const Layout& layout) {
  const std::string plain = TempBeside(archive);
  const std::string joined = TempBeside(archive);
  auto cleanup = [&] {
    if (!plain.empty()) std::remove(plain.c_str());
    if (!joined.empty()) std::remove(joined.c_str());
  };
  FILE* orig = std::fopen(archive.c_str(), "rb");
  FILE* out = plain.empty() ? nullptr : std::fopen(plain.c_str(), "wb");
  bool ok = orig && out && WriteRebased(orig, layout, layout.prefix, out, 0);
  if (out) ok = (std::fclose(out) == 0) && ok;
  if (!ok || joined.empty()) {
    if (orig) std::fclose(orig);
    cleanup();
    Message(kErrWrite, "Erreur d'écriture du fichier temporaire");
    return 0;
  }
  int32_t added = WriteArchive(plain);
  if (added > 0) {
    Layout after;
    FILE* pin = std::fopen(plain.c_str(), "rb");
    FILE* jout = std::fopen(joined.c_str(), "wb");
    ok = pin && jout && ReadLayout(pin, after) && CopyRange(orig, 0, layout.prefix, jout) &&
         WriteRebased(pin, after, 0, jout, layout.prefix);
    if (pin) std::fclose(pin);
    if (jout) ok = (std::fclose(jout) == 0) && ok;
    if (ok) {
      struct stat st{};
      if (::stat(archive.c_str(), &st) == 0) ::chmod(joined.c_str(), st.st_mode & 07777);
      ok = std::rename(joined.c_str(), archive.c_str()) == 0;
    }
    if (!ok) {
      Message(kErrWrite, "Erreur d'écriture de l'archive");
      added = 0;
    }
  }
  std::fclose(orig);
  cleanup();
  return added;
}

int32_t Job::Run() {
  if (!p_->PZipFN || !*p_->PZipFN) {
    Message(kErrOpen, "Aucune archive");
    return 0;
  }
  const std::string archive = Slashes(p_->PZipFN);
  if (!Collect()) {
    Message(kErrNothingToDo, "Aucun fichier à ajouter");
    Call(cbEndOfBatch, 0, 0, {});
    return 0;
  }
  int32_t added = 0;
  // A program in front of the archive (self-extracting) is kept: the entries are worked on in a
  // plain archive beside it and the result is put back behind the program.
  Layout layout;
  bool prefixed = false;
  if (FILE* f = std::fopen(archive.c_str(), "rb")) {
    prefixed = ReadLayout(f, layout) && layout.prefix > 0;
    std::fclose(f);
  }
  if (prefixed) added = WriteBehindProgram(archive, layout);
  if (!prefixed) added = WriteArchive(archive);

  if (added > 0) {
    if (p_->fMove) {
      for (const Item& it : items_) {
        if (it.isDir || it.path.empty()) continue;
        if (p_->fHowToMove) {
          if (!QFile::moveToTrash(QString::fromStdString(it.path))) std::remove(it.path.c_str());
        } else {
          std::remove(it.path.c_str());
        }
      }
    }
    if (p_->fLatestTime) {
      int err = 0;
      if (zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err)) {
        time_t latest = 0;
        const zip_int64_t n = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
          zip_stat_t st;
          if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
            latest = std::max(latest, st.mtime);
        }
        zip_discard(za);
        if (latest) {
          struct utimbuf ut{latest, latest};
          ::utime(archive.c_str(), &ut);
        }
      }
    }
  }
  Call(cbEndOfBatch, 0, 0, {});
  return added;
}

}  // namespace

ZIPLIB_EXPORT int32_t ZipLibExec(ziprec::ZipParms* p) {
  return RunCommand<Job>(p);
}

ZIPLIB_EXPORT int32_t GetZipLibVersion() { return kLibVersion; }
