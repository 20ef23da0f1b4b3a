#include "schema/TableVerdict.h"

#include <algorithm>

#include "platform/sys/Formats.h"
#include "schema/SchemaTables.h"

namespace {

bool SameText(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

int SchemaPosition(const TDescBlock& schema, const QString& name) {
  for (size_t i = 0; i < schema.fields.size(); ++i)
    if (SameText(schema.fields[i].szName, name)) return int(i);
  return -1;
}

// The first two names, among those the schema has, that come in another order than the
// schema's: "« PU » avant « Qte_Prise »"; empty when they all follow it.
QString FirstOutOfOrder(const TDescBlock& schema, const QStringList& names) {
  int last = -1;
  QString lastName;
  for (const QString& n : names) {
    const int at = SchemaPosition(schema, n);
    if (at < 0) continue;
    if (at < last) return QString("« %1 » avant « %2 »").arg(lastName, n);
    last = at;
    lastName = n;
  }
  return {};
}

}  // namespace

QString IndexLabel(const IDXDesc& x) {
  return x.bPrimary ? QStringLiteral("l'index primaire") : "l'index " + x.szName;
}

QString AtMostTen(const QStringList& items) {
  if (items.size() <= 10) return items.join(", ");
  const int more = int(items.size()) - 10;
  return items.mid(0, 10).join(", ") + " et " + FormatFloat("#,##0", more) + (more == 1 ? " autre" : " autres");
}

QString TypeName(const FLDDesc& f) {
  switch (f.iFldType) {
    case fldZSTRING: return QString("texte de %1 caractères").arg(f.iUnits1);
    case fldDATE: return QStringLiteral("date");
    case fldBOOL: return QStringLiteral("logique");
    case fldINT16: return QStringLiteral("entier court");
    case fldINT32: return f.iSubType == fldstAUTOINC ? QStringLiteral("compteur") : QStringLiteral("entier");
    case fldFLOAT: return f.iSubType == fldstMONEY ? QStringLiteral("montant") : QStringLiteral("nombre");
    default: return QString("de type %1").arg(f.iFldType);
  }
}

QString SchemaTableNamed(const QString& inner) {
  for (const QString& t : ApplicationTableFiles())
    if (t.section('.', 0, 0).compare(inner, Qt::CaseInsensitive) == 0) return t;
  return QString();
}

bool SameIndex(const IDXDesc& a, const IDXDesc& b) {
  return SameText(a.szName, b.szName) && SameText(a.szTagName, b.szTagName) &&
         a.aiKeyFld == b.aiKeyFld && a.bPrimary == b.bPrimary && a.bExpIdx == b.bExpIdx &&
         a.bUnique == b.bUnique && a.bDescending == b.bDescending &&
         a.bCaseInsensitive == b.bCaseInsensitive && a.bSubset == b.bSubset &&
         a.bOutOfDate == b.bOutOfDate && a.iFldsInKey == b.iFldsInKey &&
         SameText(a.szFormat, b.szFormat) && SameText(a.szKeyExp, b.szKeyExp) &&
         SameText(a.szKeyCond, b.szKeyCond);
}

bool CompareIndexes(std::vector<IDXDesc>& desc, const std::vector<IDXDesc>& table) {
  bool differs = false;
  const size_t described = desc.size();
  auto tablePos = [&](size_t j) {
    return static_cast<uint16_t>(table[j].iIndexId ? table[j].iIndexId : j + 1);
  };
  for (size_t i = 0; i < described; ++i) {
    IDXDesc& d = desc[i];
    size_t j = 0;
    while (j < table.size() && !SameText(table[j].szName, d.szName)) ++j;
    if (j < table.size()) {
      d.iIndexId = tablePos(j);
      if (!SameIndex(d, table[j])) {
        d.op = CrtOp::Modify;
        differs = true;
      }
    } else {
      d.iIndexId = 0;
      d.op = CrtOp::Add;
      differs = true;
    }
  }
  for (size_t j = 0; j < table.size(); ++j) {
    const bool named = std::any_of(desc.begin(), desc.begin() + described,
                                   [&](const IDXDesc& d) { return SameText(d.szName, table[j].szName); });
    if (named) continue;
    IDXDesc drop = table[j];
    drop.iIndexId = tablePos(j);
    drop.op = CrtOp::Drop;
    desc.push_back(drop);
    differs = true;
  }
  return differs;
}

QStringList FileAgainstDescription(const Dbi::TableFileContents& held, const TDescBlock& schema) {
  QStringList out = held.differences;
  const int order = int(out.indexOf(QString::fromUtf8(Dbi::kColumnsOutOfOrder)));
  if (order < 0) return out;
  QStringList described;
  for (const FLDDesc& f : held.fields) described << f.szName;
  const QString fields = FirstOutOfOrder(schema, described), columns = FirstOutOfOrder(schema, held.heldColumns);
  if (!fields.isEmpty() && columns.isEmpty())
    out[order] = "les champs de sa description ne sont pas dans l'ordre que le programme leur donne (" + fields +
                 "), alors que les colonnes de la table le sont";
  else if (fields.isEmpty() && !columns.isEmpty())
    out[order] = "les colonnes de la table ne sont pas dans l'ordre que le programme leur donne (" + columns +
                 "), alors que les champs de sa description le sont";
  else if (!fields.isEmpty())
    out[order] = "ni les colonnes de la table (" + columns + ") ni les champs de sa description (" + fields +
                 ") ne sont dans l'ordre que le programme leur donne";
  return out;
}

QStringList FieldsAgainstSchema(const std::vector<FLDDesc>& file, const std::vector<FLDDesc>& schema, bool* earlier) {
  QStringList out;
  *earlier = file.size() != schema.size();
  int last = -1;
  bool ordered = true;
  for (const FLDDesc& f : file) {
    int at = -1;
    for (size_t j = 0; j < schema.size(); ++j)
      if (schema[j].szName.compare(f.szName, Qt::CaseInsensitive) == 0) at = int(j);
    if (at < 0) {
      out << QString("le champ « %1 » n'est pas dans le schéma").arg(f.szName);
      continue;
    }
    const FLDDesc& d = schema[at];
    if (at < last) ordered = false;
    last = std::max(last, at);
    if (f.iFldType != d.iFldType || f.iSubType != d.iSubType ||
        (f.iFldType != fldZSTRING && (f.iUnits1 != d.iUnits1 || f.iUnits2 != d.iUnits2)))
      out << QString("le champ « %1 » est %2 au lieu de %3").arg(f.szName, TypeName(f), TypeName(d));
    else if (f.iFldType == fldZSTRING && f.iUnits1 > d.iUnits1)
      out << QString("le champ « %1 » a %2 caractères au lieu de %3").arg(f.szName).arg(f.iUnits1).arg(d.iUnits1);
    else if (f.iUnits1 != d.iUnits1 || f.szName != d.szName)
      *earlier = true;
  }
  if (!ordered) out << QStringLiteral("les champs ne sont pas dans l'ordre du schéma");
  return out;
}

QString ValuesBeyondText(const Dbi::ValuesBeyondFields& values) {
  if (values.count <= 0) return {};
  const int more = int(std::min<int64_t>(values.count - values.named.size(), 1000000000));
  // Each value's account holds commas of its own.
  const QString named = values.named.join(" ; ") +
                        (more <= 0 ? QString() : " et " + FormatFloat("#,##0", more) + (more == 1 ? " autre" : " autres"));
  return values.count == 1 ? "une valeur que son champ ne peut pas contenir : " + named
                           : FormatFloat("#,##0", double(values.count)) + " valeurs que leur champ ne peut pas contenir : " + named;
}

TableVerdict JudgeTableFile(const Dbi::TableFileContents& held, const QString& table) {
  TableVerdict v;
  auto refuse = [&v](const QString& why) {
    v.refusal = why;
    v.earlier = false;
    return v;
  };
  // A sound file holding another table would put, say, the payments in place of the takings.
  const QString other = SchemaTableNamed(held.rowsTableName);
  if (other.compare(table, Qt::CaseInsensitive) != 0)
    return refuse("ne contient pas la table " + table +
                  (other.isEmpty() ? QString(" (sa table s'appelle « %1 »)").arg(held.rowsTableName) : " mais la table " + other));
  if (!held.foreign.isEmpty()) return refuse("contient aussi " + AtMostTen(held.foreign) + ", que le schéma ne décrit pas");
  if (!held.rowsTable) return refuse("ne contient pas les fiches de la table " + table);
  const TDescBlock* block = ApplicationBlock(table);
  if (!block) return refuse("ne contient pas une table du programme");
  // Judged by what SQLite holds: first against the description the file carries beside it...
  const QStringList differences = FileAgainstDescription(held, *block);
  if (!differences.isEmpty())
    return refuse("n'est pas tel que le programme l'écrit (table " + held.rowsTableName + ") : " + AtMostTen(differences));
  // ... then, that description being the table's, against the schema.
  const QStringList fields = FieldsAgainstSchema(held.fields, block->fields, &v.earlier);
  if (!fields.isEmpty())
    return refuse("contient une table " + held.rowsTableName + " qui diffère du schéma : " + AtMostTen(fields));
  if (!held.strict) v.earlier = true;
  // The indexes compared as the structure check compares them: what it would build or drop. An
  // earlier layout gets the schema's from the rebuild.
  std::vector<IDXDesc> indexes = block->indexes;
  CompareIndexes(indexes, held.indexes);
  for (const IDXDesc& x : indexes)
    if (x.op == CrtOp::Drop) return refuse("contient " + IndexLabel(x) + ", que le schéma ne décrit pas");
  if (v.earlier) return v;
  auto schemaKey = [&](const IDXDesc& x) {
    QStringList key;
    for (uint16_t f : x.aiKeyFld)
      key << (f >= 1 && f <= block->fields.size() ? block->fields[f - 1].szName.toUpper() : QString());
    return key;
  };
  for (const IDXDesc& x : indexes) {
    if (x.op != CrtOp::Add && x.op != CrtOp::Modify) continue;
    // The file's index is as its description says; when SQLite sees it as the schema's (same
    // fields, order, uniqueness, comparison), only the description differs from the schema.
    const auto own = std::find_if(held.indexes.begin(), held.indexes.end(), [&](const IDXDesc& y) {
      return y.szName.compare(x.szName, Qt::CaseInsensitive) == 0;
    });
    bool sameIndex = false;
    if (own != held.indexes.end() && !own->bOutOfDate) {
      QStringList ownKey;
      for (uint16_t f : own->aiKeyFld)
        ownKey << (f >= 1 && f <= held.fields.size() ? held.fields[f - 1].szName.toUpper() : QString());
      sameIndex = ownKey == schemaKey(x) && (own->bPrimary || own->bUnique) == (x.bPrimary || x.bUnique) &&
                  own->bDescending == x.bDescending && own->bCaseInsensitive == x.bCaseInsensitive;
    }
    if (sameIndex)
      return refuse("décrit " + IndexLabel(x) + " autrement que le schéma, bien que le fichier ait cet index tel que le "
                    "schéma le donne");
    // A key the file holds that its description has lost.
    if (own == held.indexes.end() && (x.bPrimary || x.bUnique)) {
      const bool heldKey = std::any_of(held.undescribedKeys.begin(), held.undescribedKeys.end(), [&](const QStringList& k) {
        QStringList upper;
        for (const QString& n : k) upper << n.toUpper();
        return upper == schemaKey(x);
      });
      if (heldKey)
        return refuse("a " + IndexLabel(x) + " que le schéma donne à la table " + table +
                      ", mais sa description des index ne le donne pas");
    }
    return refuse("n'a pas " + IndexLabel(x) + " que le schéma donne à la table " + table);
  }
  return v;
}
