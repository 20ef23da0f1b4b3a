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

const TDescBlock* ApplicationBlock(const QString& fileName) {
  static const std::vector<TDescBlock> blocks = DescriptorBlocks(ApplicationDescriptor());
  for (const TDescBlock& b : blocks)
    if (b.fileName.compare(fileName, Qt::CaseInsensitive) == 0) return &b;
  return nullptr;
}

CRTblDesc ApplicationTableDesc(const QString& fileName) {
  if (const TDescBlock* b = ApplicationBlock(fileName)) return CreateDescOf(*b);
  throw Exception("Le schéma ne décrit pas la table " + fileName + ".");
}

QStringList ApplicationBlockLines(const QString& fileName) {
  const QStringList lines = ApplicationDescriptor();
  for (int k = 0; k < lines.size(); ++k) {
    if (DescKeyword(lines[k]) != "OBJECT" || lines[k].section(' ', 2).trimmed().compare(fileName, Qt::CaseInsensitive) != 0)
      continue;
    int end = k;
    while (end + 1 < lines.size() && DescKeyword(lines[end]) != "END") ++end;
    return lines.mid(k, end - k + 1);
  }
  return {};
}
