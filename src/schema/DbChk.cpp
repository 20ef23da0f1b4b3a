#include "schema/DbChk.h"

#include <algorithm>
#include <future>
#include <limits>

#include "schema/DbEngine.h"
#include "schema/SchemaTables.h"
#include "schema/TableVerdict.h"

namespace {

bool SameText(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString BaseName(const QString& fileName) {
  const int dot = fileName.lastIndexOf('.');
  return (dot < 0 ? fileName : fileName.left(dot)).trimmed().toUpper();
}

}  // namespace

TDbCheck::TDbCheck(QObject* owner) : QObject(owner), engine_(&DefaultEngineCalls()) {}

TDbCheck::~TDbCheck() = default;

void TDbCheck::SetEngine(DbEngineCalls* engine) {
  engine_ = engine ? engine : &DefaultEngineCalls();
}

QString TDbCheck::TableLabel(const QString& fileName) const {
  const QString base = BaseName(fileName);
  for (const QString& l : readFiles_) {
    int sep = l.indexOf('=');
    const int bar = l.indexOf('|');
    if (sep < 0 || (bar >= 0 && bar < sep)) sep = bar;
    if (sep < 0) continue;
    if (BaseName(l.left(sep)) == base) return l.mid(sep + 1);
  }
  return fileName;
}

void TDbCheck::ReportError(const QString& label, int code, const QString& what, const QString& detail) {
  const EDBEngineError e(code);
  // A folder or file that cannot be written is the cause the operator can act on; the engine's
  // own code for it says only "system error".
  const QString obstacle = what.isEmpty() ? QString() : engine_->WriteObstacle(folder_, tableName_, true);
  const QString fileObstacle =
      what.isEmpty() || !obstacle.isEmpty() ? QString() : engine_->WriteObstacle(folder_, tableName_, false);
  if (!obstacle.isEmpty()) {
    folderObstacle_ = obstacle;
    errors_ << label + " : " + what + " (dossier en lecture seule).";
  } else if (!fileObstacle.isEmpty()) {
    errors_ << label + " : " + fileObstacle + " ; " + what + ".";
  } else {
    // The engine's own account names the field, row and value a rebuild could not carry; the
    // bare code ("Paramètre incorrect.") would tell the operator nothing.
    QString why = detail.isEmpty() ? e.Message() : detail;
    why.replace('\n', ' ');
    if (why.isEmpty()) why = QString("erreur %1").arg(code);
    errors_ << label + " : " + (what.isEmpty() ? why : what + " : " + why);
  }
  if (OnError) OnError(this, e);
}

bool TDbCheck::Check() {
  errors_.clear();
  unchecked_.clear();
  notes_.clear();
  folderObstacle_.clear();
  line_ = 0;
  folder_ = AddBackslash(IsAlias(correctPath_) ? AliasDirectory(correctPath_) : correctPath_);
  // A handler may change the property; the walk keeps the text it started with.
  const QStringList lines = descriptor_;
  while (line_ < lines.size()) {
    if (DescKeyword(lines[line_]) != "OBJECT") {  // stray line between blocks
      ++line_;
      continue;
    }
    TDescBlock block = ParseBlock(lines, line_);
    if (block.fileName.isEmpty()) {  // an "object" line naming no table
      ++line_;
      continue;
    }
    tableName_ = block.fileName;
    const QString label = TableLabel(tableName_);
    TChkMessage kind = CHK_NONE;

    int probe = engine_->ProbeTable(folder_, tableName_, false);
    // Its description lost beside rows that are there: written again from the rows table and the
    // schema, then the table is checked as any other.
    bool lostDescription = false;
    if (probe == DBIERR_NOTABLE) {
      QString why;
      const int rc = engine_->RestoreDescription(folder_, tableName_, block.fields, why);
      if (rc == DBIERR_NONE) {
        notes_ << label + " : la description de la table dans son fichier manquait ou était vide ; refaite d'après ses "
                          "colonnes et le schéma, toutes ses valeurs gardées.";
        kind = CHK_TABLEMODIFY;
        probe = engine_->ProbeTable(folder_, tableName_, false);
      } else if (rc != DBIERR_NOTABLE) {
        lostDescription = true;
        ReportError(label, rc, "sa description manque et ne peut pas être refaite", why);
      }
    }
    const bool readable = probe == DBIERR_NONE || probe == DBIERR_INDEXOUTOFDATE;
    // An empty file (a copy that failed) holds no table: it is made as a missing one is.
    const bool emptyFile =
        !readable && probe != DBIERR_NOSUCHTABLE && engine_->TableFileEmpty(folder_, tableName_);
    if (emptyFile) probe = DBIERR_NOSUCHTABLE;
    // Every value of the rows against the schema's fields, read beside the page check and the
    // reading of the table, and before anything writes to the file.
    std::future<Dbi::ValuesBeyondFields> valuesRead;
    if (readable) valuesRead = engine_->StartValuesCheck(folder_, tableName_, block.fields);
    QString beyond;
    auto valuesJudged = [&] {
      if (valuesRead.valid()) beyond = ValuesBeyondText(valuesRead.get());
    };
    // Damaged pages: a restructure would copy what it can read and drop the rest. The file stays
    // as it is, for what may still be saved from it, and the report names it.
    const QString damage = readable ? engine_->CheckIntegrity(folder_, tableName_) : QString();
    if (probe == DBIERR_NOSUCHTABLE) {
      bool correct = true;
      if (OnFoundDiff) OnFoundDiff(this, CHK_TABLECREATE, label, correct);
      if (correct) {
        const int rc = CreateTable(block);
        if (rc == DBIERR_NONE) {
          kind = CHK_TABLECREATE;
          if (emptyFile) notes_ << label + " : fichier vide, table refaite d'après le schéma.";
          if (OnCreateTable) OnCreateTable(this, tableName_);
        } else {
          ReportError(label, rc, "la table ne peut pas être créée", engine_->LastErrorText());
        }
      }
    } else if (!damage.isEmpty()) {
      unchecked_ << label + " : " + damage;
    } else if (readable) {
      // Opened without its index files, the table is written to.
      if (probe == DBIERR_INDEXOUTOFDATE) {
        valuesJudged();
        DeleteTableAuxFiles(folder_, tableName_);
      }
      if (OnBeforeCheck) OnBeforeCheck(this, CHK_NONE, label);
      bool failed = false;
      bool asked = false, correct = true;
      // What the file holds that the schema does not describe (a trigger, a view, another table or
      // index) goes first, before the engine writes to the file as it opens it: a trigger would
      // act on the rows behind the program's back.
      if (!engine_->ForeignObjects(folder_, tableName_).isEmpty()) {
        asked = true;
        if (OnFoundDiff) OnFoundDiff(this, CHK_TABLEMODIFY, label, correct);
        if (correct) {
          valuesJudged();
          const int rc = engine_->RemoveForeignObjects(folder_, tableName_);
          if (rc == DBIERR_NONE) {
            kind = CHK_TABLEMODIFY;
          } else {
            failed = true;
            ReportError(label, rc, "des objets que le schéma ne décrit pas ne peuvent pas en être retirés");
          }
        }
      }
      // The table as SQLite holds it, not as the engine's description beside it says: a column
      // renamed or added by another tool, a CHECK or WITHOUT ROWID make it another table, which a
      // restructure replaces by the engine's own, each field carried by name.
      const QStringList alterations = engine_->StructureDifferences(folder_, tableName_, block);
      const QStringList undescribed = engine_->UndescribedIndexes(folder_, tableName_);
      const bool altered = !alterations.isEmpty();
      const CURProps props = engine_->GetCursorProps(folder_, tableName_);
      const std::vector<FLDDesc> fields = engine_->GetFieldDescs(folder_, tableName_);
      const std::vector<IDXDesc> indexes = engine_->GetIndexDescs(folder_, tableName_);
      if (props.eType == TableType::Paradox) {
        const auto autoInc = std::find_if(fields.begin(), fields.end(), [](const FLDDesc& f) {
          return f.iSubType == fldstAUTOINC;
        });
        if (autoInc != fields.end()) {
          // The highest value in use, not the last record's: rows need not be stored in order.
          const auto highest = engine_->HighestValue(folder_, tableName_, autoInc->szName);
          valuesJudged();
          RepairAutoInc(label, highest.value_or(0));
        }
      }
      const bool fieldsDiffer = CompareFields(tableName_, block.fields, fields);
      bool differs = fieldsDiffer;
      differs = CompareIndexes(block.indexes, indexes) || differs;
      differs = altered || differs;
      valuesJudged();
      if (!beyond.isEmpty()) {
        // Values another tool wrote that no field of the schema holds: named, and the table left
        // as it is, rebuilt or not (a rebuild could not carry them); but not without the indexes
        // it lacks (the reindexing deleted their files).
        failed = true;
        if (differs && !asked && OnFoundDiff) OnFoundDiff(this, CHK_TABLEMODIFY, label, correct);
        const QString indexesBuilt = differs && correct ? BuildIndexesAsTheyStand(block) : QString();
        errors_ << label + " : " + beyond +
                       (indexesBuilt.isEmpty() ? QStringLiteral(" ; la table est laissée telle quelle.") : ".\n" + indexesBuilt);
        if (differs && OnError) OnError(this, EDBEngineError(DBIERR_RESTRUCTFAIL));
      } else if (differs) {
        if (!asked && OnFoundDiff) OnFoundDiff(this, CHK_TABLEMODIFY, label, correct);
        // A unique key to build again over rows that hold a key twice: no row is the one to drop,
        // so the table stays as it is and the operator is told.
        const QString duplicates = correct ? DuplicateKeysText(block, fields) : QString();
        if (!duplicates.isEmpty()) {
          failed = true;
          errors_ << label + " : " + duplicates;
          if (OnError) OnError(this, EDBEngineError(DBIERR_KEYVIOL));
        } else if (correct) {
          const int rc = RestructureTable(block);
          if (rc == DBIERR_NONE) {
            kind = CHK_TABLEMODIFY;
            NoteRebuild(label, alterations, fieldsDiffer ? block.fields : std::vector<FLDDesc>{}, block.indexes, indexes,
                        undescribed);
          } else {
            failed = true;
            ReportError(label, rc,
                        probe == DBIERR_INDEXOUTOFDATE && !altered && !fieldsDiffer
                            ? "ses index ne peuvent pas être reconstruits"
                            : "sa structure ne peut pas être mise à jour",
                        IndexesAsTheyStand(block, rc, engine_->LastErrorText()));
          }
        }
      }
      if (kind == CHK_TABLEMODIFY && OnModifyTable) OnModifyTable(this, tableName_);
      // Index files of a table open elsewhere can be neither removed nor rebuilt: say so rather
      // than report the table sound.
      if (probe == DBIERR_INDEXOUTOFDATE && kind == CHK_NONE && !failed &&
          engine_->ProbeTable(folder_, tableName_, false) == DBIERR_INDEXOUTOFDATE)
        ReportError(label, DBIERR_INDEXOUTOFDATE, "ses index ne peuvent pas être reconstruits");
    } else if (!lostDescription) {
      unchecked_ << label + " : " + EDBEngineError(probe).Message();
    }
    ++line_;
    if (OnAfterCheck) OnAfterCheck(this, kind, label);
  }
  if (OnComplete) OnComplete(this);
  return errors_.isEmpty();
}

QString TDbCheck::BuildIndexesAsTheyStand(const TDescBlock& block, bool* built) {
  if (built) *built = false;
  const bool toBuild = std::any_of(block.indexes.begin(), block.indexes.end(), [](const IDXDesc& x) {
    return x.op == CrtOp::Add || x.op == CrtOp::Modify;
  });
  if (!toBuild || !engine_->WriteObstacle(folder_, tableName_, true).isEmpty()) return {};
  QString why;
  if (engine_->BuildIndexes(folder_, tableName_, block.fields, block.indexes, why) != DBIERR_NONE)
    return "Ses index n'ont pas pu être reconstruits : " + why;
  if (built) *built = true;
  return QStringLiteral("Ses fiches et ses champs restent tels quels ; ses index ont été reconstruits.");
}

QString TDbCheck::IndexesAsTheyStand(const TDescBlock& block, int code, const QString& refusal) {
  bool done = false;
  const QString built = BuildIndexesAsTheyStand(block, &done);
  if (built.isEmpty()) return refusal;
  if (!done) return refusal + "\n" + built;
  // "The table is unchanged" no longer holds whole: its rows and fields are.
  const QString standard = EDBEngineError(code).Message();
  const QString reason = refusal.startsWith(standard) ? refusal.mid(standard.size()).trimmed() : refusal;
  return reason + (reason.isEmpty() ? "" : "\n") + built;
}

void TDbCheck::NoteRebuild(const QString& label, const QStringList& alterations, const std::vector<FLDDesc>& fields,
                           const std::vector<IDXDesc>& indexes, const std::vector<IDXDesc>& table,
                           const QStringList& undescribed) {
  QStringList what;
  if (!alterations.isEmpty()) {
    const int more = int(alterations.size()) - 10;
    what << "table refaite d'après ses colonnes et le schéma, car " +
                (more > 0 ? alterations.mid(0, 10).join(", ") + QString(" et %1 autres différences").arg(more)
                          : alterations.join(", "));
  }
  QStringList added, changed;
  for (const FLDDesc& f : fields) {
    if (f.op == CrtOp::Add) added << f.szName;
    if (f.op == CrtOp::Modify) changed << f.szName;
  }
  // An index rebuilt only because its files were gone (the reindexing: the engine no longer
  // counts it, or calls it out of date) is no news; one the table had otherwise than the schema,
  // or one taken out of its description while its files stayed, is.
  QStringList indexesChanged, indexesAdded;
  for (const IDXDesc& x : indexes) {
    const QString name = x.bPrimary || x.szName.isEmpty() ? QStringLiteral("primaire") : x.szName;
    if (x.op == CrtOp::Drop) indexesChanged << name;
    const bool taken = x.bPrimary ? undescribed.contains(QString()) : undescribed.contains(x.szName, Qt::CaseInsensitive);
    if (x.op == CrtOp::Add && taken) indexesAdded << name;
    if (x.op != CrtOp::Modify) continue;
    const auto t = std::find_if(table.begin(), table.end(), [&](const IDXDesc& y) { return SameText(y.szName, x.szName); });
    if (t == table.end()) continue;
    IDXDesc now = *t;
    now.bOutOfDate = x.bOutOfDate;
    if (!SameIndex(x, now)) indexesChanged << name;
  }
  if (alterations.isEmpty() &&
      (!added.isEmpty() || !changed.isEmpty() || !indexesChanged.isEmpty() || !indexesAdded.isEmpty())) {
    QStringList parts;
    if (!added.isEmpty()) parts << (added.size() == 1 ? "champ ajouté : " : "champs ajoutés : ") + added.join(", ");
    if (!changed.isEmpty()) parts << (changed.size() == 1 ? "champ mis au schéma : " : "champs mis au schéma : ") + changed.join(", ");
    if (!indexesChanged.isEmpty())
      parts << QStringLiteral("index mis au schéma : ") + indexesChanged.join(", ");
    if (!indexesAdded.isEmpty())
      parts << (indexesAdded.size() == 1 ? "index absent de sa description, refait : "
                                         : "index absents de sa description, refaits : ") +
                   indexesAdded.join(", ");
    what << "table reconstruite selon le schéma (" + parts.join(" ; ") + ")";
  }
  for (const auto& [column, values] : engine_->LastRemovedColumns())
    what << QString("la colonne « %1 », que le schéma ne nomme pas, a été retirée avec %2")
                .arg(column, values == 1 ? QStringLiteral("sa valeur") : QString("ses %1 valeurs").arg(values));
  if (!what.isEmpty()) notes_ << label + " : " + what.join(" ; ") + ".";
}

bool TDbCheck::CompareFields(const QString& tblName, std::vector<FLDDesc>& desc,
                             const std::vector<FLDDesc>& table) {
  bool differs = false;
  for (size_t i = 0; i < desc.size(); ++i) {
    FLDDesc& d = desc[i];
    const auto t = std::find_if(table.begin(), table.end(),
                                [&](const FLDDesc& f) { return SameText(f.szName, d.szName); });
    if (t != table.end()) {
      const int tablePos = t->iFldNum ? t->iFldNum : static_cast<int>(t - table.begin()) + 1;
      if (tablePos == static_cast<int>(i) + 1 && t->iFldType == d.iFldType &&
          t->iSubType == d.iSubType && t->iUnits1 == d.iUnits1 && t->iUnits2 == d.iUnits2)
        continue;
      d.iFldNum = static_cast<uint16_t>(tablePos);  // its rows are carried over
      d.op = CrtOp::Modify;
      if (d.iSubType == fldstAUTOINC) d.bReadOnly = true;
      if (OnModifyField) OnModifyField(this, tblName, d.szName);
    } else {
      d.iFldNum = 0;
      d.op = CrtOp::Add;
      if (OnAddField) OnAddField(this, tblName, d.szName);
    }
    differs = true;
  }
  return differs;
}

bool TDbCheck::CompareIndexes(std::vector<IDXDesc>& desc, const std::vector<IDXDesc>& table) {
  return ::CompareIndexes(desc, table);
}

int TDbCheck::CreateTable(const TDescBlock& block) {
  CRTblDesc d = CreateDescOf(block);
  d.szTblName = tableName_;
  return engine_->CreateTable(folder_, d);
}

int TDbCheck::RestructureTable(const TDescBlock& block) {
  const CURProps props = engine_->GetCursorProps(folder_, tableName_);
  CRTblDesc d;
  d.szTblName = props.szName.isEmpty() ? tableName_ : props.szName;
  d.eType = props.eType;
  d.bPack = true;
  d.fields = block.fields;
  d.indexes = block.indexes;
  return engine_->DoRestructure(folder_, d);
}

QString TDbCheck::DuplicateKeysText(const TDescBlock& block, const std::vector<FLDDesc>& table) {
  QStringList found;
  for (const IDXDesc& d : block.indexes) {
    if (d.op != CrtOp::Add && d.op != CrtOp::Modify) continue;
    if (!d.bPrimary && !d.bUnique) continue;
    // The key's fields where the table holds them now.
    IDXDesc key = d;
    key.aiKeyFld.clear();
    for (uint16_t k : d.aiKeyFld) {
      if (k < 1 || k > block.fields.size()) break;
      const auto t = std::find_if(table.begin(), table.end(),
                                  [&](const FLDDesc& f) { return SameText(f.szName, block.fields[k - 1].szName); });
      if (t == table.end()) break;
      key.aiKeyFld.push_back(static_cast<uint16_t>(t - table.begin() + 1));
    }
    if (key.aiKeyFld.size() != d.aiKeyFld.size()) continue;
    key.iFldsInKey = static_cast<uint16_t>(key.aiKeyFld.size());
    const int64_t n = engine_->DuplicateKeys(folder_, tableName_, key);
    if (n <= 0) continue;
    const QString index = d.bPrimary ? QStringLiteral("de la clé primaire") : "de l'index " + d.szName;
    found << (n == 1 ? QString("1 valeur %1 figure sur plusieurs fiches").arg(index)
                     : QString("%1 valeurs %2 figurent chacune sur plusieurs fiches").arg(n).arg(index));
  }
  if (found.isEmpty()) return {};
  return found.join(", ") +
         " ; aucune fiche n'a été supprimée et cet index n'a pas été reconstruit : les doublons sont à corriger "
         "avant un nouveau contrôle.";
}

void TDbCheck::RepairAutoInc(const QString& label, int64_t highest) {
  int32_t stored = 0;
  if (!engine_->ReadAutoIncCounter(folder_, tableName_, stored)) return;
  if (stored >= highest) return;
  if (OnBeforeCheck) OnBeforeCheck(this, CHK_AUTOINCREPAIR, label);
  try {
    engine_->WriteAutoIncCounter(
        folder_, tableName_,
        static_cast<int32_t>(std::min<int64_t>(highest, std::numeric_limits<int32_t>::max())));
  } catch (const EDBEngineError&) {
    ReportError(label, DBIERR_FILEBUSY, "son compteur automatique ne peut pas être réparé");
  }
}
