// The data source: links one dataset to the controls that show it, and reports the dataset's
// state changes and data changes to the window.
#pragma once
#include <functional>
#include <vector>

#include "platform/db/Dataset.h"

class TDataSource;

// What a data-aware control hears from its data source.
class TSourceClient {
 public:
  TSourceClient() = default;
  TSourceClient(const TSourceClient&) = delete;
  TSourceClient& operator=(const TSourceClient&) = delete;
  virtual ~TSourceClient();
  void SetSource(TDataSource* src);
  TDataSource* Source() const { return src_; }
  TDataSet* DataSet() const;
  bool Active() const;

  virtual void ActiveChanged() {}
  virtual void StateChanged() {}
  virtual void DataSetChanged() {}
  virtual void DataSetScrolled(int distance) {}
  virtual void RecordChanged(TField* field) {}
  // Before a post: write what the control holds and has not written yet into its field.
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  TDataSource* src_ = nullptr;
};

class TDataSource {
 public:
  explicit TDataSource(TDataSet* ds = nullptr);
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;
  ~TDataSource();

  TDataSet* DataSet() const { return link_.DataSet(); }
  void SetDataSet(TDataSet* ds);
  TDataSetState State() const;
  // A disabled source tells its controls nothing (they show an inactive dataset).
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);

  // The dataset's state changed (browse, edit, insert, inactive).
  std::function<void(TDataSource*)> OnStateChange;
  // A field changed (field given) or the current record moved or the data changed (nullptr).
  std::function<void(TDataSource*, TField*)> OnDataChange;

 private:
  friend class TSourceClient;
  class Link : public TDataLink {
   public:
    TDataSource* owner = nullptr;
    void ActiveChanged() override;
    void StateChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    void DataSetDestroyed() override;
  };
  template <class F> void ForClients(F f);
  Link link_;
  bool enabled_ = true;
  TDataSetState lastState_ = dsInactive;
  std::vector<TSourceClient*> clients_;
};

// Stores text typed into a data-aware control as it is typed. False when the field cannot take it
// yet (a number still being typed), to be checked when the control is left; an abort goes on up.
bool StoreTyped(TField* field, const QString& text);
