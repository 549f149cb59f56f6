// The whole-file helpers that standard streams serve on every platform:
// appending a log entry and reading a file whole.
#include <cstdio>
#include <memory>

#include "platform/file.h"

namespace zcv::platform {
namespace {

#ifdef _WIN32
// Appending in text mode writes each line feed as CR LF; reading keeps bytes.
constexpr char kAppendMode[] = "a";
constexpr char kReadMode[] = "rb";
#else
// Close-on-exec, so that a host's child processes never inherit the file.
constexpr char kAppendMode[] = "ae";
constexpr char kReadMode[] = "re";
#endif

constexpr std::size_t kReadChunkBytes = 4096;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool AppendToFile(const std::string& path, const char* data, std::size_t size) {
  FilePtr file(std::fopen(path.c_str(), kAppendMode));
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file.get()) == size;
  return std::fclose(file.release()) == 0 && written;
}

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
