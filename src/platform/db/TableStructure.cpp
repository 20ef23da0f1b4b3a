// Creating, deleting, emptying and flushing a table file through its TTable.
#include "platform/db/Table.h"

#include <QDir>
#include <QFile>

#include "platform/db/KeysetCursor.h"
#include "platform/db/GroupCommit.h"

using namespace dbe;

void TTable::CreateTable() {
  CheckInactive();
  CRTblDesc d;
  d.szTblName = tableName_;
  d.eType = tableType_ == ttDBase ? TableType::DBase : TableType::Paradox;
  for (const TFieldDef& fd : FieldDefs.Items()) {
    FLDDesc f;
    f.szName = fd.Name;
    f.op = CrtOp::Add;
    switch (fd.DataType) {
      case ftString: f.iFldType = fldZSTRING; f.iUnits1 = int16_t(fd.Size > 0 ? fd.Size : 20); break;
      case ftSmallint: f.iFldType = fldINT16; break;
      case ftInteger: f.iFldType = fldINT32; break;
      case ftAutoInc: f.iFldType = fldINT32; f.iSubType = fldstAUTOINC; break;
      case ftBoolean: f.iFldType = fldBOOL; break;
      case ftFloat: f.iFldType = fldFLOAT; break;
      case ftCurrency: f.iFldType = fldFLOAT; f.iSubType = fldstMONEY; break;
      case ftDate: f.iFldType = fldDATE; break;
      default: Raise(DBIERR_INVALIDPARAM, QString("Champ %1 : ce type de champ ne peut pas être stocké").arg(fd.Name));
    }
    d.fields.push_back(f);
  }
  for (const TIndexDef& xd : IndexDefs.Items()) {
    IDXDesc x;
    x.bPrimary = xd.Options & ixPrimary;
    x.szName = x.bPrimary ? QString() : xd.Name;
    x.bUnique = x.bPrimary || (xd.Options & ixUnique);
    x.bDescending = xd.Options & ixDescending;
    x.bCaseInsensitive = xd.Options & ixCaseInsensitive;
    x.bMaintained = true;
    x.op = CrtOp::Add;
    for (const QString& n : xd.Fields.split(';', Qt::SkipEmptyParts)) {
      int num = 0;
      for (size_t i = 0; i < d.fields.size(); ++i)
        if (d.fields[i].szName.compare(n.trimmed(), Qt::CaseInsensitive) == 0) num = int(i) + 1;
      if (!num) Raise(DBIERR_INVALIDPARAM, QString("Index %1 : le champ %2 n'est pas défini").arg(xd.Name, n));
      x.aiKeyFld.push_back(uint16_t(num));
    }
    x.iFldsInKey = uint16_t(x.aiKeyFld.size());
    d.indexes.push_back(x);
  }
  const int code = Dbi::CreateTable(databaseName_, d, true);
  if (code != DBIERR_NONE) throw EDBEngineError(code, Dbi::LastErrorText());
}

void TTable::DeleteTable() {
  CheckInactive();
  const QString path = Dbi::FindTableFile(databaseName_, tableName_);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(FilePath()));
  TableFile* r = Engine::Get().Reserve(path);
  const bool ok = QFile::remove(path);
  Engine::Get().Unreserve(r);
  if (!ok) Raise(DBIERR_OSERROR, "Suppression impossible : " + QDir::toNativeSeparators(path));
  QFile::remove(path + "-journal");
  RemoveCompanions(path);
}

void TTable::EmptyTable() {
  const bool wasActive = Active();
  if (wasActive) CheckBrowseMode();
  const QString path = Dbi::FindTableFile(databaseName_, tableName_);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(FilePath()));
  TableFile* f = wasActive ? cursor_->f : Engine::Get().Open(path, Engine::Mode::Shared);
  try {
    if (readOnly_) Raise(DBIERR_READONLY, QString("Table : %1").arg(path));
    Engine::Get().Gather(f);
    Engine::Get().BeforeWrite(f);
    Stmt s(f->conn, QString("DELETE FROM %1").arg(f->Q()));
    s.Step();
    Engine::Get().AfterWrite(f);
  } catch (...) {
    if (!wasActive) Engine::Get().Close(f);
    throw;
  }
  if (!wasActive) Engine::Get().Close(f);
  else Resync();
}

void TTable::FlushBuffers() {
  CheckActive();
  // A post outside a transaction is on disk when it returns; inside one, the transaction's end
  // is the flush.
}

void DbiSaveChanges(TTable& table) { table.FlushBuffers(); }
