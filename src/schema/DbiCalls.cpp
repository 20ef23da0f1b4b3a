#include "schema/DbEngine.h"

#include <QFile>
#include <QtEndian>

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
  bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value) override {
    QFile f(FindTableFile(folder, fileName));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(Dbi::kAutoIncOffset)) return false;
    const QByteArray b = f.read(4);
    if (b.size() < 4) return false;
    value = qFromLittleEndian<qint32>(b.constData());
    return true;
  }
  void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value) override {
    QFile f(FindTableFile(folder, fileName));
    char b[4];
    qToLittleEndian<qint32>(value, b);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(Dbi::kAutoIncOffset) || f.write(b, 4) != 4)
      throw EDBEngineError(DBIERR_FILEBUSY);
  }
};

}  // namespace

DbEngineCalls& DefaultEngineCalls() {
  static EngineCalls calls;
  return calls;
}
