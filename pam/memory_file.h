// A text handed to the library by path without touching the disk: an
// anonymous memory file, named through /proc/self/fd.
#pragma once

#include <string>

namespace zcv::pam {

class MemoryFile {
 public:
  MemoryFile() = default;
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Holds `text` from now on. Returns an empty text on success, else the
  // reason.
  std::string Create(const std::string& text);
  // "/proc/self/fd/<n>", valid while this object lives.
  const char* path() const { return path_.c_str(); }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace zcv::pam
