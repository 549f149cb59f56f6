// The process id through getpid(), remembered until the next fork(): kept
// connections ask for it twice a call, and getpid() is a system call.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/process.h"

namespace zcv::platform {
namespace {

std::atomic<unsigned long> knownId{0};  // 0: not known in this process

// Runs in the child of every fork(), before fork() returns there.
void ForgetId() { knownId.store(0, std::memory_order_relaxed); }

}  // namespace

unsigned long CurrentProcessId() {
  unsigned long id = knownId.load(std::memory_order_relaxed);
  if (id != 0) return id;
  // Registered on first use, not at load; glibc drops it when the library is
  // unloaded.
  static std::once_flag watching;
  std::call_once(watching, [] { ::pthread_atfork(nullptr, nullptr, ForgetId); });
  id = static_cast<unsigned long>(::getpid());
  knownId.store(id, std::memory_order_relaxed);
  return id;
}

}  // namespace zcv::platform
