// The extract library (libunzlib.so): takes one UnzipParms record, reads the archive with libzip,
// writes the entries under the extraction folder and calls the component back.
#include <zip.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QMessageAuthenticationCode>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/zipengine/ZipErrors.h"
#include "platform/zipengine/ZipLayout.h"
#include "platform/zipengine/ZipMask.h"
#include "platform/zipengine/ZipLibCall.h"
#include "platform/zipengine/ZipRecords.h"

#define UNZLIB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ziprec;
namespace fs = std::filesystem;

constexpr int32_t kErrOpen = 9;
constexpr int32_t kErrCRC = 2;
constexpr int32_t kErrData = 3;
constexpr int32_t kErrWrite = 50;
constexpr int32_t kErrUnsafe = 0x300 | 80;
constexpr int32_t kErrBomb = 0x300 | 81;
constexpr int32_t kErrLink = 0x300 | 82;

// An entry name that would land outside the extraction folder, or that is a link.
bool UnsafeName(const std::string& n) {
  if (n.empty() || n[0] == '/') return true;
  if (n.size() >= 2 && n[1] == ':') return true;
  size_t i = 0;
  while (i <= n.size()) {
    size_t j = n.find('/', i);
    if (j == std::string::npos) j = n.size();
    if (n.compare(i, j - i, "..") == 0 && j - i == 2) return true;
    i = j + 1;
  }
  return false;
}

