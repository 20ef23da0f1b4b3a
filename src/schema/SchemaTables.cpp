#include "schema/SchemaTables.h"

#include "schema/AppSchema.h"

CRTblDesc CreateDescOf(const TDescBlock& block) {
  CRTblDesc d;
  d.szTblName = block.fileName;
  d.eType = TableType::Paradox;
  for (FLDDesc f : block.fields) {
    f.iFldNum = 0;
    f.op = CrtOp::Add;
    d.fields.push_back(f);
  }
  for (IDXDesc x : block.indexes) {
    x.iIndexId = 0;
    x.op = CrtOp::Add;
    d.indexes.push_back(x);
  }
  return d;
}

std::vector<CRTblDesc> ApplicationTableDescs() {
  std::vector<CRTblDesc> tables;
  for (const TDescBlock& b : DescriptorBlocks(ApplicationDescriptor()))
    if (!b.fileName.isEmpty()) tables.push_back(CreateDescOf(b));
  return tables;
}

CRTblDesc ApplicationTableDesc(const QString& fileName) {
  for (const TDescBlock& b : DescriptorBlocks(ApplicationDescriptor()))
    if (b.fileName.compare(fileName, Qt::CaseInsensitive) == 0) return CreateDescOf(b);
  throw Exception("Le schéma ne décrit pas la table " + fileName + ".");
}
