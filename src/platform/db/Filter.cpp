#include "platform/db/Filter.h"

#include "platform/db/EngineCore.h"

#include <cmath>
#include <map>
#include <vector>

namespace dbe {

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

struct FilterNode {
  enum Kind { And, Or, Not, Cmp, Const } kind = Const;
  std::unique_ptr<FilterNode> a, b;
  // Cmp: field op (literal | field2)
  int field = -1;
  TFieldType type = ftUnknown;
  int field2 = -1;
  Op op = Op::Eq;
  QVariant lit;  // normalised to the field's type; null for '' or NULL
  bool value = true;  // Const
};

FilterExpr::~FilterExpr() = default;

QVariant StorageOf(const QVariant& v, TFieldType type) {
  if (v.isNull()) return QVariant();
  switch (type) {
    case ftDate: return IsoFromDate(v.toDate());
    case ftBoolean: return qlonglong(v.toBool() ? 1 : 0);
    case ftSmallint: case ftInteger: case ftAutoInc: return v.toLongLong();
    case ftFloat: case ftCurrency: return v.toDouble();
    default: return v;
  }
}

int CompareValues(const QVariant& a, const QVariant& b, TFieldType type) {
  const bool an = a.isNull(), bn = b.isNull();
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  switch (type) {
    case ftString: case ftUnknown: {
      if (type == ftUnknown && a.typeId() != QMetaType::QString && b.typeId() != QMetaType::QString) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
      }
      const int c = a.toString().compare(b.toString());
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case ftDate: {
      const QDate x = a.toDate(), y = b.toDate();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ftDateTime: {
      const QDateTime x = a.toDateTime(), y = b.toDateTime();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    default: {
      const double x = a.toDouble(), y = b.toDouble();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
  }
}

namespace {

struct Token {
  enum Kind { End, Ident, String, Number, LParen, RParen, OpTok } kind = End;
  QString text;
  int pos = 0;
};

class Parser {
 public:
  Parser(const QString& text, const FilterExpr::Resolver& r) : s_(text), resolve_(r) { Advance(); }

  std::unique_ptr<FilterNode> Parse() {
    if (tok_.kind == Token::End) Fail("le filtre est vide");
    auto n = Or();
    if (tok_.kind != Token::End) Fail(QString("« %1 » inattendu").arg(tok_.text));
    return n;
  }

 private:
  [[noreturn]] void Fail(const QString& why) {
    throw EDatabaseError(QString("Expression de filtre incorrecte : %1\n%2").arg(why, s_));
  }

  void Advance() {
    while (p_ < s_.size() && s_[p_].isSpace()) ++p_;
    tok_ = Token();
    tok_.pos = p_;
    if (p_ >= s_.size()) return;
    const QChar c = s_[p_];
    if (c == '(') { tok_.kind = Token::LParen; tok_.text = "("; ++p_; return; }
    if (c == ')') { tok_.kind = Token::RParen; tok_.text = ")"; ++p_; return; }
    if (c == '\'' || c == '"') {
      const QChar q = c;
      QString v;
      ++p_;
      for (;;) {
        if (p_ >= s_.size()) Fail("une valeur entre guillemets n'est pas fermée");
        if (s_[p_] == q) {
          if (p_ + 1 < s_.size() && s_[p_ + 1] == q) { v += q; p_ += 2; continue; }
          ++p_;
          break;
        }
        v += s_[p_++];
      }
      tok_.kind = Token::String;
      tok_.text = v;
      return;
    }
    if (c == '<' || c == '>' || c == '=' || c == '!') {
      QString op(c);
      ++p_;
      if (p_ < s_.size() && (s_[p_] == '=' || (c == '<' && s_[p_] == '>'))) op += s_[p_++];
      tok_.kind = Token::OpTok;
      tok_.text = op;
      return;
    }
    if (c.isDigit() || ((c == '-' || c == '.') && p_ + 1 < s_.size() && s_[p_ + 1].isDigit())) {
      QString v(c);
      ++p_;
      while (p_ < s_.size() && (s_[p_].isDigit() || s_[p_] == '.')) v += s_[p_++];
      tok_.kind = Token::Number;
      tok_.text = v;
      return;
    }
    if (c == '[') {
      const int end = s_.indexOf(']', p_);
      if (end < 0) Fail("un nom de champ entre crochets n'est pas fermé");
      tok_.kind = Token::Ident;
      tok_.text = s_.mid(p_ + 1, end - p_ - 1);
      p_ = end + 1;
      return;
    }
    if (c.isLetter() || c == '_') {
      QString v;
      while (p_ < s_.size() && (s_[p_].isLetterOrNumber() || s_[p_] == '_' || s_[p_] == '.')) v += s_[p_++];
      tok_.kind = Token::Ident;
      tok_.text = v;
      return;
    }
    Fail(QString("caractère « %1 » inattendu").arg(c));
  }

  bool IsWord(const char* w) const {
    return tok_.kind == Token::Ident && tok_.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
  }

  // Operands joined by one operator word, grouped from the left.
  std::unique_ptr<FilterNode> Chain(const char* word, FilterNode::Kind kind,
                                    std::unique_ptr<FilterNode> (Parser::*operand)()) {
    auto n = (this->*operand)();
    while (IsWord(word)) {
      Advance();
      auto m = std::make_unique<FilterNode>();
      m->kind = kind;
      m->a = std::move(n);
      m->b = (this->*operand)();
      n = std::move(m);
    }
    return n;
  }

  std::unique_ptr<FilterNode> Or() { return Chain("or", FilterNode::Or, &Parser::And); }
  std::unique_ptr<FilterNode> And() { return Chain("and", FilterNode::And, &Parser::Unary); }

  // Parentheses and "not" nest by recursion: a text nested deeper than any filter needs is
  // refused before it can exhaust the stack.
  struct Depth {
    Parser* p;
    explicit Depth(Parser* parser) : p(parser) {
      if (++p->depth_ > kMaxDepth) p->Fail("trop de parenthèses imbriquées");
    }
    ~Depth() { --p->depth_; }
  };
  static constexpr int kMaxDepth = 200;
  int depth_ = 0;

  std::unique_ptr<FilterNode> Unary() {
    Depth guard(this);
    if (IsWord("not")) {
      Advance();
      auto m = std::make_unique<FilterNode>();
      m->kind = FilterNode::Not;
      m->a = Unary();
      return m;
    }
    if (tok_.kind == Token::LParen) {
      Advance();
      auto n = Or();
      if (tok_.kind != Token::RParen) Fail("une parenthèse n'est pas fermée");
      Advance();
      return n;
    }
    return Comparison();
  }

  struct Operand {
    bool isField = false;
    FilterExpr::FieldRef ref;
    QString name;
    QString text;
    bool isNull = false;  // NULL keyword
    bool number = false;
  };

  Operand ReadOperand() {
    Operand o;
    if (tok_.kind == Token::Ident) {
      if (IsWord("null")) {
        o.isNull = true;
      } else {
        o.isField = true;
        o.name = tok_.text;
        o.ref = resolve_(tok_.text);
        if (o.ref.index < 0) Fail(QString("champ « %1 » introuvable").arg(tok_.text));
      }
    } else if (tok_.kind == Token::String || tok_.kind == Token::Number) {
      o.text = tok_.text;
      o.number = tok_.kind == Token::Number;
    } else {
      Fail(tok_.kind == Token::End ? QString("une comparaison est incomplète") : QString("« %1 » inattendu").arg(tok_.text));
    }
    Advance();
    return o;
  }

  QVariant Literal(const Operand& o, const Operand& field) {
    if (o.isNull) return QVariant();
    const QString t = o.text;
    if (!o.number && t.isEmpty()) return QVariant();
    switch (field.ref.type) {
      case ftDate: case ftDateTime: {
        auto d = TryStrToDate(t);
        if (!d) {
          const QDate iso = QDate::fromString(t.trimmed(), "yyyy-MM-dd");
          if (!iso.isValid()) Fail(QString("« %1 » n'est pas une date correcte pour le champ %2").arg(t, field.name));
          return iso;
        }
        return *d;
      }
      case ftSmallint: case ftInteger: case ftAutoInc: {
        auto n = TryStrToInt(t);
        if (n) return qlonglong(*n);
        auto d = TryStrToFloat(t);
        if (!d) Fail(QString("« %1 » n'est pas un nombre correct pour le champ %2").arg(t, field.name));
        return *d;
      }
      case ftFloat: case ftCurrency: {
        auto d = TryStrToFloat(t);
        if (!d) Fail(QString("« %1 » n'est pas un nombre correct pour le champ %2").arg(t, field.name));
        return *d;
      }
      case ftBoolean: {
        const QString u = t.trimmed().toUpper();
        if (u == "TRUE" || u == "T" || u == "1") return true;
        if (u == "FALSE" || u == "F" || u == "0") return false;
        Fail(QString("« %1 » n'est pas une valeur logique correcte pour le champ %2").arg(t, field.name));
      }
      default: return t;
    }
  }

  std::unique_ptr<FilterNode> Comparison() {
    Operand l = ReadOperand();
    if (tok_.kind != Token::OpTok) Fail(tok_.kind == Token::End ? QString("une comparaison est incomplète")
                                                                 : QString("expected a comparison, found '%1'").arg(tok_.text));
    const QString ops = tok_.text;
    Op op;
    if (ops == "=" || ops == "==") op = Op::Eq;
    else if (ops == "<>" || ops == "!=") op = Op::Ne;
    else if (ops == "<") op = Op::Lt;
    else if (ops == ">") op = Op::Gt;
    else if (ops == "<=") op = Op::Le;
    else if (ops == ">=") op = Op::Ge;
    else Fail(QString("opérateur « %1 » inconnu").arg(ops));
    Advance();
    Operand r = ReadOperand();
    auto n = std::make_unique<FilterNode>();
    n->kind = FilterNode::Cmp;
    if (!l.isField && r.isField) {
      std::swap(l, r);
      switch (op) {
        case Op::Lt: op = Op::Gt; break;
        case Op::Gt: op = Op::Lt; break;
        case Op::Le: op = Op::Ge; break;
        case Op::Ge: op = Op::Le; break;
        default: break;
      }
    }
    if (!l.isField) Fail("une comparaison demande un champ");
    n->field = l.ref.index;
    n->type = l.ref.type;
    n->op = op;
    if (r.isField) n->field2 = r.ref.index;
    else n->lit = Literal(r, l);
    return n;
  }

  QString s_;
  int p_ = 0;
  Token tok_;
  const FilterExpr::Resolver& resolve_;
};

const char* SqlOp(Op op) {
  switch (op) {
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    default: return ">=";
  }
}

QString NodeSql(const FilterNode* n, const std::function<QString(int)>& column, QList<QVariant>& binds) {
  switch (n->kind) {
    case FilterNode::And: case FilterNode::Or: {
      // One after the other: the values are bound in the order the text names them.
      const QString a = NodeSql(n->a.get(), column, binds);
      const QString b = NodeSql(n->b.get(), column, binds);
      return "(" + a + (n->kind == FilterNode::And ? " AND " : " OR ") + b + ")";
    }
    case FilterNode::Not: return "(NOT coalesce(" + NodeSql(n->a.get(), column, binds) + ", 0))";
    case FilterNode::Const: return n->value ? "1" : "0";
    case FilterNode::Cmp: break;
  }
  const QString col = column(n->field);
  if (n->field2 >= 0) {
    const QString col2 = column(n->field2);
    if (n->op == Op::Ne) return QString("(%1 IS NOT %2)").arg(col, col2);
    return QString("(%1 %2 %3)").arg(col, SqlOp(n->op), col2);
  }
  if (n->lit.isNull()) {
    if (n->op == Op::Eq) return col + " IS NULL";
    if (n->op == Op::Ne) return col + " IS NOT NULL";
    return "0";
  }
  binds << StorageOf(n->lit, n->type);
  if (n->op == Op::Ne) return QString("(%1 <> ? OR %1 IS NULL)").arg(col);
  return QString("%1 %2 ?").arg(col, SqlOp(n->op));
}

bool NodeEval(const FilterNode* n, const QList<QVariant>& v) {
  switch (n->kind) {
    case FilterNode::And: return NodeEval(n->a.get(), v) && NodeEval(n->b.get(), v);
    case FilterNode::Or: return NodeEval(n->a.get(), v) || NodeEval(n->b.get(), v);
    case FilterNode::Not: return !NodeEval(n->a.get(), v);
    case FilterNode::Const: return n->value;
    case FilterNode::Cmp: break;
  }
  const QVariant a = v.value(n->field);
  const QVariant b = n->field2 >= 0 ? v.value(n->field2) : n->lit;
  if (n->op == Op::Eq && (a.isNull() || b.isNull())) return a.isNull() && b.isNull();
  if (n->op == Op::Ne && (a.isNull() || b.isNull())) return a.isNull() != b.isNull();
  if (a.isNull() || b.isNull()) return false;
  const int c = CompareValues(a, b, n->type);
  switch (n->op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    default: return c >= 0;
  }
}

}  // namespace

std::shared_ptr<FilterExpr> FilterExpr::Parse(const QString& text, const Resolver& resolve) {
  std::shared_ptr<FilterExpr> e(new FilterExpr());
  Parser p(text, resolve);
  e->root_ = p.Parse();
  return e;
}

QString FilterExpr::ToSql(const std::function<QString(int)>& column, QList<QVariant>& binds) const {
  QString sql = NodeSql(root_.get(), column, binds);
  // A date field bounded on both sides over a few weeks also gets its days as a list, so that an
  // index that starts with the date is searched day by day rather than scanned over the range.
  std::vector<const FilterNode*> conj;
  std::vector<const FilterNode*> stack{root_.get()};
  while (!stack.empty()) {
    const FilterNode* n = stack.back();
    stack.pop_back();
    if (n->kind == FilterNode::And) {
      stack.push_back(n->a.get());
      stack.push_back(n->b.get());
    } else if (n->kind == FilterNode::Cmp) {
      conj.push_back(n);
    }
  }
  std::map<int, std::pair<QDate, QDate>> range;
  for (const FilterNode* n : conj) {
    if (n->type != ftDate || n->field2 >= 0 || n->lit.isNull()) continue;
    const QDate d = n->lit.toDate();
    auto& [lo, hi] = range[n->field];
    if (n->op == Op::Ge || n->op == Op::Gt) {
      const QDate l = n->op == Op::Gt ? d.addDays(1) : d;
      if (!lo.isValid() || l > lo) lo = l;
    } else if (n->op == Op::Le || n->op == Op::Lt) {
      const QDate h = n->op == Op::Lt ? d.addDays(-1) : d;
      if (!hi.isValid() || h < hi) hi = h;
    }
  }
  for (auto& [field, r] : range) {
    const auto& [lo, hi] = r;
    if (!lo.isValid() || !hi.isValid() || lo > hi || lo.daysTo(hi) > 62) continue;
    QStringList marks;
    for (QDate d = lo; d <= hi; d = d.addDays(1)) {
      marks << "?";
      binds << IsoFromDate(d);
    }
    sql = "(" + sql + " AND " + column(field) + " IN (" + marks.join(", ") + "))";
  }
  return sql;
}

bool FilterExpr::Evaluate(const QList<QVariant>& values) const { return NodeEval(root_.get(), values); }

}  // namespace dbe
