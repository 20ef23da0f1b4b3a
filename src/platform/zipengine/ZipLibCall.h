// What the two zip libraries share: the call back to the component and the guarded entry point.
#pragma once
#include <cstring>
#include <string>

#include "platform/zipengine/ZipRecords.h"

namespace ziprec {

constexpr int32_t kLibVersion = 170;

// Sends one callback record through the command record's callback and keeps the record as the
// component answered it (text terminated) in `answer`. Returns the callback's result (-1: cancel).
template <class Parms>
int32_t CallComponent(const Parms& p, bool isZip, int32_t action, int32_t arg1, int64_t arg2,
                      const std::string& text, CallbackRecord& answer) {
  if (!p.Callback) return 0;
  CallbackRecord r{};
  r.Handle = p.Handle;
  r.Caller = p.Caller;
  r.Version = kLibVersion;
  r.IsOperationZip = isZip ? 1 : 0;
  r.ActionCode = action;
  r.Arg1 = arg1;
  r.Arg2 = arg2;
  std::strncpy(r.Text, text.c_str(), sizeof(r.Text) - 1);
  const int32_t rc = p.Callback(&r);
  answer = r;
  answer.Text[sizeof(answer.Text) - 1] = 0;
  return rc;
}

// The exported command: a record not marked by the component does nothing, and nothing thrown
// crosses back into the component (it counts as no file processed).
template <class Job, class Parms>
int32_t RunCommand(Parms* p) {
  if (!p || p->fSeven != 7) return 0;
  try {
    Job job(p);
    return job.Run();
  } catch (...) {
    return 0;
  }
}

}  // namespace ziprec
