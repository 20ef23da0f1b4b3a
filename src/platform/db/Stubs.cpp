// Temporary: the interface links while the engine is being written.
#include "platform/db/Dataset.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

#define NI throw EDatabaseError("not implemented yet")

EDBEngineError::EDBEngineError(int code) : Exception(QString("Engine error %1").arg(code)), code_(code) {}
TField::TField(TDataSet* ds, int index, const QString& name, TFieldType type, int size)
    : ds_(ds), index_(index), name_(name), type_(type), size_(size) {}
bool TField::IsNull() const { NI; }
void TField::Clear() { NI; }
QString TField::DisplayText() const { NI; }
QString TField::GetAsString() const { NI; }
void TField::SetAsString(const QString&) { NI; }
int TField::GetAsInteger() const { NI; }
void TField::SetAsInteger(const int&) { NI; }
double TField::GetAsFloat() const { NI; }
void TField::SetAsFloat(const double&) { NI; }
Currency TField::GetAsCurrency() const { NI; }
void TField::SetAsCurrency(const Currency&) { NI; }
QDate TField::GetAsDate() const { NI; }
void TField::SetAsDate(const QDate&) { NI; }
QDateTime TField::GetAsDateTime() const { NI; }
void TField::SetAsDateTime(const QDateTime&) { NI; }
bool TField::GetAsBoolean() const { NI; }
void TField::SetAsBoolean(const bool&) { NI; }
QVariant TField::GetValue() const { NI; }
void TField::SetValue(const QVariant&) { NI; }
TDataLink::~TDataLink() {}
void TDataLink::SetDataSet(TDataSet* ds) { ds_ = ds; }
TDataSet::TDataSet(const QString& name) : Name(name) {}
TDataSet::~TDataSet() {}
void TDataSet::Open() { NI; }
void TDataSet::Close() { NI; }
void TDataSet::First() { NI; }
void TDataSet::Last() { NI; }
void TDataSet::Next() { NI; }
void TDataSet::Prior() { NI; }
int TDataSet::MoveBy(int) { NI; }
bool TDataSet::IsEmpty() { NI; }
int TDataSet::RecordCount() { NI; }
int TDataSet::RecNo() { NI; }
void TDataSet::SetRecNo(int) { NI; }
void TDataSet::Refresh() { NI; }
void TDataSet::Append() { NI; }
void TDataSet::Insert() { NI; }
void TDataSet::Edit() { NI; }
void TDataSet::Post() { NI; }
void TDataSet::Cancel() { NI; }
void TDataSet::Delete() { NI; }
void TDataSet::CheckBrowseMode() { NI; }
TBookmark TDataSet::GetBookmark() { NI; }
void TDataSet::GotoBookmark(const TBookmark&) { NI; }
bool TDataSet::BookmarkValid(const TBookmark&) { NI; }
void TDataSet::DisableControls() { NI; }
void TDataSet::EnableControls() { NI; }
bool TDataSet::Locate(const QString&, const QList<QVariant>&, TLocateOptions) { NI; }
bool TDataSet::Locate(const QString&, const QVariant&, TLocateOptions) { NI; }
void TDataSet::SetFilter(const QString&) { NI; }
void TDataSet::SetFiltered(bool) { NI; }
TField* TDataSet::Fields(int) const { NI; }
TField* TDataSet::FieldByName(const QString&) const { NI; }
TField* TDataSet::FindField(const QString&) const { NI; }
QStringList TDataSet::FieldNames() const { NI; }
std::vector<QList<QVariant>> TDataSet::ReadRows(int, int) { NI; }
void TDataSet::AddLink(TDataLink*) { NI; }
void TDataSet::RemoveLink(TDataLink*) { NI; }
class TableCursor {};
class TTable::MasterLink {};
TTable::TTable(const QString& name) : TDataSet(name) {}
TTable::~TTable() {}
void TTable::SetDatabaseName(const QString& f) { databaseName_ = f; }
void TTable::SetTableName(const QString& n) { tableName_ = n; }
void TTable::SetExclusive(bool on) { exclusive_ = on; }
void TTable::SetReadOnly(bool on) { readOnly_ = on; }
void TTable::SetIndexName(const QString&) { NI; }
void TTable::SetIndexFieldNames(const QString&) { NI; }
void TTable::SetMasterSource(TDataSet*, const QString&) { NI; }
void TTable::CreateTable() { NI; }
void TTable::DeleteTable() { NI; }
void TTable::EmptyTable() { NI; }
bool TTable::Exists() const { NI; }
void TTable::FlushBuffers() { NI; }
QString TTable::FilePath() const { NI; }
std::vector<TDataSet::FieldInfo> TTable::DoOpen() { NI; }
void TTable::DoClose() { NI; }
bool TTable::DoFirst(Record&) { NI; }
bool TTable::DoLast(Record&) { NI; }
bool TTable::DoNext(const Record&, Record&) { NI; }
bool TTable::DoPrior(const Record&, Record&) { NI; }
bool TTable::DoReread(Record&) { NI; }
bool TTable::DoGoto(int64_t, Record&) { NI; }
int TTable::DoRecordCount() { NI; }
int TTable::DoRecNo(const Record&) { NI; }
bool TTable::DoSeek(int, Record&) { NI; }
std::vector<TDataSet::Record> TTable::DoReadRows(int, int) { NI; }
bool TTable::DoLocate(const std::vector<int>&, const QList<QVariant>&, TLocateOptions, Record&) { NI; }
void TTable::DoPost(Record&, bool, const std::vector<bool>&) { NI; }
void TTable::DoDelete(const Record&) { NI; }
void TTable::DoFilterChanged() { NI; }
void TTable::DoCheckWritable() { NI; }
void DbiSaveChanges(TTable&) { NI; }
void TSQLStrings::Add(const QString& l) { lines_ << l; }
void TSQLStrings::Clear() { lines_.clear(); }
void TSQLStrings::SetText(const QString& t) { lines_ = t.split('\n'); }
class QueryEngine {};
TQuery::TQuery(const QString& name) : TDataSet(name) {}
TQuery::~TQuery() {}
void TQuery::SetDatabaseName(const QString& f) { databaseName_ = f; }
void TQuery::Prepare() { NI; }
void TQuery::UnPrepare() { NI; }
void TQuery::ExecSQL() { NI; }
TParam* TQuery::ParamByName(const QString&) { NI; }
TParam* TQuery::FindParam(const QString&) { NI; }
std::vector<TDataSet::FieldInfo> TQuery::DoOpen() { NI; }
void TQuery::DoClose() { NI; }
bool TQuery::DoFirst(Record&) { NI; }
bool TQuery::DoLast(Record&) { NI; }
bool TQuery::DoNext(const Record&, Record&) { NI; }
bool TQuery::DoPrior(const Record&, Record&) { NI; }
bool TQuery::DoReread(Record&) { NI; }
bool TQuery::DoGoto(int64_t, Record&) { NI; }
int TQuery::DoRecordCount() { NI; }
int TQuery::DoRecNo(const Record&) { NI; }
bool TQuery::DoSeek(int, Record&) { NI; }
std::vector<TDataSet::Record> TQuery::DoReadRows(int, int) { NI; }
bool TQuery::DoLocate(const std::vector<int>&, const QList<QVariant>&, TLocateOptions, Record&) { NI; }
void TQuery::DoPost(Record&, bool, const std::vector<bool>&) { NI; }
void TQuery::DoDelete(const Record&) { NI; }
void TQuery::DoFilterChanged() { NI; }
void TQuery::DoCheckWritable() { NI; }
TDbTransaction::TDbTransaction(const QString& f) : folder_(f) {}
TDbTransaction::TDbTransaction(TDataSet&) {}
TDbTransaction::~TDbTransaction() {}
void TDbTransaction::Commit() {}
namespace Dbi {
int ProbeTable(const QString&, const QString&, bool) { NI; }
CURProps GetCursorProps(const QString&, const QString&) { NI; }
std::vector<FLDDesc> GetFieldDescs(const QString&, const QString&) { NI; }
std::vector<IDXDesc> GetIndexDescs(const QString&, const QString&) { NI; }
int CreateTable(const QString&, const CRTblDesc&, bool) { NI; }
int DoRestructure(const QString&, const CRTblDesc&) { NI; }
int PackTable(const QString&, const QString&) { NI; }
bool ReadAutoIncCounter(const QString&, const QString&, int32_t&) { NI; }
void WriteAutoIncCounter(const QString&, const QString&, int32_t) { NI; }
int DeleteTableAuxFiles(const QString&, const QString&) { NI; }
QString FindTableFile(const QString&, const QString&) { NI; }
}
