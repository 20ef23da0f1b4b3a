// The local SQL of the windows, turned into SQLite's over the attached table files.
//   FROM TLISTE.DB / FROM "Data/CLIENT.DB" / FROM Client.db A   -> zN."TLISTE" ...
//   ORDER BY X DESCENDING                                        -> ORDER BY X DESC
//   DATEJ >= '3/1/2005' (month/day/year against a date field)    -> DATEJ >= '2005-03-01'
// Quoted numbers need nothing: the columns' numeric affinity compares and stores them as numbers.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace dbe {

class LocalSql {
 public:
  // Reads the statement; raises EDBEngineError (DBIERR_SQLERROR) on text it cannot follow.
  explicit LocalSql(const QString& text);

  // Table names as written, in order of appearance (one entry per reference).
  const QStringList& TableNames() const { return names_; }

  // The SQLite text. qualified(i) gives the SQL name of table reference i ("z3.\"TLISTE\"");
  // isDateColumn tells whether a column name (no qualifier) is a date field of the tables.
  // dateParams (when given) receives the parameters compared with or stored into a date field,
  // upper case, so that a date given to them as text is bound as a date.
  // columnsOf(i) gives the fields of table reference i in order (an INSERT without a column list).
  // fit(i, column) gives the arguments of the zfit() call that applies the field rules of a column
  // of table reference i to the values an INSERT or UPDATE writes into it (empty: left as is).
  QString Translate(const std::function<QString(int)>& qualified,
                    const std::function<bool(const QString&)>& isDateColumn, QStringList* dateParams = nullptr,
                    const std::function<QStringList(int)>& columnsOf = {},
                    const std::function<QString(int, const QString&)>& fit = {}) const;

 private:
  struct Tok {
    enum Kind { Space, Ident, QIdent, Str, Num, Param, Op, Comma, LParen, RParen, Dot, Other } kind;
    QString text;  // as written (strings and quoted names without their quotes)
  };
  struct TableRef {
    int first, last;  // token range [first, last]
    bool aliased;
    QString inner;    // base name, for an alias when none is given
  };
  std::vector<Tok> toks_;
  std::vector<TableRef> refs_;
  QStringList names_;
  int insertRef_ = -1;           // INSERT INTO: the table reference
  QStringList insertColumns_;    // its column list
  int valuesOpen_ = -1;          // token of the "(" after VALUES
  int insertSelect_ = -1;        // INSERT ... SELECT: the SELECT token
  int updateRef_ = -1;           // UPDATE: the table reference
  int updateSet_ = -1;           // its SET token
  bool select_ = false;
  std::vector<std::pair<int, QString>> aliasAfter_;  // select items that get their name as alias
};

// "12/25/2005" -> "2005-12-25"; empty when the text is not a month/day/year date.
QString MdyToIso(const QString& s);

}  // namespace dbe
