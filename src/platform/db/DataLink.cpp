// TDataLink: what a control or another dataset hears of a dataset.
#include "platform/db/Dataset.h"

TDataLink::~TDataLink() {
  if (ds_) ds_->RemoveLink(this);
}

void TDataLink::SetDataSet(TDataSet* ds) {
  if (ds_ == ds) return;
  if (ds_) ds_->RemoveLink(this);
  if (ds) ds->AddLink(this);
  DataSetChanged();
}
