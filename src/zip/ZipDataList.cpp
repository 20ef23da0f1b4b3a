// The span's list of entries and the memory stream the libraries may fill.
#include "zip/ZipArch.h"

TMZipDataList::TMZipDataList(int Count) {
  items_.reserve(Count > 0 ? Count : 0);
  for (int i = 0; i < Count; ++i) items_.push_back(new SpanDataEntry());
}

TMZipDataList::~TMZipDataList() {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) delete *it;
}

SpanDataEntry& TMZipDataList::Items(int Index) {
  if (Index < 0 || Index >= Count())
    throw Exception(QString::asprintf("Index (%d) outside range 1..%d", Index, Count() - 1));
  return *items_[Index];
}

int TMZipDataList::IndexOf(const QString& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (QString::fromUtf8(items_[i]->FileName).compare(Name, Qt::CaseInsensitive) == 0) return i;
  throw EZipArchiver::CreateFromId(11026, true);
}

int TMZipDataList::IndexOfSource(int Disk, int64_t Offset) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i]->SourceDisk == Disk && items_[i]->SourceOffset == Offset) return i;
  throw EZipArchiver::CreateFromId(11026, true);
}

bool TZipStream::SetSize(qint64 n) {
  if (n < 0 || n > (qint64(1) << 30)) return false;
  try {
    data_.resize(n);
  } catch (...) {
    return false;
  }
  return true;
}

void TZipStream::SetPointer(char* p, qint64 size) { data_ = QByteArray(p, size); }
