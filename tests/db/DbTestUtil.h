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

// CLIENT.DB as the application's schema gives it.
inline CRTblDesc ClientDesc(int nomWidth = 40) {
  CRTblDesc d;
  d.szTblName = "CLIENT.DB";
  d.fields = {Fld("Id", fldZSTRING, 4), Fld("Ord", fldINT32), Fld("Nom", fldZSTRING, int16_t(nomWidth)),
              Fld("Adr", fldZSTRING, 50), Fld("Tel", fldZSTRING, 20), Fld("Fax", fldZSTRING, 20),
              Fld("Site", fldZSTRING, 1), Fld("Region", fldZSTRING, 2)};
  for (int i = 0; i <= 5; ++i) d.fields.push_back(Fld(QString("Ab%1").arg(i), fldFLOAT, 1, fldstMONEY));
  d.indexes = {Idx("", {1}, true), Idx("iNom", {3}, false, true), Idx("iOrd", {2}, false, true),
               Idx("iRegion", {8}, false, true), Idx("iRegOrd", {8, 2}, false, true)};
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

inline CRTblDesc DistoDesc() {
  CRTblDesc d;
  d.szTblName = "Disto.DB";
  d.fields = {Fld("DateJ", fldDATE), Fld("Id_Client", fldZSTRING, 4), Fld("Id_Titre", fldZSTRING, 4),
              Fld("Qte_Prise", fldINT32), Fld("PU", fldFLOAT, 1, fldstMONEY)};
  d.indexes = {Idx("", {1, 2, 3}, true)};
  return d;
}

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
inline std::vector<CRTblDesc> AppSchema() {
  auto table = [](const char* name, std::vector<FLDDesc> f, std::vector<IDXDesc> x) {
    CRTblDesc d;
    d.szTblName = name;
    d.fields = f;
    d.indexes = x;
    return d;
  };
  auto money = [](const char* n) { return Fld(n, fldFLOAT, 1, fldstMONEY); };
  std::vector<CRTblDesc> s;
  s.push_back(ClientDesc());
  s.push_back(DistoDesc());
  s.push_back(table("Ha.DB", {Fld("DateH", fldDATE), Fld("Id", fldZSTRING, 4), Fld("Qte", fldINT32), money("Pu")},
                    {Idx("", {1, 2}, true)}));
  s.push_back(table("IMPRIMERIE.DB", {Fld("Id", fldZSTRING, 1), Fld("Libelle", fldZSTRING, 30)},
                    {Idx("", {1}, true), Idx("iLibelle", {2}, false, true)}));
  std::vector<FLDDesc> liste{Fld("Id_Client", fldZSTRING, 4), Fld("Ord_Client", fldINT16)};
  for (int i = 1; i <= 15; ++i) {
    liste.push_back(Fld(QString("Titre%1").arg(i), fldZSTRING, 4));
    liste.push_back(Fld(QString("Qte%1").arg(i), fldINT32));
  }
  s.push_back(table("Liste.DB", liste, {}));
  s.push_back(table("OrgaD.DB", {Fld("Id_Region", fldZSTRING, 2), Fld("Id_Titre", fldZSTRING, 4), Fld("Ord_Titre", fldINT16)}, {}));
  s.push_back(table("Region.db", {Fld("Id", fldZSTRING, 2), Fld("Libelle", fldZSTRING, 30)},
                    {Idx("", {1}, true), Idx("iLibelle", {2}, false, true)}));
  s.push_back(table("Retour.DB", {Fld("Week", fldDATE), Fld("Id_Client", fldZSTRING, 4), Fld("Id_Titre", fldZSTRING, 4), Fld("Qte", fldINT32)},
                    {Idx("", {1, 2, 3}, true)}));
  s.push_back(table("Site.DB", {Fld("Id", fldZSTRING, 1), Fld("Libelle", fldZSTRING, 30)},
                    {Idx("", {1}, true), Idx("iLibelle", {2}, false, true)}));
  s.push_back(table("Titre.DB", {Fld("Id", fldZSTRING, 4), Fld("Nord", fldINT16), Fld("Couleur", fldINT32), Fld("Titre", fldZSTRING, 30),
                                 Fld("Diminutif", fldZSTRING, 15), Fld("Num", fldINT32), money("Pha"), money("Prix"),
                                 Fld("Periode", fldZSTRING, 1), Fld("Site", fldZSTRING, 1), Fld("Imprimerie", fldZSTRING, 1), Fld("Liste", fldBOOL)},
                    {Idx("", {1}, true), Idx("iOrd", {2}, false, true)}));
  s.push_back(table("TLISTE.DB", {Fld("NoListe", fldINT16), Fld("Nord", fldINT16), Fld("ID_Region", fldZSTRING, 2), Fld("ID_Titre", fldZSTRING, 4),
                                  Fld("TitreListe", fldZSTRING, 20)}, {}));
  s.push_back(table("VCR.DB", {Fld("Week", fldDATE), Fld("Id_Client", fldZSTRING, 4), money("Montant")}, {Idx("", {1, 2}, true)}));
  return s;
}
