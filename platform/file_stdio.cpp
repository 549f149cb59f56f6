// Reading a file whole, which standard streams serve on every platform.
#include <cstdio>
#include <memory>

#include "platform/file.h"

namespace zcv::platform {
namespace {

#ifdef _WIN32
constexpr char kReadMode[] = "rb";
#else
// Close-on-exec, so that a host's child processes never inherit the file.
constexpr char kReadMode[] = "re";
#endif

constexpr std::size_t kReadChunkBytes = 4096;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* out) {
  FilePtr file(std::fopen(path.c_str(), kReadMode));
  if (!file) return false;
  out->clear();
  char chunk[kReadChunkBytes];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) out->append(chunk, got);
  return std::ferror(file.get()) == 0;
}

}  // namespace zcv::platform
