// Call admission: the threads of the calls inside and a closing flag under
// one mutex, the closer's bounded wait, and the hand-over of the release to
// the last call out.
#include "service/call_admission.h"

#include <algorithm>

namespace zcv {

bool CallAdmission::Enter() {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return false;
    inside_.push_back(std::this_thread::get_id());
    return true;
  } catch (...) {
    return false;  // no memory to note the call: it is refused
  }
}

void CallAdmission::Leave() {
  Release release = nullptr;
  void* context = nullptr;
  {
    // Counted out under the lock: a closer that sees no call left knows
    // that this thread is done with the admission once it may lock it.
    std::lock_guard<std::mutex> lock(mutex_);
    const auto self = std::find(inside_.rbegin(), inside_.rend(), std::this_thread::get_id());
    if (self != inside_.rend()) {
      *self = inside_.back();
      inside_.pop_back();
    }
    if (!inside_.empty() || !closing_) return;
    FreeList();
    release = release_;
    context = releaseContext_;
    release_ = nullptr;
    left_.notify_all();
  }
  if (release != nullptr) release(context);
}

bool CallAdmission::CloseOrHandOver(std::chrono::milliseconds limit, Release release,
                                    void* context) {
  std::unique_lock<std::mutex> lock(mutex_);
  closing_ = true;
  const bool own =
      std::find(inside_.begin(), inside_.end(), std::this_thread::get_id()) != inside_.end();
  if (!own) left_.wait_for(lock, limit, [this] { return inside_.empty(); });
  if (inside_.empty()) {
    FreeList();
    return true;
  }
  release_ = release;
  releaseContext_ = context;
  return false;
}

void CallAdmission::FreeList() {
  // Nothing enters once closing: the list's memory goes now, even where the
  // admission itself is never destroyed (the default client).
  std::vector<std::thread::id>().swap(inside_);
}

}  // namespace zcv
