// Datasets: the cursor, its fields, its states and events, shared by tables and queries.
//
// Field values read and write through small property objects, so code reads as the windows
// speak of their data:
//   QString nom = Client.FieldByName("Nom")->AsString;     // converts implicitly
//   Client.FieldByName("Nom")->AsString().trimmed();        // or call it
//   Client.FieldByName("Nom")->AsString = "DUPONT";         // assigns (dataset in edit/insert)
//   Disto.FieldByName("PU")->AsCurrency = Currency::FromRaw(12500);
// An empty text, a null QVariant or Clear() store NULL. Strings are cut to their field's size,
// 16- and 32-bit integers are range checked (EDBEngineError DBIERR_OUTOFRANGE).
#pragma once
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "platform/sys/Errors.h"
#include "platform/sys/Formats.h"

class TDataSet;
class TField;
class TDataLink;

// A failure of the dataset layer that is not the storage engine's (wrong state, unknown field...).
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftBoolean, ftFloat, ftCurrency, ftDate, ftDateTime,
  ftAutoInc
};

enum TLocateOption : int { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;  // loCaseInsensitive | loPartialKey

// A position in a dataset. Valid while the record exists.
struct TBookmark {
  int64_t id = 0;
  bool valid = false;
  bool operator==(const TBookmark&) const = default;
};

namespace dbprop {
// Property objects of a field or parameter: read by conversion or call, written by assignment.
// They cannot be copied (auto x = f->AsString does not compile; write f->AsString()).
template <class T, class Owner>
class Prop {
 public:
  using Getter = T (Owner::*)() const;
  using Setter = void (Owner::*)(const T&);
  Prop(Owner* o, Getter g, Setter s) : o_(o), g_(g), s_(s) {}
  Prop(const Prop&) = delete;
  Prop& operator=(const Prop& other) { (o_->*s_)(other()); return *this; }
  Prop& operator=(const T& v) { (o_->*s_)(v); return *this; }
  T operator()() const { return (o_->*g_)(); }
  operator T() const { return (o_->*g_)(); }
 private:
  Owner* o_;
  Getter g_;
  Setter s_;
};

template <class Owner>
class StringProp : public Prop<QString, Owner> {
 public:
  using Prop<QString, Owner>::Prop;
  using Prop<QString, Owner>::operator=;
  StringProp& operator=(const StringProp& o) { Prop<QString, Owner>::operator=(o); return *this; }
  StringProp& operator=(const char* v) { Prop<QString, Owner>::operator=(QString::fromUtf8(v)); return *this; }
  friend bool operator==(const StringProp& a, const QString& b) { return a() == b; }
  friend bool operator==(const StringProp& a, const char* b) { return a() == QString::fromUtf8(b); }
  friend bool operator!=(const StringProp& a, const QString& b) { return a() != b; }
  friend bool operator!=(const StringProp& a, const char* b) { return a() != QString::fromUtf8(b); }
  friend QString operator+(const StringProp& a, const QString& b) { return a() + b; }
  friend QString operator+(const QString& a, const StringProp& b) { return a + b(); }
  friend QString operator+(const StringProp& a, const char* b) { return a() + QString::fromUtf8(b); }
  friend QString operator+(const char* a, const StringProp& b) { return QString::fromUtf8(a) + b(); }
};
}  // namespace dbprop

// One column of a dataset's current record.
class TField {
 public:
  TField(TDataSet* ds, int index, const QString& name, TFieldType type, int size);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const QString& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }      // characters of a string field, else 0
  int FieldNo() const { return index_ + 1; }
  int Index() const { return index_; }
  TDataSet* DataSet() const { return ds_; }

  bool IsNull() const;
  void Clear();  // stores NULL

  dbprop::StringProp<TField> AsString{this, &TField::GetAsString, &TField::SetAsString};
  dbprop::Prop<int, TField> AsInteger{this, &TField::GetAsInteger, &TField::SetAsInteger};
  dbprop::Prop<double, TField> AsFloat{this, &TField::GetAsFloat, &TField::SetAsFloat};
  dbprop::Prop<Currency, TField> AsCurrency{this, &TField::GetAsCurrency, &TField::SetAsCurrency};
  dbprop::Prop<QDate, TField> AsDate{this, &TField::GetAsDate, &TField::SetAsDate};
  dbprop::Prop<QDateTime, TField> AsDateTime{this, &TField::GetAsDateTime, &TField::SetAsDateTime};
  dbprop::Prop<bool, TField> AsBoolean{this, &TField::GetAsBoolean, &TField::SetAsBoolean};
  // Typed value: QString, int (qlonglong), double, Currency as double, QDate, bool; null when empty.
  dbprop::Prop<QVariant, TField> Value{this, &TField::GetValue, &TField::SetValue};

