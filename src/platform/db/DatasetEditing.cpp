// Editing the records of a dataset: Edit, Insert, Post, Cancel, Delete.
#include "platform/db/Dataset.h"

#include <algorithm>

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) {
    for (TDataLink* l : std::vector<TDataLink*>(links_))
      if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->UpdateData();
    if (modified_) Post();
    else Cancel();
  }
}

void TDataSet::Edit() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (!hasCur_) return Insert();
  DoCheckWritable();
  if (BeforeEdit) BeforeEdit(*this);
  Record r = cur_;
  if (!DoReread(r)) {
    // Gone meanwhile (or no longer in the filter): refuse, with the cursor on a live record.
    Resync();
    throw EDBEngineError(DBIERR_KEYDELETED);
  }
  cur_ = r;
  buf_ = cur_;
  changed_.assign(infos_.size(), false);
  modified_ = false;
  SetState(dsEdit);
  NotifyRecord(nullptr);
  if (AfterEdit) AfterEdit(*this);
}

void TDataSet::BeginInsert(bool) {
  CheckBrowseMode();
  DoCheckWritable();
  if (BeforeInsert) BeforeInsert(*this);
  beforeInsert_ = cur_;
  hadCurBeforeInsert_ = hasCur_;
  buf_ = Record();
  buf_.values = DoNewRecordDefaults();
  changed_.assign(infos_.size(), false);
  SetState(dsInsert);
  try {
    if (OnNewRecord) OnNewRecord(*this);
  } catch (...) {
    SetState(dsBrowse);
    throw;
  }
  modified_ = false;
  NotifyDataSetChanged();
  if (AfterInsert) AfterInsert(*this);
}

void TDataSet::Insert() { BeginInsert(false); }
void TDataSet::Append() { BeginInsert(true); }

void TDataSet::Post() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  for (TDataLink* l : std::vector<TDataLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->UpdateData();
  if (BeforePost) BeforePost(*this);
  const bool inserting = state_ == dsInsert;
  Record rec = buf_;
  DoPost(rec, inserting, changed_);
  cur_ = rec;
  hasCur_ = true;
  bof_ = eof_ = false;
  modified_ = false;
  changed_.assign(infos_.size(), false);
  SetState(dsBrowse);
  NotifyDataSetChanged();
  if (AfterPost) AfterPost(*this);
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  if (BeforeCancel) BeforeCancel(*this);
  const bool inserting = state_ == dsInsert;
  modified_ = false;
  changed_.assign(infos_.size(), false);
  buf_ = Record();
  if (inserting) {
    cur_ = beforeInsert_;
    hasCur_ = hadCurBeforeInsert_;
    if (hasCur_ && !DoReread(cur_)) {
      Record n;
      hasCur_ = DoFirst(n);
      if (hasCur_) cur_ = n;
    }
    eof_ = bof_ = !hasCur_;
  }
  SetState(dsBrowse);
  NotifyDataSetChanged();
  if (AfterCancel) AfterCancel(*this);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert) return Cancel();
  if (!hasCur_) throw EDatabaseError(QString("%1 : opération impossible sur une table vide").arg(NameInErrors()));
  if (state_ == dsEdit) Cancel();
  if (BeforeDelete) BeforeDelete(*this);
  DoCheckWritable();
  const Record gone = cur_;
  DoDelete(gone);
  Record n;
  if (DoNext(gone, n)) {
    cur_ = n;
    bof_ = eof_ = false;
  } else if (DoPrior(gone, n)) {
    cur_ = n;
    bof_ = false;
    eof_ = true;
  } else {
    hasCur_ = false;
    bof_ = eof_ = true;
  }
  NotifyDataSetChanged();
  if (AfterDelete) AfterDelete(*this);
  if (AfterScroll) AfterScroll(*this);
}
