#include "schema/DbEngine.h"

namespace {

// The program's table engine.
class EngineCalls : public DbEngineCalls {
 public:
  int ProbeTable(const QString& folder, const QString& fileName, bool exclusive) override {
    return Dbi::ProbeTable(folder, fileName, exclusive);
  }
  CURProps GetCursorProps(const QString& folder, const QString& fileName) override {
    return Dbi::GetCursorProps(folder, fileName);
  }
  std::vector<FLDDesc> GetFieldDescs(const QString& folder, const QString& fileName) override {
    return Dbi::GetFieldDescs(folder, fileName);
  }
  std::vector<IDXDesc> GetIndexDescs(const QString& folder, const QString& fileName) override {
    return Dbi::GetIndexDescs(folder, fileName);
  }
  int CreateTable(const QString& folder, const CRTblDesc& desc) override {
    return Dbi::CreateTable(folder, desc, true);
  }
  int DoRestructure(const QString& folder, const CRTblDesc& desc) override {
    return Dbi::DoRestructure(folder, desc);
  }
  std::optional<int64_t> HighestValue(const QString& folder, const QString& fileName,
                                      const QString& fieldName) override {
    return std::nullopt;  // TODO: through the engine's query once it lands
  }
};

}  // namespace

DbEngineCalls& DefaultEngineCalls() {
  static EngineCalls calls;
  return calls;
}
