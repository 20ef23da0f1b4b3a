#include "platform/db/FieldValues.h"

namespace dbe {

QString WholeRule(WholeRange r) {
  return QString("Les valeurs permises sont les nombres entiers de %1 à %2.").arg(r.lo).arg(r.hi);
}

QString MoneyRangeRule() { return QString("Les montants permis vont de -%1 à %1.").arg(kMaxMoneyText); }

QString MoneyDecimalsRule() { return "Un montant a au plus 4 décimales."; }

QString FiniteRule() { return "Le nombre doit être fini."; }

QString NotHeld(const QString& value, const QString& field, const QString& rule) {
  return QString("%1 n'est pas une valeur correcte pour le champ « %2 ». %3").arg(value, field, rule);
}

}  // namespace dbe
