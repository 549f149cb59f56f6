// The process id through getpid(), remembered in a page that the kernel
// empties in every child that gets a copy of the address space (fork(),
// _Fork(), clone() without CLONE_VM): a child never sees its parent's id,
// fork handlers or not, and a kept call need not ask the kernel.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "platform/process.h"

namespace zcv::platform {
namespace {

using RememberedId = std::atomic<unsigned long>;

// Mapped on first use and kept for the life of the process, so that no call
// made while the process exits can find it gone; null where the kernel
// cannot empty a page on fork.
RememberedId* RememberedIdPage() {
  static RememberedId* const page = []() -> RememberedId* {
#ifdef MADV_WIPEONFORK
    const long size = ::sysconf(_SC_PAGESIZE);
    if (size <= 0) return nullptr;
    void* mapped = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    if (::madvise(mapped, static_cast<std::size_t>(size), MADV_WIPEONFORK) != 0) {
      ::munmap(mapped, static_cast<std::size_t>(size));
      return nullptr;
    }
    return new (mapped) RememberedId(0);
#else
    return nullptr;
#endif
  }();
  return page;
}

}  // namespace

unsigned long CurrentProcessId() {
  RememberedId* const remembered = RememberedIdPage();
  if (remembered == nullptr) return static_cast<unsigned long>(::getpid());
  unsigned long id = remembered->load(std::memory_order_relaxed);
  if (id == 0) {
    id = static_cast<unsigned long>(::getpid());
    remembered->store(id, std::memory_order_relaxed);
  }
  return id;
}

}  // namespace zcv::platform
