// Windows replacement of a file's contents, keeping its bytes as they are.
#include <windows.h>

#include <memory>

#include "platform/file.h"

namespace zcv::platform {
namespace {

constexpr char kTempPrefix[] = "zcv";

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using HandlePtr = std::unique_ptr<void, HandleCloser>;

std::string DirectoryOf(const std::string& path) {
  const std::string::size_type slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  // "c:\name" keeps its root's separator: "c:" alone means the current
  // directory of drive c.
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteAndFlush(const std::string& path, const std::string& contents) {
  HandlePtr file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  std::size_t written = 0;
  while (written < contents.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(contents.size() - written);
    if (!::WriteFile(file.get(), contents.data() + written, wanted, &chunk, nullptr) ||
        chunk == 0) {
      return false;
    }
    written += chunk;
  }
  return ::FlushFileBuffers(file.get()) != 0;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  if (!IsRegularFile(path)) return false;
  // The new contents go to a fresh file beside the original, which then
  // takes the original's place with its attributes and security kept.
  char temp[MAX_PATH];
  if (::GetTempFileNameA(DirectoryOf(path).c_str(), kTempPrefix, 0, temp) == 0) return false;
  if (WriteAndFlush(temp, contents) &&
      ::ReplaceFileA(path.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
    return true;
  }
  ::DeleteFileA(temp);
  return false;
}

}  // namespace zcv::platform
