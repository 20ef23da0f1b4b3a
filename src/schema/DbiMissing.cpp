// Stand-in while the build has no table engine: every structure call fails.
#include "platform/db/DbiStructure.h"

EDBEngineError::EDBEngineError(int code)
    : Exception(QStringLiteral("Erreur du moteur de base de données (%1)").arg(code)), code_(code) {}

namespace Dbi {
int ProbeTable(const QString&, const QString&, bool) { return DBIERR_NOTABLE; }
CURProps GetCursorProps(const QString&, const QString&) { throw EDBEngineError(DBIERR_NOTABLE); }
std::vector<FLDDesc> GetFieldDescs(const QString&, const QString&) { throw EDBEngineError(DBIERR_NOTABLE); }
std::vector<IDXDesc> GetIndexDescs(const QString&, const QString&) { throw EDBEngineError(DBIERR_NOTABLE); }
int CreateTable(const QString&, const CRTblDesc&, bool) { return DBIERR_NOTABLE; }
int DoRestructure(const QString&, const CRTblDesc&) { return DBIERR_NOTABLE; }
int PackTable(const QString&, const QString&) { return DBIERR_NOTABLE; }
}  // namespace Dbi