  // Text for display: dates "DD/MM/YYYY", money with two decimals, numbers through DisplayFormat
  // when set ("### ##0"); empty for NULL.
  QString DisplayText() const;
  QString DisplayLabel;   // column title in grids; the field name when empty
  QString DisplayFormat;  // FormatFloat picture for numeric fields
  int DisplayWidth = 0;   // characters; 0 = from the size
  bool Visible = true;
  bool ReadOnly = false;

  QString GetAsString() const;
  void SetAsString(const QString& v);
  int GetAsInteger() const;
  void SetAsInteger(const int& v);
  double GetAsFloat() const;
  void SetAsFloat(const double& v);
  Currency GetAsCurrency() const;
  void SetAsCurrency(const Currency& v);
  QDate GetAsDate() const;
  void SetAsDate(const QDate& v);
  QDateTime GetAsDateTime() const;
  void SetAsDateTime(const QDateTime& v);
  bool GetAsBoolean() const;
  void SetAsBoolean(const bool& v);
  QVariant GetValue() const;
  void SetValue(const QVariant& v);

 private:
  friend class TDataSet;
  void Store(const QVariant& v);  // checks and normalises, then writes into the edit buffer
  TDataSet* ds_;
  int index_;
  QString name_;
  TFieldType type_;
  int size_;
};

// Observers of a dataset: data sources, grids and data-aware controls. A link detaches itself when
// destroyed and is told when its dataset goes away. Nothing is sent while controls are disabled;
// EnableControls then sends one DataSetChanged.
class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();
  void SetDataSet(TDataSet* ds);
  TDataSet* DataSet() const { return ds_; }

  virtual void ActiveChanged() {}                  // opened or closed
  virtual void StateChanged() {}                   // browse, edit, insert
  virtual void DataSetChanged() {}                 // anything may have changed: re-read what is shown
  virtual void DataSetScrolled(int distance) {}    // the current record moved
  virtual void RecordChanged(TField* field) {}     // a field of the current record was set
  virtual void UpdateData() {}                     // before a post: write pending input into fields
  virtual void DataSetDestroyed() {}               // the dataset is going away; the link is detached

 private:
  friend class TDataSet;
  TDataSet* ds_ = nullptr;
};

// The cursor over the records of a table or a query.
class TDataSet {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
  using TDataChangeEvent = std::function<void(TDataSet&, TField*)>;
  using TFilterRecordEvent = std::function<void(TDataSet&, bool& Accept)>;

  explicit TDataSet(const QString& name = {});
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;
  virtual ~TDataSet();

  QString Name;  // component name, used in messages

  // Events. A Before* handler refuses the operation silently by calling Abort().
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord;     // a new record's defaults
  TDataSetNotifyEvent OnStateChange;   // the state changed (as a data source reports it)
  TDataChangeEvent OnDataChange;       // a field changed (field) or the record moved (nullptr)
  TFilterRecordEvent OnFilterRecord;   // used while Filtered is on; the record is current

