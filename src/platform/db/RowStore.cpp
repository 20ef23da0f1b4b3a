#include "platform/db/RowStore.h"

#include <algorithm>
#include <cstdint>
#include <sqlite3.h>

#include "platform/db/EngineCore.h"

namespace dbe {

RowStore::RowStore(int columns) : columns_(columns) {}

RowStore::~RowStore() {
  sqlite3_finalize(ins_);
  sqlite3_finalize(get_);
  if (db_) sqlite3_close_v2(db_);
}

void RowStore::Append(sqlite3_stmt* row) {
  if (!db_) {
    QList<QVariant> r;
    r.reserve(columns_);
    for (int i = 0; i < columns_; ++i) r << ColumnValue(row, i);
    mem_.push_back(std::move(r));
    ++count_;
    if (int64_t(count_) * std::max(columns_, 1) > inMemoryCells) Spill();
    return;
  }
  for (int i = 0; i < columns_; ++i) sqlite3_bind_value(ins_, i + 1, sqlite3_column_value(row, i));
  const int rc = sqlite3_step(ins_);
  sqlite3_reset(ins_);
  if (rc != SQLITE_DONE) Raise(DBIERR_OSERROR, QString("Résultat de la requête : %1").arg(sqlite3_errmsg(db_)));
  ++count_;
}

void RowStore::Spill() {
  // An empty name: a private database on disk, deleted when closed. Its page cache stays small.
  if (sqlite3_open_v2("", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
    Raise(DBIERR_OSERROR, "Résultat de la requête : base temporaire impossible à créer");
  QString cols, marks;
  for (int i = 0; i < columns_; ++i) {
    cols += QString(i ? ", c%1" : "c%1").arg(i);
    marks += i ? ", ?" : "?";
  }
  const QString sql = QString("PRAGMA cache_size=-2048; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                              " CREATE TABLE r(%1); BEGIN")
                          .arg(columns_ ? cols : QString("c0"));
  if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
    Raise(DBIERR_OSERROR, QString("Résultat de la requête : %1").arg(sqlite3_errmsg(db_)));
  inTx_ = true;
  const QByteArray ins = QString("INSERT INTO r VALUES(%1)").arg(columns_ ? marks : QString("NULL")).toUtf8();
  const QByteArray get = QString("SELECT * FROM r WHERE rowid >= ? ORDER BY rowid LIMIT %1").arg(kPage).toUtf8();
  if (sqlite3_prepare_v2(db_, ins.constData(), -1, &ins_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, get.constData(), -1, &get_, nullptr) != SQLITE_OK)
    Raise(DBIERR_OSERROR, QString("Résultat de la requête : %1").arg(sqlite3_errmsg(db_)));
  for (const QList<QVariant>& r : mem_) Insert(r);
  mem_.clear();
  mem_.shrink_to_fit();
}

void RowStore::Insert(const QList<QVariant>& row) {
  for (int i = 0; i < columns_; ++i) {
    const QVariant& v = row[i];
    if (v.isNull()) sqlite3_bind_null(ins_, i + 1);
    else if (v.typeId() == QMetaType::LongLong) sqlite3_bind_int64(ins_, i + 1, v.toLongLong());
    else if (v.typeId() == QMetaType::Double) sqlite3_bind_double(ins_, i + 1, v.toDouble());
    else {
      const QByteArray u = v.toString().toUtf8();
      sqlite3_bind_text(ins_, i + 1, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
  }
  sqlite3_step(ins_);
  sqlite3_reset(ins_);
}

const QList<QVariant>& RowStore::Row(int i) {
  if (!db_) return mem_.at(size_t(i));
  if (inTx_) {
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    inTx_ = false;
  }
  if (pageStart_ < 0 || i < pageStart_ || i >= pageStart_ + int(mem_.size())) {
    mem_.clear();
    pageStart_ = i - i % kPage;
    sqlite3_bind_int64(get_, 1, pageStart_ + 1);
    while (sqlite3_step(get_) == SQLITE_ROW) {
      QList<QVariant> r;
      r.reserve(columns_);
      for (int c = 0; c < columns_; ++c) r << ColumnValue(get_, c);
      mem_.push_back(std::move(r));
    }
    sqlite3_reset(get_);
  }
  return mem_.at(size_t(i - pageStart_));
}

}  // namespace dbe
