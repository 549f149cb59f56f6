// Opens, checks and reads a root-owned file through one descriptor.
#include "pam/checked_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "pam/system_error.h"

namespace zcv::pam {
namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::string SystemReason(const char* what, int error) {
  return std::string(what) + ": " + SystemErrorText(error);
}

}  // namespace

std::string ReadCheckedFile(const char* path, std::string* out) {
  // O_NONBLOCK: opening a FIFO put in the file's place must not wait for a
  // writer; the type check below refuses it.
  Descriptor file{::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.fd < 0) return SystemReason("cannot be opened", errno);
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return SystemReason("cannot be examined", errno);
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (st.st_uid != 0) return "is not owned by root";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "is writable by group or others";
  if (static_cast<std::size_t>(st.st_size) > kMaxCheckedFileBytes) return "is too large";

  out->clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemReason("cannot be read", errno);
    if (n == 0) break;
    if (out->size() + static_cast<std::size_t>(n) > kMaxCheckedFileBytes) return "is too large";
    out->append(buffer, static_cast<std::size_t>(n));
  }
  return std::string();
}

}  // namespace zcv::pam
