// Stand-in while the build has no table engine: no table can be reached.
#include "schema/DbEngine.h"

EDBEngineError::EDBEngineError(int code)
    : Exception(QStringLiteral("Erreur du moteur de base de données (%1)").arg(code)), code_(code) {}

namespace {

class NoEngine : public DbEngineCalls {
 public:
  int ProbeTable(const QString&, const QString&, bool) override { return DBIERR_NOTABLE; }
  CURProps GetCursorProps(const QString&, const QString&) override { throw EDBEngineError(DBIERR_NOTABLE); }
  std::vector<FLDDesc> GetFieldDescs(const QString&, const QString&) override {
    throw EDBEngineError(DBIERR_NOTABLE);
  }
  std::vector<IDXDesc> GetIndexDescs(const QString&, const QString&) override {
    throw EDBEngineError(DBIERR_NOTABLE);
  }
  int CreateTable(const QString&, const CRTblDesc&) override { return DBIERR_NOTABLE; }
  int DoRestructure(const QString&, const CRTblDesc&) override { return DBIERR_NOTABLE; }
  std::optional<int64_t> HighestValue(const QString&, const QString&, const QString&) override {
    throw EDBEngineError(DBIERR_NOTABLE);
  }
  bool ReadAutoIncCounter(const QString&, const QString&, int32_t&) override { return false; }
  void WriteAutoIncCounter(const QString&, const QString&, int32_t) override {
    throw EDBEngineError(DBIERR_NOTABLE);
  }
};

}  // namespace

DbEngineCalls& DefaultEngineCalls() {
  static NoEngine calls;
  return calls;
}