  // Opening and state.
  void Open();
  void Close();  // a pending edit or insert is dropped, as the cursor closes
  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool a) { a ? Open() : Close(); }
  TDataSetState State() const { return state_; }

  // Navigation. A move while editing posts the record first.
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);  // the distance actually moved
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty();
  int RecordCount();         // records that pass the filter
  int RecNo();               // 1-based position in the current order; 0 when empty
  void SetRecNo(int recNo);  // moves to that position
  void Refresh();            // re-reads the data; the current record stays current when it exists

  // Editing.
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void CheckBrowseMode();  // posts a pending edit or insert
  bool Modified() const { return modified_; }

  // Bookmarks.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bm);  // EDBEngineError when the record no longer exists
  bool BookmarkValid(const TBookmark& bm);
  void FreeBookmark(TBookmark&) {}

  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // Locate: moves to the first record (in the current order) whose fields equal the values;
  // "A;B" names several fields. Returns false and leaves the cursor where it was when none matches.
  bool Locate(const QString& keyFields, const QList<QVariant>& keyValues, TLocateOptions options = 0);
  // One field: Locate("ID", code). (A template, so that Locate("A;B", {x, y}) picks the list.)
  template <class V, class = std::enable_if_t<std::is_constructible_v<QVariant, const V&>>>
  bool Locate(const QString& keyField, const V& keyValue, TLocateOptions options = 0) {
    return LocateOne(keyField, QVariant(keyValue), options);
  }
  bool LocateOne(const QString& keyField, const QVariant& keyValue, TLocateOptions options = 0);

  // Filter text: comparisons of a field with a quoted literal (=, <>, <, >, <=, >=), joined with
  // and / or, in parentheses; dates written 'DD/MM/YYYY'. Applies while Filtered is on, together
  // with OnFilterRecord.
  QString Filter() const { return filterText_; }
  void SetFilter(const QString& text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool on);

  // Fields.
  int FieldCount() const { return int(fields_.size()); }
  TField* Fields(int index) const;
  TField* FieldByName(const QString& name) const;  // ignoring case; EDatabaseError when unknown
  TField* FindField(const QString& name) const;    // nullptr when unknown
  QStringList FieldNames() const;

  // Values of up to count records from position first (0-based, current order and filter),
  // without moving the cursor: what a grid shows of the rows around the current one.
  std::vector<QList<QVariant>> ReadRows(int first, int count);

  // Observers.
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

 protected:
  // One record: the values in field order and the id that bookmarks it.
  struct Record {
    QList<QVariant> values;
    int64_t id = 0;
  };
  struct FieldInfo {
    QString name;
    TFieldType type = ftUnknown;
    int size = 0;
  };

  // What a table or a query provides. Fetches honour the filter; they return false at the end.
  virtual std::vector<FieldInfo> DoOpen() = 0;  // opens the source, gives its fields
  virtual void DoClose() = 0;
  virtual bool DoFirst(Record& out) = 0;
  virtual bool DoLast(Record& out) = 0;
  virtual bool DoNext(const Record& from, Record& out) = 0;
  virtual bool DoPrior(const Record& from, Record& out) = 0;
  virtual bool DoReread(Record& rec) = 0;  // by id; false when gone
  virtual bool DoGoto(int64_t id, Record& out) = 0;
  virtual int DoRecordCount() = 0;
  virtual int DoRecNo(const Record& rec) = 0;  // 1-based
  virtual bool DoSeek(int index, Record& out) = 0;  // 0-based position
  virtual std::vector<Record> DoReadRows(int first, int count) = 0;
  virtual bool DoLocate(const std::vector<int>& fields, const QList<QVariant>& values,
                        TLocateOptions options, Record& out) = 0;
  virtual void DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) = 0;
  virtual void DoDelete(const Record& rec) = 0;
  virtual void DoFilterChanged() = 0;
  virtual void DoCheckWritable() = 0;  // raises when the dataset cannot be edited
  virtual void DoRefresh() {}  // re-reads what the dataset keeps (a query's rows)
  virtual QList<QVariant> DoNewRecordDefaults() { return QList<QVariant>(FieldCount()); }

  // For the implementations.
  bool AcceptRecord(const Record& rec);  // OnFilterRecord, when filtering
  bool HasFilterCallback() const { return filtered_ && bool(OnFilterRecord); }
  void CheckActive() const;
  void CheckInactive() const;
  QString NameInErrors() const;  // the dataset as its errors name it
  void Resync();          // after a change of order or filter: re-position, tell the links
  const FieldInfo& Info(int i) const { return infos_[i]; }
  QVariant NormalizeValue(int field, const QVariant& v) const;  // type, size and range checks
  void NotifyDataSetChanged();
  void NotifyScrolled(int distance);

 private:
  friend class TField;
  friend class TDataLink;
  QVariant FieldValue(int index) const;
  void SetFieldValue(int index, const QVariant& v);
  void SetState(TDataSetState s);
  void BeginInsert(bool append);
  void DoAfterScroll(int distance);
  void NotifyState();
  void NotifyRecord(TField* f);

  TDataSetState state_ = dsInactive;
  std::vector<std::unique_ptr<TField>> fields_;
  mutable QHash<QString, TField*> fieldByName_;  // names as asked for, resolved
  std::vector<FieldInfo> infos_;
  Record cur_;                  // the current record (browse)
  Record buf_;                  // the edit buffer
  const Record* filterRec_ = nullptr;  // record shown to OnFilterRecord
  std::vector<bool> changed_;   // fields set in the edit buffer
  bool hasCur_ = false;
  bool eof_ = true;
  bool bof_ = true;
  bool modified_ = false;
  bool inFilterCallback_ = false;
  int disableCount_ = 0;
  bool pendingChange_ = false;
  TDataSetState stateAtDisable_ = dsInactive;
  Record beforeInsert_;         // current record before Insert/Append, restored by Cancel
  bool hadCurBeforeInsert_ = false;
  QString filterText_;
  bool filtered_ = false;
  std::vector<TDataLink*> links_;
  QString locateFields_;          // the last Locate's field list, resolved
  std::vector<int> locateIdx_;
};
