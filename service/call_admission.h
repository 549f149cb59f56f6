// The calls inside one client, counted so that closing the client can
// refuse new calls, wait (bounded) for those already inside, and otherwise
// leave the release of the client's objects to the last call that leaves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zcv {

class CallAdmission {
 public:
  // Run once, after the close, when no call is left inside; may free the
  // admission itself.
  using Release = void (*)(void* context);

  // Counts a call in; false (and nothing counted) once closing has begun.
  bool Enter();
  // Counts an admitted call out. The last one out after a close that could
  // not wait for it runs that close's release; nothing of the admission is
  // touched after that.
  void Leave();
  // Refuses every later Enter and, unless the calling thread is itself
  // inside (a host's callback that closes its own client), waits up to
  // `limit` for the calls inside to leave. True when none is left: the
  // caller releases now. False when calls are still inside: the last of them
  // to leave runs `release(context)`.
  bool CloseOrHandOver(std::chrono::milliseconds limit, Release release, void* context);

  bool closing() const;

 private:
  bool EnteredOnThisThread() const;

  mutable std::mutex mutex_;  // guards every field
  std::condition_variable left_;
  int inside_ = 0;
  bool closing_ = false;
  Release release_ = nullptr;  // set when the close handed over
  void* releaseContext_ = nullptr;

  friend class AdmittedCall;
};

// An admitted call for the life of the object. The admitted calls of one
// thread form a stack, so that a close can tell its own thread's calls.
class AdmittedCall {
 public:
  explicit AdmittedCall(CallAdmission& admission);
  ~AdmittedCall();
  AdmittedCall(const AdmittedCall&) = delete;
  AdmittedCall& operator=(const AdmittedCall&) = delete;

  bool admitted() const { return admitted_; }

 private:
  friend class CallAdmission;
  CallAdmission& admission_;
  bool admitted_;
  const AdmittedCall* outer_ = nullptr;  // this thread's enclosing admitted call
};

}  // namespace zcv
