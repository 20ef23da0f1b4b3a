#include "platform/db/FieldValues.h"

namespace dbe {

QString WholeRule(WholeRange r) { return QString("est hors des limites du champ (%1 à %2)").arg(r.lo).arg(r.hi); }

QString MoneyRangeRule() { return QString("est hors des limites d'un montant (-%1 à %1)").arg(kMaxMoneyText); }

QString MoneyDecimalsRule() { return "a plus de 4 décimales"; }

QString FiniteRule() { return "n'est pas un nombre fini"; }

QString NotHeld(const QString& value, const QString& field, const QString& rule) {
  return QString("%1 n'est pas une valeur correcte pour le champ « %2 » : la valeur %3.").arg(value, field, rule);
}

}  // namespace dbe
