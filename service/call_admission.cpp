// Call admission: a counter and a closing flag under one mutex, the closer's
// bounded wait, and the hand-over of the release to the last call out.
#include "service/call_admission.h"

namespace zcv {
namespace {

// The innermost admitted call of this thread.
thread_local const AdmittedCall* innermost = nullptr;

}  // namespace

bool CallAdmission::Enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_) return false;
  ++inside_;
  return true;
}

void CallAdmission::Leave() {
  Release release = nullptr;
  void* context = nullptr;
  {
    // Counted down under the lock: a closer that sees no call left knows
    // that this thread is done with the admission once it may lock it.
    std::lock_guard<std::mutex> lock(mutex_);
    if (--inside_ != 0 || !closing_) return;
    release = release_;
    context = releaseContext_;
    release_ = nullptr;
    left_.notify_all();
  }
  if (release != nullptr) release(context);
}

bool CallAdmission::CloseOrHandOver(std::chrono::milliseconds limit, Release release,
                                    void* context) {
  const bool own = EnteredOnThisThread();
  std::unique_lock<std::mutex> lock(mutex_);
  closing_ = true;
  if (!own) left_.wait_for(lock, limit, [this] { return inside_ == 0; });
  if (inside_ == 0) return true;
  release_ = release;
  releaseContext_ = context;
  return false;
}

bool CallAdmission::closing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closing_;
}

bool CallAdmission::EnteredOnThisThread() const {
  for (const AdmittedCall* call = innermost; call != nullptr; call = call->outer_) {
    if (&call->admission_ == this) return true;
  }
  return false;
}

AdmittedCall::AdmittedCall(CallAdmission& admission)
    : admission_(admission), admitted_(admission.Enter()) {
  if (!admitted_) return;
  outer_ = innermost;
  innermost = this;
}

AdmittedCall::~AdmittedCall() {
  if (!admitted_) return;
  innermost = outer_;
  admission_.Leave();
}

}  // namespace zcv
