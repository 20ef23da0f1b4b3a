// Helpers of the engine's tests: schema tables as the application describes them, raw SQL on a file.
#pragma once
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <functional>
#include <QStringList>
#include <ostream>
#include <sqlite3.h>

#include "platform/db/DbiStructure.h"
#include "schema/SchemaTables.h"
#include "support/TestSupport.h"

// The engine error code a call raises, 0 when it raises none.
inline int CodeOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

inline FLDDesc Fld(const QString& name, uint16_t type, int16_t units1 = 1, uint16_t sub = fldstNONE) {
  return FieldToAdd(name, type, units1, sub);
}

inline IDXDesc Idx(const QString& name, std::vector<uint16_t> keys, bool primary, bool caseIns = false) {
  return IndexToAdd(name, std::move(keys), primary, caseIns);
}

// CLIENT.DB as the application's schema gives it; with another width of Nom, a client table of
// another layout.
inline CRTblDesc ClientDesc(int nomWidth = 0) {
  CRTblDesc d = ApplicationTableDesc("CLIENT.DB");
  if (nomWidth > 0)
    for (FLDDesc& f : d.fields)
      if (f.szName == "Nom") f.iUnits1 = int16_t(nomWidth);
  return d;
}

// A table keyed on an auto-increment N, with a text S.
inline CRTblDesc AutoDesc(const QString& name = "AUTO.DB", int16_t textWidth = 8) {
  CRTblDesc d;
  d.szTblName = name;
  d.fields = {Fld("N", fldINT32, 1, fldstAUTOINC), Fld("S", fldZSTRING, textWidth)};
  d.indexes = {Idx("", {1}, true)};
  return d;
}

inline CRTblDesc DistoDesc() { return ApplicationTableDesc("Disto.DB"); }

// Runs SQL straight on a file (no engine), for setting up and checking stored rows.
inline QStringList RawSql(const QString& path, const QString& sql) {
  sqlite3* db = nullptr;
  QStringList out;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return {"open failed"};
  sqlite3_stmt* s = nullptr;
  const QByteArray u = sql.toUtf8();
  const char* tail = u.constData();
  while (tail && *tail) {
    if (sqlite3_prepare_v2(db, tail, -1, &s, &tail) != SQLITE_OK) {
      out << QString("error: ") + sqlite3_errmsg(db);
      break;
    }
    if (!s) break;
    while (sqlite3_step(s) == SQLITE_ROW) {
      QStringList row;
      for (int i = 0; i < sqlite3_column_count(s); ++i)
        row << (sqlite3_column_type(s, i) == SQLITE_NULL ? QString("NULL")
                                                          : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i))));
      out << row.join('|');
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

// Readable lists in test failures (texts: support/TestSupport.h).
// How many descriptors this process holds open on the file.
inline int OpenHandles(const QString& path) {
  int n = 0;
  const QString target = QFileInfo(path).canonicalFilePath();
  for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
    if (QFileInfo("/proc/self/fd/" + fd).symLinkTarget() == target) n++;
  return n;
}

inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(", ").toStdString() << ']'; }

// Every data table of the application (all Paradox, in the data folder).
inline std::vector<CRTblDesc> AppSchema() { return ApplicationTableDescs(); }
