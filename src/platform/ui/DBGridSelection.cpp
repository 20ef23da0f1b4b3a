// The rows selected in a data grid (multi-select), kept as bookmarks.
#include "platform/ui/DBGrids.h"

#include <algorithm>

bool TBookmarkList::CurrentRowSelected() const {
  if (!grid_) return false;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty()) return false;
  const TBookmark bm = ds->GetBookmark();
  return std::find(items_.begin(), items_.end(), bm) != items_.end();
}

void TBookmarkList::SetCurrentRowSelected(bool on) {
  if (!grid_) return;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active() || ds->IsEmpty() || ds->State() == dsInsert) return;
  const TBookmark bm = ds->GetBookmark();
  auto it = std::find(items_.begin(), items_.end(), bm);
  if (on && it == items_.end()) {
    items_.push_back(bm);
    rows_.push_back(grid_->cur_);
  } else if (!on && it != items_.end()) {
    rows_.erase(rows_.begin() + (it - items_.begin()));
    items_.erase(it);
  }
  grid_->Invalidate();
}

void TBookmarkList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  rows_.clear();
  if (grid_) grid_->Invalidate();
}

void TBookmarkList::Refresh() {
  if (!grid_) return;
  TDataSet* ds = grid_->DataSet();
  if (!ds || !ds->Active()) {
    Clear();
    return;
  }
  for (size_t i = items_.size(); i-- > 0;) {
    if (!ds->BookmarkValid(items_[i])) {
      items_.erase(items_.begin() + i);
      rows_.erase(rows_.begin() + i);
    }
  }
  grid_->RecomputeSelectionRows();
  grid_->Invalidate();
}
