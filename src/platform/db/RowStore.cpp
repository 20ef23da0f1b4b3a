#include "platform/db/RowStore.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "platform/db/EngineCore.h"

namespace dbe {

namespace {
// Each value: one tag byte, then 8 bytes (a whole number or a real) or a length and the UTF-8
// text. Rows are written as SQLite gives them, in order, never updated: no database is needed.
constexpr char kNull = 'N', kInt = 'I', kReal = 'F', kText = 'T';
constexpr size_t kWriteAt = 1 << 20;  // bytes gathered before each write

[[noreturn]] void FileFailed(const char* what) {
  Raise(DBIERR_OSERROR, QString("Résultat de la requête : %1 du fichier temporaire impossible (%2)")
                            .arg(QString::fromUtf8(what), QString::fromLocal8Bit(strerror(errno))));
}

template <typename T>
void Put(std::string& out, char tag, T v) {
  out += tag;
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void PutText(std::string& out, const char* text, uint32_t bytes) {
  Put(out, kText, bytes);
  out.append(text, bytes);
}
}  // namespace

RowStore::RowStore(int columns) : columns_(columns) {}

RowStore::~RowStore() {
  if (fd_ >= 0) ::close(fd_);
}

void RowStore::Append(sqlite3_stmt* row) {
  if (fd_ < 0) {
    QList<QVariant> r;
    r.reserve(columns_);
    for (int i = 0; i < columns_; ++i) r << ColumnValue(row, i);
    mem_.push_back(std::move(r));
    ++count_;
    if (int64_t(count_) * std::max(columns_, 1) > inMemoryCells) Spill();
    return;
  }
  if (count_ % kPage == 0) pageAt_.push_back(written_ + int64_t(pending_.size()));
  for (int i = 0; i < columns_; ++i) {
    switch (sqlite3_column_type(row, i)) {
      case SQLITE_INTEGER: Put(pending_, kInt, int64_t(sqlite3_column_int64(row, i))); break;
      case SQLITE_FLOAT: Put(pending_, kReal, sqlite3_column_double(row, i)); break;
      case SQLITE_NULL: pending_ += kNull; break;
      default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(row, i));
        PutText(pending_, t ? t : "", uint32_t(sqlite3_column_bytes(row, i)));
      }
    }
  }
  ++count_;
  if (pending_.size() >= kWriteAt) WritePending();
}

void RowStore::Spill() {
  QByteArray path = QFile::encodeName(QDir::tempPath() + "/zelm-rows-XXXXXX");
  fd_ = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd_ < 0) FileFailed("création");
  // Nameless from now on: the file goes with its descriptor, however the program ends.
  ::unlink(path.constData());
  for (size_t r = 0; r < mem_.size(); ++r) {
    if (r % kPage == 0) pageAt_.push_back(written_ + int64_t(pending_.size()));
    Encode(mem_[r]);
    if (pending_.size() >= kWriteAt) WritePending();
  }
  mem_.clear();
  mem_.shrink_to_fit();
}

void RowStore::Encode(const QList<QVariant>& row) {
  for (const QVariant& v : row) {
    if (v.isNull()) {
      pending_ += kNull;
    } else if (v.typeId() == QMetaType::LongLong) {
      Put(pending_, kInt, int64_t(v.toLongLong()));
    } else if (v.typeId() == QMetaType::Double) {
      Put(pending_, kReal, v.toDouble());
    } else {
      const QByteArray u = v.toString().toUtf8();
      PutText(pending_, u.constData(), uint32_t(u.size()));
    }
  }
}

void RowStore::WritePending() {
  const char* p = pending_.data();
  size_t left = pending_.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) FileFailed("écriture");
    p += n;
    left -= size_t(n);
  }
  written_ += int64_t(pending_.size());
  pending_.clear();
}

const QList<QVariant>& RowStore::Row(int i) {
  if (fd_ < 0) return mem_.at(size_t(i));
  if (!pending_.empty()) WritePending();
  if (pageStart_ < 0 || i < pageStart_ || i >= pageStart_ + int(mem_.size())) {
    mem_.clear();
    pageStart_ = -1;
    const size_t page = size_t(i / kPage);
    const int64_t from = pageAt_.at(page), to = page + 1 < pageAt_.size() ? pageAt_[page + 1] : written_;
    std::string bytes(size_t(to - from), '\0');
    for (size_t got = 0; got < bytes.size();) {
      const ssize_t n = ::pread(fd_, bytes.data() + got, bytes.size() - got, from + int64_t(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) FileFailed("lecture");
      got += size_t(n);
    }
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    auto need = [&](size_t n) {
      if (size_t(end - p) >= n) return;
      errno = EIO;
      FileFailed("lecture");
    };
    auto take = [&](void* to, size_t n) {
      need(n);
      std::memcpy(to, p, n);
      p += n;
    };
    const int rows = std::min(kPage, count_ - int(page) * kPage);
    mem_.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
      QList<QVariant> row;
      row.reserve(columns_);
      for (int c = 0; c < columns_; ++c) {
        char tag = kNull;
        take(&tag, 1);
        switch (tag) {
          case kInt: {
            int64_t n;
            take(&n, sizeof n);
            row << QVariant(qlonglong(n));
            break;
          }
          case kReal: {
            double d;
            take(&d, sizeof d);
            row << QVariant(d);
            break;
          }
          case kText: {
            uint32_t n;
            take(&n, sizeof n);
            need(n);
            row << QVariant(QString::fromUtf8(p, qsizetype(n)));
            p += n;
            break;
          }
          default: row << QVariant();
        }
      }
      mem_.push_back(std::move(row));
    }
    pageStart_ = int(page) * kPage;
  }
  return mem_.at(size_t(i - pageStart_));
}

}  // namespace dbe
