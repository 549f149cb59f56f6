// The configuration copy the library reads: written once into a sealed
// memory file, so the library reads exactly the bytes the module checked.
#include "pam/memory_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "pam/system_error.h"

namespace zcv::pam {

MemoryFile::~MemoryFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string MemoryFile::Create(const std::string& text) {
  fd_ = ::memfd_create("zcv-pam-config", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd_ < 0) return std::string("memfd_create: ") + SystemErrorText(errno);
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::string("write: ") + SystemErrorText(errno);
    written += static_cast<std::size_t>(n);
  }
  if (::fcntl(fd_, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) != 0) {
    return std::string("seal: ") + SystemErrorText(errno);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
  return std::string();
}

}  // namespace zcv::pam
