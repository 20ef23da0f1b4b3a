// Data-aware controls: an edit bound to a field, a lookup box (bound to a field, or unbound with
// its own key value), and a navigator.
#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/ui/DataSource.h"

class QToolButton;

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TDBEdit : public QLineEdit, public TSourceClient {
  Q_OBJECT
 public:
  explicit TDBEdit(QWidget* parent = nullptr);
  ~TDBEdit() override;

  TDataSource* DataSource() const { return Source(); }
  void SetDataSource(TDataSource* ds) { SetSource(ds); }
  QString DataField() const { return dataField_; }
  void SetDataField(const QString& f);
  TField* Field() const;
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool on) { setReadOnly(on); }
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase c) { charCase_ = c; }
  // 0: the field's size for a text field.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  // Background and text colours.
  void SetColors(const QColor& background, const QColor& text);

  std::function<void(QWidget*, QChar& key)> OnKeyPress;
  std::function<void(QWidget*)> OnExit;

  // The box holds typed text that is not a value of its field (letters in a number).
  bool HoldsBadText();
  // Takes back such a text: the box shows the field's value again.
  void DropBadText();

 protected:
  void ActiveChanged() override { Reload(); }
  void DataSetChanged() override { Reload(); }
  void DataSetScrolled(int) override { Reload(); }
  void RecordChanged(TField* f) override;
  void StateChanged() override;
  void UpdateData() override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void Reload();
  void Edited(const QString& text);
  bool Write(bool report);
  int Limit() const;
  QString dataField_;
  TEditCharCase charCase_ = TEditCharCase::ecNormal;
  int maxLength_ = 0;
  QString lastText_;
  QString entryText_;  // the text when the box was entered
  bool writing_ = false;
  bool pending_ = false;
  bool reported_ = false;  // the pending text was refused, with its message, when the box was left
};

class TDBLookupComboBox : public QComboBox, public TSourceClient {
  Q_OBJECT
 public:
  explicit TDBLookupComboBox(QWidget* parent = nullptr);
  ~TDBLookupComboBox() override;

  // Bound mode: the chosen key is written into this field of the data source's record.
  TDataSource* DataSource() const { return Source(); }
  void SetDataSource(TDataSource* ds) { SetSource(ds); }
  QString DataField() const { return dataField_; }
  void SetDataField(const QString& f);
  // The list: the records of the list source, showing ListField, keyed by KeyField.
  TDataSource* ListSource() const { return list_.Source(); }
  void SetListSource(TDataSource* ds) { list_.SetSource(ds); }
  void SetKeyField(const QString& f) { keyField_ = f; ReloadList(); }
  void SetListField(const QString& f) { listField_ = f; ReloadList(); }
  QString KeyField() const { return keyField_; }
  QString ListField() const { return listField_; }

  // The key of the entry shown; null when none (or when the entry's key is null).
  QVariant KeyValue() const { return key_; }
  // An entry of the list is shown (its key may be empty).
  bool HasChoice() const { return currentIndex() >= 0; }
  void SetKeyValue(const QVariant& key);
  QString Text() const { return currentText(); }
  void SetColors(const QColor& background, const QColor& text);
  // The list is read again from the list source.
  void ReloadList();

  // The operator chose an entry (the list closed on a choice).
  std::function<void(TDBLookupComboBox*)> OnCloseUp;
  // The list closed without a choice (Escape, a click elsewhere, the box clicked again).
  std::function<void(TDBLookupComboBox*)> OnListDismissed;
  std::function<void(QWidget*, QChar& key)> OnKeyPress;

 protected:
  void ActiveChanged() override { ShowFieldKey(); }
  void DataSetChanged() override { ShowFieldKey(); }
  void DataSetScrolled(int) override { ShowFieldKey(); }
  void RecordChanged(TField* f) override;
  void keyPressEvent(QKeyEvent* e) override;
  void hidePopup() override;

 private:
  class ListClient : public TSourceClient {
   public:
    TDBLookupComboBox* owner = nullptr;
    void ActiveChanged() override { owner->ReloadList(); }
    void DataSetChanged() override { owner->ReloadList(); }
  };
  void ShowFieldKey();
  void ShowKey();
  void UserChose(int index);
  QString dataField_, keyField_, listField_;
  ListClient list_;
  std::vector<QVariant> keys_;
  QVariant key_;
  bool setting_ = false;
  bool writing_ = false;
  bool dismissing_ = false;  // the list closed; no choice seen yet
};

enum TNavigateBtn : unsigned { nbFirst = 1, nbPrior = 2, nbNext = 4, nbLast = 8 };

class TDBNavigator : public QWidget, public TSourceClient {
  Q_OBJECT
 public:
  explicit TDBNavigator(QWidget* parent = nullptr);
  ~TDBNavigator() override;
  TDataSource* DataSource() const { return Source(); }
  void SetDataSource(TDataSource* ds) { SetSource(ds); }
  void SetVisibleButtons(unsigned buttons);
  QToolButton* Button(TNavigateBtn b) const;
  void BtnClick(TNavigateBtn b);

 protected:
  void ActiveChanged() override { UpdateButtons(); }
  void StateChanged() override { UpdateButtons(); }
  void DataSetChanged() override { UpdateButtons(); }
  void DataSetScrolled(int) override { UpdateButtons(); }

 private:
  void UpdateButtons();
  QToolButton* buttons_[4] = {};
};
