// POSIX reading of a bounded regular file, appending to a log file and
// replacement of a file's contents. Every descriptor is opened close-on-exec so that a host's child
// processes never inherit it.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file.h"

namespace zcv::platform {
namespace {

// A temporary file is named "<file>.tmp<pid>.XXXXXX" after the process that
// writes it, so that a later write-back can tell a file whose writer died
// from one that a running process is still writing.
constexpr char kTempMarker[] = ".tmp";
constexpr char kTempUnique[] = ".XXXXXX";
constexpr std::size_t kUniqueChars = sizeof kTempUnique - 2;

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

std::string BaseNameOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A process that no longer runs; one that merely belongs to another user
// (EPERM) still runs.
bool ProcessGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// The writer's pid when `name` is a temporary file of `base`, otherwise 0.
pid_t TempWriter(const char* name, const std::string& base) {
  const std::size_t prefix = base.size() + sizeof kTempMarker - 1;
  if (std::strncmp(name, base.c_str(), base.size()) != 0 ||
      std::strncmp(name + base.size(), kTempMarker, sizeof kTempMarker - 1) != 0) {
    return 0;
  }
  const char* digits = name + prefix;
  char* end = nullptr;
  errno = 0;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || *digits < '1' || *digits > '9' || errno != 0 || pid <= 0 || pid > INT_MAX ||
      *end != '.' || std::strlen(end + 1) != kUniqueChars) {
    return 0;
  }
  return static_cast<pid_t>(pid);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Removes the temporary files that killed write-backs left beside `target`.
// A file of this process, or of any process still running, is left alone.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  const std::string base = BaseNameOf(target);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.c_str()));
  if (!dir) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir.get())) {
    const pid_t writer = TempWriter(entry->d_name, base);
    if (writer == 0 || writer == self || !ProcessGone(writer)) continue;
    ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
  }
}

struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

}  // namespace

ReadFault ReadBoundedFile(const std::string& path, std::size_t maxBytes, std::string* out) {
  out->clear();
  if (path.empty() || path.find('\0') != std::string::npos) return ReadFault::kCannotOpen;
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ReadFault::kCannotOpen;
  const FdCloser closer{fd};
  struct stat status;
  if (::fstat(fd, &status) != 0) return ReadFault::kCannotRead;
  if (!S_ISREG(status.st_mode)) return ReadFault::kNotRegular;
  if (status.st_size < 0 || static_cast<unsigned long long>(status.st_size) > maxBytes) {
    return ReadFault::kTooLarge;
  }
  out->resize(maxBytes + 1);
  std::size_t got = 0;
  while (got < out->size()) {
    const ssize_t n = ::read(fd, &(*out)[got], out->size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadFault::kCannotRead;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > maxBytes) return ReadFault::kTooLarge;
  out->resize(got);
  return ReadFault::kNone;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  return ReadBoundedFile(path, kMaxReadFileBytes, out) == ReadFault::kNone;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool AppendToFile(const std::string& path, const char* data, std::size_t size) {
  // The log's folder may be writable by others (a group of hosts' users): a
  // link put in the file's place is not followed, and whatever is there must
  // be a regular file, checked on the descriptor itself so that nothing can
  // be swapped in between. Opening does not wait for a FIFO's reader.
  const int fd =
      ::open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && WriteAll(fd, data, size);
  // No retry of close on EINTR: Linux has released the descriptor already.
  ok = ::close(fd) == 0 && ok;
  return ok;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return false;
  struct stat original;
  if (::stat(resolved, &original) != 0 || !S_ISREG(original.st_mode)) return false;

  std::string target(resolved);
  RemoveStaleTemporaries(target);
  std::string temp = target + kTempMarker + std::to_string(::getpid()) + kTempUnique;
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
