// SQL in the local dialect over the table files of one folder: SELECT as a read-only dataset,
// DELETE / UPDATE / INSERT through ExecSQL, named parameters (":myWeek").
//
// The dialect: table file names as tables (CLIENT, Client.db, TLISTE.DB, "Data/CLIENT.DB"),
// ORDER BY ... DESCENDING, dates compared with month/day/year literals ('12/25/2005'), numbers
// written as quoted literals ('0'), joins, LEFT OUTER JOIN, DISTINCT, aggregates under an alias.
//
// A SELECT's rows are all read at Open (its tables are let go at once, so a query never holds a
// table): a few thousand into memory, more into a private store on disk read back a page at a
// time, so that memory stays bounded whatever the number of rows. Values typed by the user go in
// as parameters (ParamByName), never into the text.
#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/db/Dataset.h"

class QueryEngine;  // engine side

// The SQL text of a query, line by line. Changing it closes the query and re-reads its parameters.
class TSQLStrings {
 public:
  void Add(const QString& line);
  void Clear();
  QString Text() const { return lines_.join('\n'); }
  void SetText(const QString& text);
  int Count() const { return int(lines_.size()); }
  QString operator[](int i) const { return lines_.at(i); }
  const QStringList& Lines() const { return lines_; }
 private:
  friend class TQuery;
  std::function<void()> changed_;
  QStringList lines_;
};

class TParam {
 public:
  explicit TParam(const QString& name) : name_(name) {}
  TParam(const TParam&) = delete;
  TParam& operator=(const TParam&) = delete;
  const QString& Name() const { return name_; }
  bool IsNull() const { return value_.isNull(); }
  void Clear() { value_ = QVariant(); }

  dbprop::StringProp<TParam> AsString{this, &TParam::GetAsString, &TParam::SetAsString};
  dbprop::Prop<int, TParam> AsInteger{this, &TParam::GetAsInteger, &TParam::SetAsInteger};
  dbprop::Prop<double, TParam> AsFloat{this, &TParam::GetAsFloat, &TParam::SetAsFloat};
  dbprop::Prop<Currency, TParam> AsCurrency{this, &TParam::GetAsCurrency, &TParam::SetAsCurrency};
  dbprop::Prop<QDate, TParam> AsDate{this, &TParam::GetAsDate, &TParam::SetAsDate};
  dbprop::Prop<QDateTime, TParam> AsDateTime{this, &TParam::GetAsDateTime, &TParam::SetAsDateTime};
  dbprop::Prop<bool, TParam> AsBoolean{this, &TParam::GetAsBoolean, &TParam::SetAsBoolean};
  dbprop::Prop<QVariant, TParam> Value{this, &TParam::GetValue, &TParam::SetValue};

  QString GetAsString() const { return value_.isNull() ? QString() : value_.toString(); }
  void SetAsString(const QString& v) { value_ = v; }
  int GetAsInteger() const { return value_.toInt(); }
  void SetAsInteger(const int& v) { value_ = v; }
  double GetAsFloat() const { return value_.toDouble(); }
  void SetAsFloat(const double& v) { value_ = v; }
  Currency GetAsCurrency() const { return Currency::FromDouble(value_.toDouble()); }
  void SetAsCurrency(const Currency& v) { value_ = v.ToDouble(); }
  QDate GetAsDate() const { return value_.toDate(); }
  void SetAsDate(const QDate& v) { value_ = v.isValid() ? QVariant(v) : QVariant(); }
  QDateTime GetAsDateTime() const { return value_.toDateTime(); }
  void SetAsDateTime(const QDateTime& v) { value_ = v.isValid() ? QVariant(v) : QVariant(); }
  bool GetAsBoolean() const { return value_.toBool(); }
  void SetAsBoolean(const bool& v) { value_ = v; }
  QVariant GetValue() const { return value_; }
  void SetValue(const QVariant& v) { value_ = v; }

 private:
  QString name_;
  QVariant value_;
};

class TQuery : public TDataSet {
 public:
  explicit TQuery(const QString& name = {});
  ~TQuery() override;

  QString DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const QString& folder);

  TSQLStrings SQL;

  void Prepare();     // translates the text and checks that its tables exist
  void UnPrepare();
  bool Prepared() const { return prepared_; }
  void ExecSQL();     // DELETE, UPDATE, INSERT (or any statement that returns no rows)
  int RowsAffected() const { return rowsAffected_; }

  // Parameters named in the text (":myRegion"), found ignoring case.
  TParam* ParamByName(const QString& name);  // EDatabaseError when the text has no such parameter
  TParam* FindParam(const QString& name);
  int ParamCount() const { return int(params_.size()); }
  TParam* Params(int i) const { return params_.at(i).get(); }

 protected:
  std::vector<FieldInfo> DoOpen() override;
  void DoClose() override;
  bool DoFirst(Record& out) override;
  bool DoLast(Record& out) override;
  bool DoNext(const Record& from, Record& out) override;
  bool DoPrior(const Record& from, Record& out) override;
  bool DoReread(Record& rec) override;
  bool DoGoto(int64_t id, Record& out) override;
  int DoRecordCount() override;
  int DoRecNo(const Record& rec) override;
  bool DoSeek(int index, Record& out) override;
  std::vector<Record> DoReadRows(int first, int count) override;
  bool DoLocate(const std::vector<int>& fields, const QList<QVariant>& values,
                TLocateOptions options, Record& out) override;
  void DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) override;
  void DoDelete(const Record& rec) override;
  void DoFilterChanged() override;
  void DoCheckWritable() override;
  void DoRefresh() override;

 private:
  void SqlChanged();
  void ParseParams();
  bool Visible(int row);
  QString databaseName_;
  bool prepared_ = false;
  int rowsAffected_ = 0;
  std::vector<std::unique_ptr<TParam>> params_;
  std::unique_ptr<QueryEngine> engine_;
  QList<QVariant> RowAt(int row);      // row of the result, as field values
  int RowCount() const;
  std::vector<int> visible_;           // rows that pass the filter, when filtering
  bool filterActive_ = false;
};
