// Temporary: the interface links while the engine is being written.
#include "platform/db/Dataset.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

#define NI throw EDatabaseError("not implemented yet")

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
