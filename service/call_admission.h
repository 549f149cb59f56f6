// The calls inside one client, counted so that closing the client can
// refuse new calls and wait (bounded) for those already inside.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zcv {

class CallAdmission {
 public:
  // Counts a call in; false (and nothing counted) once closing has begun.
  bool Enter();
  // Counts an admitted call out.
  void Leave();
  // Refuses every later Enter and waits up to `limit` for the calls inside
  // to leave; true when none is left.
  bool CloseAndWait(std::chrono::milliseconds limit);

  bool closing() const { return closing_.load(); }

 private:
  // Sequentially consistent, both: a call either sees closing_ set, or the
  // closer sees the call counted.
  std::atomic<int> inside_{0};
  std::atomic<bool> closing_{false};
  std::mutex mutex_;  // only for the closer's wait
  std::condition_variable left_;
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
