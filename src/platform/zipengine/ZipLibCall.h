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

// Codes both libraries send with their messages (the low byte is what the component keeps).
constexpr int32_t kErrCancelled = 0x100 | 32;
constexpr int32_t kErrPassword = 0x200 | 5;

// A job's line to the component: every call goes through it, and a -1 answer cancels the job.
template <class Parms>
class ComponentLink {
 public:
  ComponentLink(Parms* p, bool isZip) : p_(p), isZip_(isZip) {}

  int32_t Call(int32_t action, int32_t arg1, int64_t arg2, const std::string& text) {
    const int32_t rc = CallComponent(*p_, isZip_, action, arg1, arg2, text, last_);
    if (rc == -1) cancelled_ = true;
    return rc;
  }
  void Message(int32_t code, const std::string& text) { Call(cbMessage, code, 0, text); }

 protected:
  Parms* p_;
  bool cancelled_ = false;
  CallbackRecord last_{};

 private:
  bool isZip_;
};

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