// The process's file creation mask. Read from /proc where it can be, since setting it to read
// it would, for a moment, change it for every thread of the program.
mode_t CurrentUmask() {
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// The permissions an extracted file is given: those the entry records when a Unix host wrote it,
// else read and write for all, always readable and writable by its owner (the program must be
// able to use what it restores), never setuid, setgid or sticky, and never beyond the umask, as
// a file the program creates itself.
mode_t EntryMode(zip_t* za, zip_uint64_t i, mode_t umask) {
  mode_t mode = 0666;
  zip_uint8_t opsys = 0;
  zip_uint32_t attr = 0;
  if (zip_file_get_external_attributes(za, i, 0, &opsys, &attr) == 0 && opsys == ZIP_OPSYS_UNIX) {
    const mode_t m = (attr >> 16) & 0777;
    if (m) mode = m;
  }
  return (mode | 0600) & ~umask & 0777;
}

// A folder under the extraction folder, opened one level at a time without following a link:
// a link already in the target never takes an entry elsewhere. -1 with errno set when a level
// is missing (ENOENT, unless `create`), is a link (ELOOP) or is not a folder (ENOTDIR).
int OpenFolderBelow(int baseFd, const std::vector<std::string>& levels, bool create) {
  int fd = ::dup(baseFd);
  for (const std::string& level : levels) {
    if (fd < 0) return -1;
    if (create && ::mkdirat(fd, level.c_str(), 0755) != 0 && errno != EEXIST) {
      const int e = errno;
      ::close(fd);
      errno = e;
      return -1;
    }
    const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int e = errno;
    if (next < 0) {
      struct stat st{};
      if (::fstatat(fd, level.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) errno = ELOOP;
      else errno = e;
      const int keep = errno;
      ::close(fd);
      errno = keep;
      return -1;
    }
    ::close(fd);
    fd = next;
  }
  return fd;
}

std::vector<std::string> Levels(const std::string& rel) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < rel.size()) {
    size_t j = rel.find('/', i);
    if (j == std::string::npos) j = rel.size();
    if (j > i && rel.compare(i, j - i, ".") != 0) out.push_back(rel.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

// PBKDF2 over HMAC-SHA1, as WinZip's AES derives its keys.
QByteArray Pbkdf2Sha1(const QByteArray& password, const QByteArray& salt, int iterations, int length) {
  QMessageAuthenticationCode mac(QCryptographicHash::Sha1, password);
  QByteArray out;
  for (uint32_t block = 1; out.size() < length; ++block) {
    QByteArray s = salt;
    for (int shift : {24, 16, 8, 0}) s.append(static_cast<char>((block >> shift) & 0xFF));
    mac.reset();
    mac.addData(s);
    QByteArray u = mac.result();
    QByteArray t = u;
    for (int i = 1; i < iterations; ++i) {
      mac.reset();
      mac.addData(u);
      u = mac.result();
      for (int j = 0; j < t.size(); ++j) t[j] = static_cast<char>(t[j] ^ u[j]);
    }
    out += t;
  }
  return out.left(length);
}

// Whether a WinZip AES entry's data are the ones its authentication code vouches for under this
// password (its second kind stores no CRC, so this is the only proof it has).
bool AesCodeMatches(int fd, const RawEntry& r, const std::string& password) {
  const int keyLen = r.aesStrength == 1 ? 16 : r.aesStrength == 2 ? 24 : r.aesStrength == 3 ? 32 : 0;
  const int saltLen = keyLen / 2;
  const int64_t overhead = saltLen + 2 + 10;
  if (!keyLen || r.data < 0 || static_cast<int64_t>(r.compSize) < overhead) return false;
  std::vector<unsigned char> head;
  if (!ReadAt(fd, r.data, static_cast<size_t>(saltLen), head)) return false;
  const QByteArray salt(reinterpret_cast<const char*>(head.data()), saltLen);
  const QByteArray keys = Pbkdf2Sha1(QByteArray::fromStdString(password), salt, 1000, 2 * keyLen + 2);
  QMessageAuthenticationCode mac(QCryptographicHash::Sha1, keys.mid(keyLen, keyLen));
  int64_t at = r.data + saltLen + 2;
  int64_t left = static_cast<int64_t>(r.compSize) - overhead;
  std::vector<unsigned char> buf;
  while (left > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(left, 1 << 16));
    if (!ReadAt(fd, at, n, buf)) return false;
    mac.addData(reinterpret_cast<const char*>(buf.data()), static_cast<qsizetype>(n));
    at += static_cast<int64_t>(n);
    left -= static_cast<int64_t>(n);
  }
  if (!ReadAt(fd, at, 10, buf)) return false;
  return mac.result().left(10) == QByteArray(reinterpret_cast<const char*>(buf.data()), 10);
}

class Job : public ComponentLink<UnzipParms> {
 public:
  explicit Job(UnzipParms* p) : ComponentLink(p, false) {}
  ~Job() {
    if (archiveFd_ >= 0) ::close(archiveFd_);
    if (baseFd_ >= 0) ::close(baseFd_);
  }

  void Skipped(const std::string& name, SkipType t, int32_t err) { Call(cbSkipped, err, t + 1, name); }

  int32_t Run();

 private:
  // Where an entry goes: the folders below the extraction folder, the one that holds it once
  // opened (-1 before), and its name there.
  struct Place {
    std::vector<std::string> folders;
    std::string leaf;
    fs::path path;  // for messages
    int dir = -1;
    ~Place() {
      if (dir >= 0) ::close(dir);
    }
  };
  bool Wanted(const std::string& name) const;
  const RawEntry* Raw(zip_t* za, zip_uint64_t i) const;
  void RefuseFolder(const std::string& name, const Place& place, int err);
  enum class Outcome { Done, Failed, BadData };
  bool ExtractOne(zip_t* za, zip_uint64_t i, const std::string& name, const zip_stat_t& st, Place& place);
  Outcome CopyEntry(zip_t* za, zip_uint64_t i, zip_file_t* zf, const std::string& name, const zip_stat_t& st,
                    Place& place, bool trusted, bool noCrc);

  bool cancelAll_ = false;
  std::string password_;
  bool provenPassword_ = false;  // password_ has decrypted an entry of this archive
  int64_t entryReported_ = 0;
  std::vector<std::string> masks_;
  int archiveFd_ = -1;
  RawLayout layout_;
  bool haveLayout_ = false;
  int baseFd_ = -1;
  mode_t umask_ = 022;
};

bool Job::Wanted(const std::string& name) const {
  if (masks_.empty()) return true;
  const size_t slash = name.rfind('/');
  const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  for (const auto& m : masks_)
    if (MaskMatch(m, name) || MaskMatch(m, file)) return true;
  return false;
}

const RawEntry* Job::Raw(zip_t* za, zip_uint64_t i) const {
  if (!haveLayout_ || i >= layout_.entries.size()) return nullptr;
  const char* raw = zip_get_name(za, i, ZIP_FL_ENC_RAW);
  return raw && layout_.entries[i].name == raw ? &layout_.entries[i] : nullptr;
}

void Job::RefuseFolder(const std::string& name, const Place& place, int err) {
  if (err == ELOOP) {
    Message(kErrLink, "Entrée refusée (lien dans le dossier de destination): " + name);
    Skipped(name, skGeneralExtractError, kErrLink);
  } else {
    Message(kErrWrite, "Impossible de créer " + place.path.parent_path().string());
    Skipped(name, skGeneralExtractError, kErrWrite);
  }
}

bool Job::ExtractOne(zip_t* za, zip_uint64_t i, const std::string& name, const zip_stat_t& st, Place& place) {
  const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
  if ((st.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(st.comp_method, 0)) {
    Message(kErrData, "Méthode de compression inconnue: " + name);
    Skipped(name, skCompressionUnknown, kErrData);
    return false;
  }
  const int64_t size = (st.valid & ZIP_STAT_SIZE) ? static_cast<int64_t>(st.size) : 0;
  if (Call(cbNewFile, 0, size, name) == -1) return false;
  if (p_->fVerbose || p_->fTraceEnabled)
    Message(0, std::string(p_->fTest ? "  test: " : "  extraction: ") + name);
  entryReported_ = 0;

  if (!encrypted) {
    zip_file_t* zf = zip_fopen_index(za, i, 0);
    if (!zf) {
      Message(kErrData, std::string("Erreur de lecture de ") + name + ": " + ziperr::French(za));
      Skipped(name, skGeneralExtractError, kErrData);
      return false;
    }
    return CopyEntry(za, i, zf, name, st, place, true, false) == Outcome::Done;
  }

  // WinZip AES entries of the second kind store no CRC: their authentication code proves both
  // the password and the data.
  const RawEntry* raw = Raw(za, i);
  const bool aes2 = raw && raw->aesVersion == 2 && archiveFd_ >= 0;
  // The check byte of traditional encryption lets one wrong password in 256 through: data that
  // then fail to decode under a password not yet proven count as a wrong password.
  std::string pw = password_;
  int remaining = std::min(p_->fPwdReqCount, 15);
  for (;;) {
    if (pw.empty()) {
      if (remaining <= 0 || cancelAll_ || cancelled_) break;
      Call(cbPassword, 0, remaining, name);
      if (cancelled_) break;
      if (last_.ActionCode == 0) {  // cancel all: no more questions in this run
        cancelAll_ = true;
        break;
      }
      if (last_.Arg1 != 1 || last_.Text[0] == 0) break;
      remaining = static_cast<int>(std::min<int64_t>(last_.Arg2, 15)) - 1;
      pw = last_.Text;
    }
    const bool proven = provenPassword_ && pw == password_;
    if (zip_file_t* zf = zip_fopen_index_encrypted(za, i, 0, pw.c_str())) {
      if (aes2 && !AesCodeMatches(archiveFd_, *raw, pw)) {
        // Its password check (two bytes) passed: the data are what is wrong.
        zip_fclose(zf);
        Message(kErrData, "Données chiffrées altérées (code d'authentification erroné): " + name);
        Skipped(name, skZipFileFormatWrong, kErrData);
        return false;
      }
      const Outcome o = CopyEntry(za, i, zf, name, st, place, proven || aes2, aes2);
      if (o == Outcome::Done) {
        password_ = pw;
        provenPassword_ = true;
        return true;
      }
      if (o == Outcome::Failed) return false;
    }
    pw.clear();
  }
  if (cancelled_) return false;
  Message(kErrPassword, "Mot de passe incorrect: fichier ignoré: " + name);
  Skipped(name, skBadPassword, kErrPassword);
  return false;
}

Job::Outcome Job::CopyEntry(zip_t* za, zip_uint64_t i, zip_file_t* zf, const std::string& name, const zip_stat_t& st,
                            Place& place, bool trusted, bool noCrc) {
  // Written beside its target under a temporary name, renamed only once it is whole and sound.
  std::string temp;
  int fd = -1;
  if (!p_->fTest) {
    if (place.dir < 0) place.dir = OpenFolderBelow(baseFd_, place.folders, true);
    if (place.dir < 0) {
      const int err = errno;
      zip_fclose(zf);
      RefuseFolder(name, place, err);
      return Outcome::Failed;
    }
    static thread_local std::mt19937 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      char t[16];
      std::snprintf(t, sizeof t, ".zelm%08x", static_cast<unsigned>(rng()));
      fd = ::openat(place.dir, t, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0) temp = t;
      else if (errno != EEXIST) break;
    }
    if (fd < 0) {
      zip_fclose(zf);
      Message(kErrWrite, "Impossible de créer " + place.path.string());
      Skipped(name, skGeneralExtractError, kErrWrite);
      return Outcome::Failed;
    }
  }
  auto discard = [&] {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temp.empty()) ::unlinkat(place.dir, temp.c_str(), 0);
  };

  std::vector<unsigned char> buf(65536);
  uint32_t crc = 0;
  int64_t pos = 0;
  bool readError = false, crcError = false, writeError = false;
  for (;;) {
    const zip_int64_t n = zip_fread(zf, buf.data(), buf.size());
    if (n < 0) {
      const int ze = zip_error_code_zip(zip_file_get_error(zf));
      if (ze == ZIP_ER_CRC) crcError = true;
      else readError = true;
      break;
    }
    if (n == 0) break;
    crc = static_cast<uint32_t>(crc32(crc, buf.data(), static_cast<uInt>(n)));
    if (fd >= 0) {
      const unsigned char* q = buf.data();
      zip_int64_t left = n;
      while (left > 0) {
        const ssize_t w = ::write(fd, q, static_cast<size_t>(left));
        if (w <= 0) {
          writeError = true;
          break;
        }
        q += w;
        left -= w;
      }
      if (writeError) break;
    }
    pos += n;
    if (pos > entryReported_) {  // a second try of an entry reports only what is new
      const int64_t delta = pos - entryReported_;
      entryReported_ = pos;
      if (Call(cbProgress, 0, delta, {}) == -1) break;
    }
  }
  zip_fclose(zf);
  // libzip hands back an entry whose directory gives it no compressed bytes as empty, checking
  // nothing: what came out is held to the recorded size and CRC here.
  if (!readError && !crcError && !writeError && !cancelled_) {
    const bool shortOrLong = (st.valid & ZIP_STAT_SIZE) && static_cast<int64_t>(st.size) != pos;
    const bool otherCrc = !noCrc && (st.valid & ZIP_STAT_CRC) && st.crc != crc;
    crcError = shortOrLong || otherCrc;
  }
  if (crcError && noCrc) {
    // The stored CRC means nothing here; the whole entry came through (libzip checks the CRC
    // only at the end), so only its size is left to check.
    crcError = false;
    readError = (st.valid & ZIP_STAT_SIZE) && static_cast<int64_t>(st.size) != pos;
  }
  if (cancelled_) {
    discard();
    return Outcome::Failed;
  }
  if (writeError) {
    discard();
    Message(kErrWrite, "Erreur d'écriture de " + place.path.string());
    Skipped(name, skGeneralExtractError, kErrWrite);
    return Outcome::Failed;
  }
  if ((readError || crcError) && !trusted) {
    discard();
    return Outcome::BadData;
  }
  if (readError) {
    discard();
    Message(kErrData, "Données compressées erronées: " + name);
    Skipped(name, skZipFileFormatWrong, kErrData);
    return Outcome::Failed;
  }
  if (crcError) {
    const uint32_t expected = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    Call(cbCRCError, static_cast<int32_t>(crc), static_cast<int64_t>(expected), name);
    if (cancelled_ || last_.Arg1 != 1) {
      discard();
      Message(kErrCRC, "Erreur de CRC: " + name);
      Skipped(name, skGeneralExtractError, kErrCRC);
      return Outcome::Failed;
    }
  }
  if (p_->fTest) return crcError ? Outcome::Failed : Outcome::Done;

  ::fchmod(fd, EntryMode(za, i, umask_));
  if (st.valid & ZIP_STAT_MTIME) {
    const struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
    ::futimens(fd, times);
  }
  if (::close(fd) != 0) {
    fd = -1;
    discard();
    Message(kErrWrite, "Erreur d'écriture de " + place.path.string());
    Skipped(name, skGeneralExtractError, kErrWrite);
    return Outcome::Failed;
  }
  fd = -1;
  if (::renameat(place.dir, temp.c_str(), place.dir, place.leaf.c_str()) != 0) {
    discard();
    Message(kErrWrite, "Impossible d'écrire " + place.path.string());
    Skipped(name, skGeneralExtractError, kErrWrite);
    return Outcome::Failed;
  }
  return Outcome::Done;
}

int32_t Job::Run() {
  if (!p_->PZipFN || !*p_->PZipFN) return 0;
  if (p_->PZipPassword) password_ = p_->PZipPassword;
  for (int i = 0; i < p_->Argc && p_->FSpecs; ++i)
    if (p_->FSpecs[i].FileSpec && *p_->FSpecs[i].FileSpec) {
      std::string m = p_->FSpecs[i].FileSpec;
      std::replace(m.begin(), m.end(), '\\', '/');
      masks_.push_back(m);
    }

  int err = 0;
  zip_t* za = zip_open(p_->PZipFN, ZIP_RDONLY, &err);
  if (!za) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    Message(kErrOpen, std::string("Impossible d'ouvrir l'archive: ") + ziperr::French(&ze));
    zip_error_fini(&ze);
    Call(cbEndOfBatch, 0, 0, {});
    return 0;
  }
  // Entries that share or overlap their data expand far beyond the archive (zip bombs): the
  // whole archive is refused before anything is written, as Info-ZIP's unzip refuses it.
  // The directory checked must be the one libzip reads, entry for entry.
  archiveFd_ = ::open(p_->PZipFN, O_RDONLY | O_CLOEXEC);
  haveLayout_ = archiveFd_ >= 0 && ReadRawLayout(archiveFd_, layout_) &&
                static_cast<zip_int64_t>(layout_.entries.size()) == zip_get_num_entries(za, 0);
  for (size_t k = 0; haveLayout_ && k < layout_.entries.size(); ++k) haveLayout_ = Raw(za, k) != nullptr;
  const int64_t overlap = haveLayout_ ? FirstOverlap(layout_) : -1;
  if (!haveLayout_ || overlap >= 0) {
    zip_discard(za);
    const std::string why =
        haveLayout_ ? "l'entrée " + layout_.entries[static_cast<size_t>(overlap)].name +
                          " chevauche une autre entrée ou le répertoire central (bombe zip possible)"
                    : "son répertoire central ne se relit pas";
    Message(haveLayout_ ? kErrBomb : kErrData, "L'archive sélectionnée n'a pas un format ZIP correct: " + why);
    Call(cbEndOfBatch, 0, 0, {});
    return 0;
  }
  std::error_code ec;
  fs::path base = p_->PExtractDir && *p_->PExtractDir ? fs::path(p_->PExtractDir) : fs::current_path(ec);
  {
    std::string b = base.string();
    std::replace(b.begin(), b.end(), '\\', '/');
    base = fs::absolute(fs::path(b), ec).lexically_normal();
  }
  if (!p_->fTest) {
    umask_ = CurrentUmask();
    fs::create_directories(base, ec);
    baseFd_ = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd_ < 0) {
      zip_discard(za);
      Message(kErrWrite, "Impossible de créer " + base.string());
      Call(cbEndOfBatch, 0, 0, {});
      return 0;
    }
  }

  struct Todo {
    zip_uint64_t index;
    std::string name;
    zip_stat_t st;
  };
  std::vector<Todo> todo;
  int64_t total = 0;
  const zip_int64_t n = zip_get_num_entries(za, 0);
  for (zip_int64_t k = 0; k < n; ++k) {
    const auto i = static_cast<zip_uint64_t>(k);
    const char* raw = zip_get_name(za, i, ZIP_FL_ENC_GUESS);
    zip_stat_t st;
    if (!raw || zip_stat_index(za, i, 0, &st) != 0) continue;
    std::string name = raw;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (!Wanted(name)) continue;
    todo.push_back({i, name, st});
    if (st.valid & ZIP_STAT_SIZE) total += static_cast<int64_t>(st.size);
  }
  Call(cbTotalFiles, 0, static_cast<int64_t>(todo.size()), {});
  Call(cbTotalSize, 0, total, {});

  int32_t done = 0;
  for (const Todo& t : todo) {
    if (cancelled_) break;
    const std::string& name = t.name;
    zip_uint8_t opsys = 0;
    zip_uint32_t attr = 0;
    const bool link = zip_file_get_external_attributes(za, t.index, 0, &opsys, &attr) == 0 &&
                      opsys == ZIP_OPSYS_UNIX && ((attr >> 16) & S_IFMT) == S_IFLNK;
    const bool isDir = !name.empty() && name.back() == '/';
    if (UnsafeName(name) || link) {
      Message(kErrUnsafe, "Entrée refusée (hors du dossier de destination): " + name);
      Skipped(name, skGeneralExtractError, kErrUnsafe);
      continue;
    }
    const size_t slash = name.rfind('/', isDir ? name.size() - 2 : std::string::npos);
    const std::string rel = p_->fDirectories ? name : (slash == std::string::npos ? name : name.substr(slash + 1));
    Place place;
    place.path = (base / rel).lexically_normal();
    place.folders = Levels(rel);
    {
      const std::string ts = place.path.string(), bs = base.string();
      if (ts.compare(0, bs.size(), bs) != 0 || place.folders.empty()) {
        Message(kErrUnsafe, "Entrée refusée (hors du dossier de destination): " + name);
        Skipped(name, skGeneralExtractError, kErrUnsafe);
        continue;
      }
    }
    if (isDir) {
      if (p_->fDirectories && !p_->fTest) {
        const int fd = OpenFolderBelow(baseFd_, place.folders, true);
        if (fd >= 0) ::close(fd);
        else if (errno == ELOOP) RefuseFolder(name, place, ELOOP);
      }
      continue;
    }
    place.leaf = place.folders.back();
    place.folders.pop_back();
    if (!p_->fTest) {
      place.dir = OpenFolderBelow(baseFd_, place.folders, false);
      if (place.dir < 0 && errno != ENOENT) {
        RefuseFolder(name, place, errno);
        continue;
      }
      struct stat fst{};
      const bool exists = place.dir >= 0 && ::fstatat(place.dir, place.leaf.c_str(), &fst, AT_SYMLINK_NOFOLLOW) == 0;
      const time_t entryTime = (t.st.valid & ZIP_STAT_MTIME) ? t.st.mtime : 0;
      if (exists && !S_ISREG(fst.st_mode)) {
        Message(kErrUnsafe, "Entrée refusée (la destination n'est pas un fichier): " + name);
        Skipped(name, skFileExists, kErrUnsafe);
        continue;
      }
      if (p_->fFreshen && !exists) {
        Skipped(name, skOnFreshen, 0);
        continue;
      }
      if ((p_->fFreshen || p_->fUpdate) && exists && fst.st_mtime + 1 >= entryTime) {
        Skipped(name, skOnFreshen, 0);
        continue;
      }
      if (exists && !p_->fFreshen && !p_->fUpdate && !p_->fOverwrite) {
        const bool older = fst.st_mtime + 1 < entryTime;
        Call(cbOverwrite, static_cast<int32_t>((t.index & 0xFFFF) | (older ? 0x10000 : 0)), 0, name);
        if (cancelled_) break;
        if ((last_.Arg2 & 0xFF) != 1) {
          Skipped(name, skNoOverwrite, 0);
          continue;
        }
      }
    }
    if (ExtractOne(za, t.index, name, t.st, place)) ++done;
  }
  zip_discard(za);
  if (cancelled_) Message(kErrCancelled, "Opération annulée");
  Call(cbEndOfBatch, 0, 0, {});
  return done;
}

}  // namespace

UNZLIB_EXPORT int32_t UnzLibExec(ziprec::UnzipParms* p) {
  return RunCommand<Job>(p);
}

UNZLIB_EXPORT int32_t GetUnzLibVersion() { return kLibVersion; }
