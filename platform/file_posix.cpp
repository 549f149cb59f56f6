// POSIX replacement of a file's contents. Every descriptor is opened
// close-on-exec so that a host's child processes never inherit it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/file.h"

namespace zcv::platform {
namespace {

constexpr char kTempSuffix[] = ".XXXXXX";

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Keeps the original owner where the process may; an unprivileged writer of
// another user's file leaves the replacement its own, as any rewrite would.
void KeepOwner(int fd, const struct stat& original) {
  if (::fchown(fd, original.st_uid, original.st_gid) != 0) return;
}

std::string DirectoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes the rename itself durable; a failure here does not undo the rename.
void SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return false;
  struct stat original;
  if (::stat(resolved, &original) != 0 || !S_ISREG(original.st_mode)) return false;

  std::string target(resolved);
  std::string temp = target + kTempSuffix;
  int fd = ::mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) return false;
  KeepOwner(fd, original);
  bool ok = ::fchmod(fd, original.st_mode & 07777) == 0 &&
            WriteAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
  // No retry of close on EINTR: Linux has released the descriptor already.
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncDirectory(DirectoryOf(target));
  return true;
}

}  // namespace zcv::platform
