#include "schema/SchemaTables.h"

#include <QFile>

static void InitSchemaResource() { Q_INIT_RESOURCE(schema); }

QStringList ApplicationDescriptor() {
  static const bool registered = (InitSchemaResource(), true);
  (void)registered;
  QFile f(QStringLiteral(":/schema/AppSchema.txt"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
  for (QString& l : lines)
    if (l.endsWith('\r')) l.chop(1);
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

namespace {

const std::vector<TDescBlock>& ApplicationBlocks() {
  static const std::vector<TDescBlock> blocks = DescriptorBlocks(ApplicationDescriptor());
  return blocks;
}

}  // namespace

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
  for (const TDescBlock& b : ApplicationBlocks())
    if (!b.fileName.isEmpty()) tables.push_back(CreateDescOf(b));
  return tables;
}

const TDescBlock* ApplicationBlock(const QString& fileName) {
  for (const TDescBlock& b : ApplicationBlocks())
    if (b.fileName.compare(fileName, Qt::CaseInsensitive) == 0) return &b;
  return nullptr;
}

QStringList ApplicationTableFiles() {
  QStringList out;
  for (const TDescBlock& b : ApplicationBlocks())
    if (!b.fileName.isEmpty()) out << b.fileName;
  return out;
}

CRTblDesc ApplicationTableDesc(const QString& fileName) {
  if (const TDescBlock* b = ApplicationBlock(fileName)) return CreateDescOf(*b);
  throw Exception("Le schéma ne décrit pas la table " + fileName + ".");
}

QStringList ApplicationBlockLines(const QString& fileName) {
  const TDescBlock* b = ApplicationBlock(fileName);
  return b ? ApplicationDescriptor().mid(b->firstLine, b->lastLine - b->firstLine + 1) : QStringList();
}
