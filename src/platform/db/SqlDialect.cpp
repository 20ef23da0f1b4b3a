#include "platform/db/SqlDialect.h"

#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <map>

#include "platform/db/EngineCore.h"

namespace dbe {

QString MdyToIso(const QString& s) {
  static const QRegularExpression re("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$");
  const auto m = re.match(s);
  if (!m.hasMatch()) return {};
  const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
  return d.isValid() ? d.toString("yyyy-MM-dd") : QString();
}

namespace {

const QSet<QString>& ClauseWords() {
  static const QSet<QString> w = {"WHERE", "ORDER", "GROUP", "HAVING", "UNION", "LIMIT", "LEFT", "RIGHT", "INNER",
                                  "OUTER", "JOIN", "ON", "SET", "VALUES", "CROSS", "NATURAL", "FULL", "USING",
                                  "SELECT", "EXCEPT", "INTERSECT", "AS", "FROM"};
  return w;
}

QString quoteIdent(const QString& v) {
  QString e = v;
  e.replace('"', "\"\"");
  return "\"" + e + "\"";
}

bool IsCmp(const QString& op) {
  return op == "=" || op == "<>" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==";
}

}  // namespace

LocalSql::LocalSql(const QString& s) {
  // Tokens.
  int i = 0;
  const int n = s.size();
  auto fail = [&](const QString& why) { Raise(DBIERR_SQLERROR, why + "\n" + s); };
  // SQLite would end the statement at a NUL and run what comes before it.
  if (s.contains(QChar(0))) fail("L'instruction contient un caractère nul.");
  while (i < n) {
    const QChar c = s[i];
    if (c.isSpace()) {
      int j = i;
      while (j < n && s[j].isSpace()) ++j;
      toks_.push_back({Tok::Space, s.mid(i, j - i)});
      i = j;
    } else if (c == '\'' || c == '"') {
      QString v;
      int j = i + 1;
      for (;;) {
        if (j >= n) fail("A quoted text is not closed.");
        if (s[j] == c) {
          if (j + 1 < n && s[j + 1] == c) {
            v += c;
            j += 2;
            continue;
          }
          break;
        }
        v += s[j++];
      }
      toks_.push_back({c == '\'' ? Tok::Str : Tok::QIdent, v});
      i = j + 1;
    } else if (c == '[') {
      const int j = s.indexOf(']', i);
      if (j < 0) fail("A bracketed name is not closed.");
      toks_.push_back({Tok::QIdent, s.mid(i + 1, j - i - 1)});
      i = j + 1;
    } else if (c.isLetter() || c == '_') {
      int j = i;
      while (j < n && (s[j].isLetterOrNumber() || s[j] == '_' || s[j] == '$' || s[j] == '#')) ++j;
      toks_.push_back({Tok::Ident, s.mid(i, j - i)});
      i = j;
    } else if (c.isDigit()) {
      int j = i;
      while (j < n && (s[j].isDigit() || s[j] == '.' || s[j] == 'e' || s[j] == 'E')) ++j;
      toks_.push_back({Tok::Num, s.mid(i, j - i)});
      i = j;
    } else if (c == ':' && i + 1 < n && (s[i + 1].isLetter() || s[i + 1] == '_')) {
      int j = i + 1;
      while (j < n && (s[j].isLetterOrNumber() || s[j] == '_')) ++j;
      toks_.push_back({Tok::Param, s.mid(i, j - i)});
      i = j;
    } else if (c == ',') {
      toks_.push_back({Tok::Comma, ","});
      ++i;
    } else if (c == '(') {
      toks_.push_back({Tok::LParen, "("});
      ++i;
    } else if (c == ')') {
      toks_.push_back({Tok::RParen, ")"});
      ++i;
    } else if (c == '.') {
      toks_.push_back({Tok::Dot, "."});
      ++i;
    } else if (QString("<>=!").contains(c)) {
      QString op(c);
      if (i + 1 < n && (s[i + 1] == '=' || (c == '<' && s[i + 1] == '>'))) op += s[i + 1];
      toks_.push_back({Tok::Op, op});
      i += op.size();
    } else {
      toks_.push_back({Tok::Other, QString(c)});
      ++i;
    }
  }

  // One statement only: what follows a ";" would otherwise be dropped without a word.
  for (size_t t = 0; t < toks_.size(); ++t) {
    if (toks_[t].kind != Tok::Other || toks_[t].text != ";") continue;
    for (size_t u = t + 1; u < toks_.size(); ++u)
      if (toks_[u].kind != Tok::Space && !(toks_[u].kind == Tok::Other && toks_[u].text == ";"))
        fail("Une seule instruction SQL est permise : le texte continue après « ; ».");
    toks_.resize(t);
    break;
  }

  // Table references.
  auto next = [&](int k) {
    ++k;
    while (k < int(toks_.size()) && toks_[k].kind == Tok::Space) ++k;
    return k;
  };
  auto word = [&](int k) { return k < int(toks_.size()) && toks_[k].kind == Tok::Ident ? toks_[k].text.toUpper() : QString(); };
  // Reads a table reference at k (the first non-space token); returns the token after it.
  auto readRef = [&](int k, bool allowAlias) -> int {
    if (k >= int(toks_.size())) fail("A table name is missing.");
    const Tok& t = toks_[k];
    TableRef r{k, k, false, {}};
    QString name;
    int after;
    if (t.kind == Tok::QIdent || t.kind == Tok::Str) {
      name = t.text;
      after = next(k);
    } else if (t.kind == Tok::Ident && !ClauseWords().contains(t.text.toUpper())) {
      name = t.text;
      int k2 = next(k);
      if (k2 < int(toks_.size()) && toks_[k2].kind == Tok::Dot) {
        const int k3 = next(k2);
        if (k3 < int(toks_.size()) && toks_[k3].kind == Tok::Ident) {
          name += "." + toks_[k3].text;
          r.last = k3;
          k2 = next(k3);
        }
      }
      after = k2;
    } else if (t.kind == Tok::LParen) {
      return k;  // a sub-select: its own FROM is read when met
    } else {
      fail(QString("A table name is expected instead of \"%1\".").arg(t.text));
    }
    if (r.last == k) r.last = k;
    r.inner = QFileInfo(name).fileName();
    if (r.inner.contains('.')) r.inner = r.inner.left(r.inner.indexOf('.'));
    if (allowAlias) {
      int a = after;
      if (word(a) == "AS") a = next(a);
      if (a < int(toks_.size()) && (toks_[a].kind == Tok::Ident || toks_[a].kind == Tok::QIdent) &&
          !ClauseWords().contains(toks_[a].text.toUpper())) {
        r.aliased = true;
        after = next(a);
      }
    }
    refs_.push_back(r);
    names_ << name;
    return after;
  };

  const int count = int(toks_.size());
  int k = 0;
  while (k < count && toks_[k].kind == Tok::Space) ++k;
  const QString first = word(k);
  select_ = first == "SELECT";
  for (int p = k; p < count; p = next(p)) {
    const QString w = word(p);
    if (w == "FROM") {
      int q = readRef(next(p), first != "DELETE");
      // A list of tables and joins, until the next clause.
      for (;;) {
        if (q >= count) break;
        if (toks_[q].kind == Tok::Comma) {
          q = readRef(next(q), true);
          continue;
        }
        const QString w2 = word(q);
        if (w2 == "LEFT" || w2 == "RIGHT" || w2 == "INNER" || w2 == "OUTER" || w2 == "CROSS" || w2 == "NATURAL" ||
            w2 == "FULL") {
          q = next(q);
          continue;
        }
        if (w2 == "JOIN") {
          q = readRef(next(q), true);
          continue;
        }
        if (w2 == "ON") {
          // The join condition runs to the next join or clause.
          int depth = 0;
          q = next(q);
          while (q < count) {
            if (toks_[q].kind == Tok::LParen) depth++;
            if (toks_[q].kind == Tok::RParen) {
              if (depth == 0) break;
              depth--;
            }
            const QString w3 = word(q);
            if (depth == 0 && (w3 == "JOIN" || w3 == "LEFT" || w3 == "RIGHT" || w3 == "INNER" || w3 == "CROSS" ||
                               w3 == "NATURAL" || w3 == "FULL" || w3 == "WHERE" || w3 == "ORDER" || w3 == "GROUP" ||
                               w3 == "HAVING" || w3 == "UNION"))
              break;
            q = next(q);
          }
          continue;
        }
        break;
      }
      p = q - 1;
      if (p < k) p = k;
      continue;
    }
    if (w == "UPDATE" && p == k) {
      updateRef_ = int(refs_.size());
      readRef(next(p), true);
      continue;
    }
    if (w == "SET" && first == "UPDATE" && updateSet_ < 0) {
      updateSet_ = p;
      continue;
    }
    if (w == "INTO" && first == "INSERT") {
      insertRef_ = int(refs_.size());
      int q = readRef(next(p), false);
      if (q < count && toks_[q].kind == Tok::LParen) {
        q = next(q);
        while (q < count && toks_[q].kind != Tok::RParen) {
          if (toks_[q].kind == Tok::Ident || toks_[q].kind == Tok::QIdent) insertColumns_ << toks_[q].text.toUpper();
          q = next(q);
        }
      }
      for (int v = q; v < count; v = next(v)) {
        if (word(v) == "VALUES") {
          const int o = next(v);
          if (o < count && toks_[o].kind == Tok::LParen) valuesOpen_ = o;
          break;
        }
        if (word(v) == "SELECT") {
          insertSelect_ = v;
          break;
        }
      }
      continue;
    }
  }
 if (select_) {
    // Items written "A.NORD" get their name as an alias, so that ORDER BY NORD means that item
    // (as the local SQL reads it) rather than a column two tables share.
    int q = next(k);
    if (word(q) == "DISTINCT" || word(q) == "ALL") q = next(q);
    std::vector<std::pair<int, QString>> items;  // last token, bare name
    int depth = 0, start = q;
    auto closeItem = [&](int end) {
      std::vector<int> sig;
      for (int t = start; t < end; ++t)
        if (toks_[t].kind != Tok::Space) sig.push_back(t);
      if (sig.size() == 3 && toks_[sig[0]].kind == Tok::Ident && toks_[sig[1]].kind == Tok::Dot &&
          toks_[sig[2]].kind == Tok::Ident)
        items.push_back({sig[2], toks_[sig[2]].text.toUpper()});
      else if (sig.size() == 1 && toks_[sig[0]].kind == Tok::Ident)
        items.push_back({-1, toks_[sig[0]].text.toUpper()});
    };
    for (; q < count; ++q) {
      const Tok& t = toks_[q];
      if (t.kind == Tok::LParen) depth++;
      if (t.kind == Tok::RParen) depth--;
      if (depth == 0 && t.kind == Tok::Comma) {
        closeItem(q);
        start = q + 1;
      }
      if (depth == 0 && word(q) == "FROM") {
        closeItem(q);
        break;
      }
    }
    for (const auto& [tok, name] : items) {
      int same = 0;
      for (const auto& other : items) same += other.second == name;
      if (tok >= 0 && same == 1) aliasAfter_.push_back({tok, name});
    }
  }
  if (refs_.empty() && (first == "SELECT" || first == "DELETE" || first == "UPDATE" || first == "INSERT"))
    fail("The statement names no table.");
}

QString LocalSql::Translate(const std::function<QString(int)>& qualified,
                            const std::function<bool(const QString&)>& isDateColumn, QStringList* dateParams,
                            const std::function<QStringList(int)>& columnsOf,
                            const std::function<QString(int, const QString&)>& fit) const {
  const int count = int(toks_.size());
  auto prevSig = [&](int k) {
    --k;
    while (k >= 0 && toks_[k].kind == Tok::Space) --k;
    return k;
  };
  auto nextSig = [&](int k) {
    ++k;
    while (k < count && toks_[k].kind == Tok::Space) ++k;
    return k;
  };
  auto colAt = [&](int k) -> QString {  // the column named by an identifier ending at k
    if (k < 0 || k >= count) return {};
    if (toks_[k].kind == Tok::Ident || toks_[k].kind == Tok::QIdent) return toks_[k].text;
    return {};
  };
  auto colStartingAt = [&](int k) -> QString {  // identifier (maybe qualified) starting at k
    if (k >= count || (toks_[k].kind != Tok::Ident && toks_[k].kind != Tok::QIdent)) return {};
    int d = nextSig(k);
    if (d < count && toks_[d].kind == Tok::Dot) {
      const int c = nextSig(d);
      return colAt(c);
    }
    return toks_[k].text;
  };
  // Which string tokens are dates against date fields.
  std::vector<bool> dateLit(count, false);
  for (int k = 0; k < count; ++k) {
    const bool param = toks_[k].kind == Tok::Param;
    if (!param && toks_[k].kind != Tok::Str) continue;
    const int p = prevSig(k);
    if (p >= 0 && toks_[p].kind == Tok::Op && IsCmp(toks_[p].text) && isDateColumn(colAt(prevSig(p)))) {
      dateLit[k] = true;
      continue;
    }
    if (p >= 0 && toks_[p].kind == Tok::Ident) {
      const QString w = toks_[p].text.toUpper();
      int b = -1;
      if (w == "BETWEEN") b = p;
      if (w == "AND") {
        const int s2 = prevSig(p);
        const int bw = s2 >= 0 ? prevSig(s2) : -1;
        if (bw >= 0 && toks_[s2].kind == Tok::Str && toks_[bw].kind == Tok::Ident && toks_[bw].text.toUpper() == "BETWEEN") b = bw;
      }
      if (b >= 0 && isDateColumn(colAt(prevSig(b)))) {
        dateLit[k] = true;
        continue;
      }
    }
    const int nx = nextSig(k);
    if (nx < count && toks_[nx].kind == Tok::Op && IsCmp(toks_[nx].text) && isDateColumn(colStartingAt(nextSig(nx)))) {
      dateLit[k] = true;
      continue;
    }
  }
  // A text compared with or stored into a date field must be a date: month/day/year, or already
  // a stored date; anything else ('2/30/2005', '13/1/2005') would be compared or stored as text.
  for (int k = 0; k < count; ++k) {
    if (!dateLit[k] || toks_[k].kind != Tok::Str) continue;
    const QString& t = toks_[k].text;
    if (!MdyToIso(t).isEmpty()) continue;
    dateLit[k] = false;
    if (t.trimmed().isEmpty() || (t.size() == 10 && DateFromIso(t).isValid())) continue;
    Raise(DBIERR_SQLERROR, QString("« %1 » n'est pas une date correcte (mois/jour/année).").arg(t));
  }
  QStringList insertColumns = insertColumns_;
  if (insertColumns.isEmpty() && insertRef_ >= 0 && columnsOf)
    for (const QString& c : columnsOf(insertRef_)) insertColumns << c.toUpper();
  if (valuesOpen_ >= 0 && !insertColumns.isEmpty()) {
    // VALUES (...), (...): the n-th value of every row goes to the n-th column.
    int pos = 0, depth = 0;
    for (int k = valuesOpen_; k < count; ++k) {
      const Tok& t = toks_[k];
      if (t.kind == Tok::Space) continue;
      if (t.kind == Tok::LParen) {
        if (depth++ == 0) pos = 0;
        continue;
      }
      if (t.kind == Tok::RParen) {
        depth--;
        continue;
      }
      if (depth == 0 && t.kind != Tok::Comma) break;
      if (depth == 1 && t.kind == Tok::Comma) pos++;
      if (depth == 1 && pos < insertColumns.size() && isDateColumn(insertColumns[pos]) &&
          ((t.kind == Tok::Str && !MdyToIso(t.text).isEmpty()) || t.kind == Tok::Param))
        dateLit[k] = true;
    }
  }

  // The values an INSERT or UPDATE writes go through the field rules of their column.
  std::vector<QString> before(count), after(count);
  auto wrap = [&](int from, int to, int ref, const QString& column) {
    while (from <= to && toks_[from].kind == Tok::Space) ++from;
    while (to >= from && toks_[to].kind == Tok::Space) --to;
    if (from > to || !fit) return;
    const QString args = fit(ref, column);
    if (args.isEmpty()) return;
    before[from] += "zfit(";
    after[to] = args + after[to];
  };
  // Items separated by commas at the depth of `open`, from `start` to the token that ends them.
  auto items = [&](int start, const std::function<bool(int, int)>& ends, const std::function<void(int, int, int)>& item) {
    int depth = 0, from = start, pos = 0, k = start;
    for (; k < count; ++k) {
      const Tok& t = toks_[k];
      if (t.kind == Tok::LParen) depth++;
      if (t.kind == Tok::RParen) {
        if (depth == 0) break;
        depth--;
      }
      if (ends(k, depth)) break;
      if (depth == 0 && t.kind == Tok::Comma) {
        item(from, k - 1, pos++);
        from = k + 1;
      }
    }
    item(from, k - 1, pos);
  };
  if (insertRef_ >= 0 && valuesOpen_ >= 0) {
    for (int k = valuesOpen_; k < count; ++k) {
      if (toks_[k].kind != Tok::LParen) {
        if (toks_[k].kind == Tok::Space || toks_[k].kind == Tok::Comma) continue;
        break;
      }
      int close = k;
      items(k + 1, [](int, int) { return false; }, [&](int a, int b, int pos) {
        if (pos < insertColumns.size()) wrap(a, b, insertRef_, insertColumns[pos]);
        close = b + 1;
      });
      k = close;
    }
  } else if (insertRef_ >= 0 && insertSelect_ >= 0 && !insertColumns.isEmpty() && fit) {
    // The SELECT, whatever its shape ("*", a UNION, DISTINCT), becomes a source of numbered
    // columns whose every value goes through the rules of the column it lands in.
    int last = count - 1;
    while (last > insertSelect_ && (toks_[last].kind == Tok::Space || (toks_[last].kind == Tok::Other && toks_[last].text == ";")))
      --last;
    QStringList names, fitted;
    for (int pos = 0; pos < insertColumns.size(); ++pos) {
      const QString n = QString("zc%1").arg(pos + 1);
      names << n;
      const QString args = fit(insertRef_, insertColumns[pos]);
      fitted << (args.isEmpty() ? n : "zfit(" + n + args);
    }
    before[insertSelect_] += "WITH zelm_src(" + names.join(", ") + ") AS (";
    after[last] += ") SELECT " + fitted.join(", ") + " FROM zelm_src";
  } else if (updateRef_ >= 0 && updateSet_ >= 0) {
    static const QSet<QString> enders = {"WHERE", "FROM", "RETURNING", "ORDER", "LIMIT"};
    items(updateSet_ + 1, [&](int k, int depth) {
            return depth == 0 && toks_[k].kind == Tok::Ident && enders.contains(toks_[k].text.toUpper());
          },
          [&](int a, int b, int) {
            // column = value
            int c = a;
            while (c <= b && toks_[c].kind == Tok::Space) ++c;
            int eq = c + 1;
            while (eq <= b && toks_[eq].kind == Tok::Space) ++eq;
            if (c > b || eq > b || (toks_[c].kind != Tok::Ident && toks_[c].kind != Tok::QIdent) ||
                toks_[eq].kind != Tok::Op || toks_[eq].text != "=")
              return;
            wrap(eq + 1, b, updateRef_, toks_[c].text);
          });
  }

  if (dateParams)
    for (int k = 0; k < count; ++k)
      if (dateLit[k] && toks_[k].kind == Tok::Param) *dateParams << toks_[k].text.mid(1).toUpper();
  auto quoteId = [](const QString& v) {
    QString e = v;
    e.replace('"', "\"\"");
    return "\"" + e + "\"";
  };
  // A SELECT that bounds a date field on both sides over a few weeks ("DATEJ>='3/5/2005' AND
  // DATEJ<='3/11/2005') also gets the days as a list, so that an index that starts with that date
  // and goes on with fields the statement fixes is searched day by day instead of scanned over
  // the whole range.
  int hintAt = -1;
  QString hint;
  if (select_) {
    int where = -1, end = count, depth = 0;
    bool anyOr = false;
    for (int k = 0; k < count; ++k) {
      const Tok& t = toks_[k];
      if (t.kind == Tok::LParen) depth++;
      if (t.kind == Tok::RParen) depth--;
      if (depth != 0 || t.kind != Tok::Ident) continue;
      const QString u = t.text.toUpper();
      if (where < 0) {
        if (u == "WHERE") where = k;
        continue;
      }
      if (u == "OR") anyOr = true;
      if (u == "ORDER" || u == "GROUP" || u == "HAVING" || u == "LIMIT" || u == "UNION" || u == "EXCEPT" ||
          u == "INTERSECT") {
        end = k;
        break;
      }
    }
    if (where >= 0 && !anyOr) {
      struct Bound {
        QString colText;
        QDate lo, hi;
        bool loSet = false, hiSet = false;
      };
      std::map<QString, Bound> bounds;
      auto literalDate = [&](int k) -> QDate {
        if (toks_[k].kind != Tok::Str) return {};
        const QString iso = dateLit[k] ? MdyToIso(toks_[k].text) : toks_[k].text;
        return DateFromIso(iso);
      };
      int from = where + 1;
      depth = 0;
      for (int k = where + 1; k <= end; ++k) {
        const bool last = k == end;
        if (!last && toks_[k].kind == Tok::LParen) depth++;
        if (!last && toks_[k].kind == Tok::RParen) depth--;
        if (!last && !(depth == 0 && toks_[k].kind == Tok::Ident && toks_[k].text.toUpper() == "AND")) continue;
        std::vector<int> sig;
        for (int j = from; j < k; ++j)
          if (toks_[j].kind != Tok::Space) sig.push_back(j);
        from = k + 1;
        while (sig.size() >= 2 && toks_[sig.front()].kind == Tok::LParen && toks_[sig.back()].kind == Tok::RParen) {
          sig.erase(sig.begin());
          sig.pop_back();
        }
        // col op literal, or literal op col; col may be qualified.
        int opAt = -1;
        for (size_t j = 0; j < sig.size(); ++j)
          if (toks_[sig[j]].kind == Tok::Op) opAt = int(j);
        if (opAt < 1 || opAt + 1 >= int(sig.size())) continue;
        QString op = toks_[sig[opAt]].text;
        std::vector<int> lhs(sig.begin(), sig.begin() + opAt), rhs(sig.begin() + opAt + 1, sig.end());
        if (lhs.size() == 1 && toks_[lhs[0]].kind == Tok::Str) {
          std::swap(lhs, rhs);
          if (op.startsWith('<')) op.replace(0, 1, '>');
          else if (op.startsWith('>')) op.replace(0, 1, '<');
        }
        if (rhs.size() != 1 || lhs.empty() || !isDateColumn(colAt(lhs.back()))) continue;
        if (!(lhs.size() == 1 || (lhs.size() == 3 && toks_[lhs[1]].kind == Tok::Dot))) continue;
        const QDate d = literalDate(rhs[0]);
        if (!d.isValid()) continue;
        QString colText;
        for (int j : lhs) colText += toks_[j].kind == Tok::QIdent ? quoteIdent(toks_[j].text) : toks_[j].text;
        Bound& b = bounds[colText.toUpper()];
        b.colText = colText;
        if (op == ">=" || op == ">") {
          const QDate lo = op == ">" ? d.addDays(1) : d;
          if (!b.loSet || lo > b.lo) b.lo = lo;
          b.loSet = true;
        } else if (op == "<=" || op == "<") {
          const QDate hi = op == "<" ? d.addDays(-1) : d;
          if (!b.hiSet || hi < b.hi) b.hi = hi;
          b.hiSet = true;
        }
      }
      for (auto& [key, b] : bounds) {
        if (!b.loSet || !b.hiSet || b.lo > b.hi || b.lo.daysTo(b.hi) > 62) continue;
        QStringList days;
        for (QDate d = b.lo; d <= b.hi; d = d.addDays(1)) days << "'" + IsoFromDate(d) + "'";
        hint += " AND " + b.colText + " IN (" + days.join(", ") + ")";
      }
      if (!hint.isEmpty()) {
        hint += " ";
        hintAt = end;
      }
    }
  }

  QString out;
  size_t r = 0;
  for (int k = 0; k <= count; ++k) {
    if (k == hintAt) out += hint;
    if (k == count) break;
    out += before[k];
    if (r < refs_.size() && k == refs_[r].first) {
      out += qualified(int(r));
      if (!refs_[r].aliased && select_) out += " AS " + quoteId(refs_[r].inner);
      k = refs_[r].last;
      ++r;
      out += after[k];
      continue;
    }
    const Tok& t = toks_[k];
    switch (t.kind) {
      case Tok::Str: out += QuoteLiteral(dateLit[k] ? MdyToIso(t.text) : t.text); break;
      case Tok::QIdent: out += quoteId(t.text); break;
      case Tok::Ident: {
        const QString u = t.text.toUpper();
        if (u == "DESCENDING") out += "DESC";
        else if (u == "ASCENDING") out += "ASC";
        else out += t.text;
        break;
      }
      default: out += t.text;
    }
    for (const auto& [tok, name] : aliasAfter_)
      if (tok == k) out += " AS " + quoteId(t.text);
    out += after[k];
  }
  return out;
}

}  // namespace dbe
