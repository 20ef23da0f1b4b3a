#include "platform/db/Transaction.h"

#include <QDebug>

#include "platform/db/EngineCore.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

TDbTransaction::TDbTransaction(const QString& databaseName) : folder_(databaseName) {
  dbe::Engine::Get().BeginScope(folder_);
  active_ = true;
}

static QString FolderOf(TDataSet& ds) {
  if (auto* t = dynamic_cast<TTable*>(&ds)) return t->DatabaseName();
  if (auto* q = dynamic_cast<TQuery*>(&ds)) return q->DatabaseName();
  return {};
}

TDbTransaction::TDbTransaction(TDataSet& dataSet) : TDbTransaction(FolderOf(dataSet)) {}

TDbTransaction::~TDbTransaction() {
  if (!active_) return;
  active_ = false;
  try {
    dbe::Engine::Get().EndScope(folder_, true);
  } catch (const Exception& e) {
    qWarning("The rows of a transaction could not be written: %s", qPrintable(e.Message()));
  }
}

void TDbTransaction::Commit() {
  if (!active_) return;
  active_ = false;
  dbe::Engine::Get().EndScope(folder_, true);
}

void TDbTransaction::Rollback() {
  if (!active_) return;
  active_ = false;
  dbe::Engine::Get().RollbackScope(folder_);
}
