// Call admission: a counter and a closing flag, and a wait for the closer.
#include "service/call_admission.h"

namespace zcv {

bool CallAdmission::Enter() {
  inside_.fetch_add(1);
  if (!closing_.load()) return true;
  Leave();
  return false;
}

void CallAdmission::Leave() {
  if (inside_.fetch_sub(1) == 1 && closing_.load()) {
    // Taking the lock orders this wake-up after the closer's check.
    std::lock_guard<std::mutex> lock(mutex_);
    left_.notify_all();
  }
}

bool CallAdmission::CloseAndWait(std::chrono::milliseconds limit) {
  closing_.store(true);
  std::unique_lock<std::mutex> lock(mutex_);
  return left_.wait_for(lock, limit, [this] { return inside_.load() == 0; });
}

}  // namespace zcv
