// The one process-wide lock that serialises log entries, server-list access
// and local-time conversion. Held only for short sections, never during
// network traffic; always taken through a scoped lock.
#pragma once

#include <mutex>

namespace zcv {

class ServiceMutex {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

using ServiceLock = std::lock_guard<ServiceMutex>;

}  // namespace zcv
