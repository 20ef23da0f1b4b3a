// Filter texts of datasets: "(REGION='01')", "(DATEJ>='01/03/2005') and (DATEJ<='31/03/2005')".
// Parsed once; run as an SQL condition with bound values (tables) or evaluated on a record
// (query results), with the same meaning: a comparison with an empty field is false, except
// that <> is true for it, and '' stands for an empty field.
#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "platform/db/Dataset.h"

namespace dbe {

struct FilterNode;

class FilterExpr {
 public:
  struct FieldRef {
    int index = -1;
    TFieldType type = ftUnknown;
  };
  using Resolver = std::function<FieldRef(const QString& name)>;  // index -1 when unknown

  // Raises EDatabaseError with the reason when the text is not a filter.
  static std::shared_ptr<FilterExpr> Parse(const QString& text, const Resolver& resolve);
  ~FilterExpr();

  // SQL condition; column(i) gives a field's SQL expression; binds receive storage values.
  QString ToSql(const std::function<QString(int)>& column, QList<QVariant>& binds) const;
  bool Evaluate(const QList<QVariant>& values) const;

 private:
  FilterExpr() = default;
  std::unique_ptr<FilterNode> root_;
};

// Compares two values of one field type (strings as stored, case-sensitive); nulls first.
int CompareValues(const QVariant& a, const QVariant& b, TFieldType type);
// The value stored for a value of a field type (dates as ISO text, booleans 0/1).
QVariant StorageOf(const QVariant& v, TFieldType type);

}  // namespace dbe
