#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QVariant>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/db/Query.h"
#include "schema/DbEngine.h"
#include "schema/TableVerdict.h"

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
    TQuery q;
    q.SetDatabaseName(folder);
    q.SQL.Add("Select max(" + fieldName + ") as nKey From " + fileName);
    q.Open();
    TField* f = q.FieldByName("NKEY");
    std::optional<int64_t> v;
    if (!f->IsNull()) v = f->GetValue().toLongLong();
    q.Close();
    return v;
  }
  bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value) override {
    return Dbi::ReadAutoIncCounter(folder, fileName, value);
  }
  void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value) override {
    Dbi::WriteAutoIncCounter(folder, fileName, value);
  }
  QString CheckIntegrity(const QString& folder, const QString& fileName) override {
    return CheckTableIntegrity(folder, fileName);
  }
  QStringList ForeignObjects(const QString& folder, const QString& fileName) override {
    return Dbi::ReadTableFileContents(folder, fileName).foreign;
  }
  QStringList StructureDifferences(const QString& folder, const QString& fileName, const TDescBlock& schema) override {
    const Dbi::TableFileContents held = Dbi::ReadTableFileContents(folder, fileName);
    QStringList out = FileAgainstDescription(held, schema);
    if (held.rowsTable && !held.strict) out << "la table ne contrôle pas le type de ses valeurs (elle n'est pas STRICT)";
    return out;
  }
  std::future<Dbi::ValuesBeyondFields> StartValuesCheck(const QString& folder, const QString& fileName,
                                                        const std::vector<FLDDesc>& fields) override {
    return Dbi::StartValuesCheck(folder, fileName, fields);
  }
  int RemoveForeignObjects(const QString& folder, const QString& fileName) override {
    return Dbi::RemoveForeignObjects(folder, fileName);
  }
  QString LastErrorText() override { return Dbi::LastErrorText(); }
  std::vector<std::pair<QString, int64_t>> LastRemovedColumns() override { return Dbi::LastRemovedColumns(); }
  bool TableFileEmpty(const QString& folder, const QString& fileName) override {
    const QString path = FindTableFile(folder, fileName);
    return !path.isEmpty() && QFileInfo(path).isFile() && QFileInfo(path).size() == 0;
  }
  QStringList UndescribedIndexes(const QString& folder, const QString& fileName) override {
    return Dbi::UndescribedIndexes(folder, fileName);
  }
  int64_t DuplicateKeys(const QString& folder, const QString& fileName, const IDXDesc& key) override {
    return Dbi::DuplicateKeys(folder, fileName, key);
  }
  int BuildIndexes(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                   const std::vector<IDXDesc>& indexes, QString& why) override {
    return Dbi::BuildIndexes(folder, fileName, fields, indexes, why);
  }
  int RestoreDescription(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                              QString& why) override {
    return Dbi::RestoreDescription(folder, fileName, fields, why);
  }
  QString WriteObstacle(const QString& folder, const QString& fileName, bool ofFolder) override {
    // Tried, not read from the permissions: root passes them, a read-only mount does not.
    if (ofFolder) {
      QTemporaryFile probe(QDir(folder).filePath("~zelm-XXXXXX.tmp"));
      if (probe.open()) return {};
      return QString("Le dossier des données %1 ne peut pas être écrit (lecture seule ou droits insuffisants).")
          .arg(QDir::toNativeSeparators(QDir(folder).absolutePath()));
    }
    const QString path = FindTableFile(folder, fileName);
    if (path.isEmpty()) {
      // Something else than a file under the table's name: no table can be made there.
      for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (e.fileName().compare(fileName, Qt::CaseInsensitive) == 0 && !e.isFile())
          return QString(e.isDir() ? "%1 est un dossier, à la place du fichier de la table"
                                   : "%1 n'est pas un fichier, à la place du fichier de la table")
              .arg(QDir::toNativeSeparators(e.absoluteFilePath()));
      return {};
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      ::close(fd);
      return {};
    }
    if (errno != EACCES && errno != EPERM && errno != EROFS) return {};
    return QString("le fichier %1 est en lecture seule").arg(QDir::toNativeSeparators(path));
  }
};

}  // namespace

DbEngineCalls& DefaultEngineCalls() {
  static EngineCalls calls;
  return calls;
}
