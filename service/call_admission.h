// The calls inside one client, counted so that closing the client can
// refuse new calls, wait (bounded) for those already inside, and otherwise
// leave the release of the client's objects to the last call that leaves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zcv {

class CallAdmission {
 public:
  // Run once, after the close, when no call is left inside; may free the
  // admission itself.
  using Release = void (*)(void* context);

  // Counts a call of this thread in; false (and nothing counted) once
  // closing has begun, or when there is no memory to note the thread.
  bool Enter();
  // Counts an admitted call of this thread out. The last one out after a close that could
  // not wait for it runs that close's release; nothing of the admission is
  // touched after that.
  void Leave();
  // Refuses every later Enter and, unless the calling thread is itself
  // inside (a host's callback that closes its own client), waits up to
  // `limit` for the calls inside to leave. True when none is left: the
  // caller releases now. False when calls are still inside: the last of them
  // to leave runs `release(context)`.
  bool CloseOrHandOver(std::chrono::milliseconds limit, Release release, void* context);

 private:
  void FreeList();  // caller holds mutex_

  mutable std::mutex mutex_;  // guards every field
  std::condition_variable left_;
  // The thread of each call inside, so that a close can tell its own
  // thread's calls (a list, not thread-local storage, which a library that
  // is unloaded again must not leave behind in its hosts' threads).
  std::vector<std::thread::id> inside_;
  bool closing_ = false;
  Release release_ = nullptr;  // set when the close handed over
  void* releaseContext_ = nullptr;
};

// An admitted call for the life of the object.
class AdmittedCall {
 public:
  explicit AdmittedCall(CallAdmission& admission)
      : admission_(admission), admitted_(admission.Enter()) {}
  ~AdmittedCall() {
    if (admitted_) admission_.Leave();
  }
  AdmittedCall(const AdmittedCall&) = delete;
  AdmittedCall& operator=(const AdmittedCall&) = delete;

  bool admitted() const { return admitted_; }

 private:
  CallAdmission& admission_;
  bool admitted_;
};

}  // namespace zcv
