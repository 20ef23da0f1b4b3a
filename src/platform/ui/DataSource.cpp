#include "platform/ui/DataSource.h"

#include <algorithm>

TSourceClient::~TSourceClient() { SetSource(nullptr); }

void TSourceClient::SetSource(TDataSource* src) {
  if (src_ == src) return;
  if (src_) {
    auto& v = src_->clients_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  src_ = src;
  if (src_) src_->clients_.push_back(this);
  ActiveChanged();
}

TDataSet* TSourceClient::DataSet() const { return src_ && src_->Enabled() ? src_->DataSet() : nullptr; }

bool TSourceClient::Active() const {
  TDataSet* ds = DataSet();
  return ds && ds->Active();
}

TDataSource::TDataSource(TDataSet* ds) {
  link_.owner = this;
  SetDataSet(ds);
}

TDataSource::~TDataSource() {
  // The owner's handlers must not run now: the window that set them is being taken apart, and
  // nothing may escape a destructor.
  OnDataChange = nullptr;
  OnStateChange = nullptr;
  auto clients = clients_;
  for (auto* c : clients) c->SetSource(nullptr);
  link_.SetDataSet(nullptr);
}

template <class F>
void TDataSource::ForClients(F f) {
  if (!enabled_) return;
  auto clients = clients_;  // a client may detach itself while being told
  for (auto* c : clients)
    if (std::find(clients_.begin(), clients_.end(), c) != clients_.end()) f(c);
}

void TDataSource::SetDataSet(TDataSet* ds) {
  if (link_.DataSet() == ds) return;
  link_.SetDataSet(ds);
  lastState_ = State();
  ForClients([](TSourceClient* c) { c->ActiveChanged(); });
}

void TDataSource::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  auto clients = clients_;
  for (auto* c : clients) c->ActiveChanged();
}

TDataSetState TDataSource::State() const {
  TDataSet* ds = link_.DataSet();
  return ds ? ds->State() : dsInactive;
}

void TDataSource::Link::ActiveChanged() {
  owner->ForClients([](TSourceClient* c) { c->ActiveChanged(); });
  StateChanged();
  if (owner->OnDataChange && DataSet() && DataSet()->Active()) owner->OnDataChange(owner, nullptr);
}

void TDataSource::Link::StateChanged() {
  const TDataSetState s = owner->State();
  if (s == owner->lastState_) return;
  owner->lastState_ = s;
  owner->ForClients([](TSourceClient* c) { c->StateChanged(); });
  if (owner->OnStateChange) owner->OnStateChange(owner);
}

void TDataSource::Link::DataSetChanged() {
  owner->ForClients([](TSourceClient* c) { c->DataSetChanged(); });
  if (owner->OnDataChange) owner->OnDataChange(owner, nullptr);
}

void TDataSource::Link::DataSetScrolled(int distance) {
  owner->ForClients([distance](TSourceClient* c) { c->DataSetScrolled(distance); });
  if (owner->OnDataChange) owner->OnDataChange(owner, nullptr);
}

void TDataSource::Link::RecordChanged(TField* field) {
  owner->ForClients([field](TSourceClient* c) { c->RecordChanged(field); });
  if (owner->OnDataChange) owner->OnDataChange(owner, field);
}

void TDataSource::Link::UpdateData() {
  owner->ForClients([](TSourceClient* c) { c->UpdateData(); });
}

void TDataSource::Link::DataSetDestroyed() {
  owner->lastState_ = dsInactive;
  owner->ForClients([](TSourceClient* c) { c->ActiveChanged(); });
}

bool StoreTyped(TField* field, const QString& text) {
  try {
    field->AsString = text;
    return true;
  } catch (const EAbort&) {
    throw;
  } catch (const Exception&) {
    return false;
  }
}
