// Windows reading of a bounded regular file, appending to a log file and replacement of a file's
// contents, keeping its bytes as they are.
#include <windows.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file.h"

namespace zcv::platform {
namespace {

// A temporary file is named "<file>.tmp<pid>.<n>" after the process that
// writes it, so that a later replacement can tell a file whose writer died
// from one that a running process is still writing.
constexpr char kTempMarker[] = ".tmp";

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

// A process that no longer runs; one the caller may not open still runs.
bool ProcessGone(DWORD pid) {
  HandlePtr process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

// The writer's process id when `name` is "<base>.tmp<pid>.<n>", otherwise 0.
DWORD TempWriter(const char* name, const std::string& base) {
  const std::size_t prefix = base.size() + sizeof kTempMarker - 1;
  if (::_strnicmp(name, base.c_str(), base.size()) != 0 ||
      ::_strnicmp(name + base.size(), kTempMarker, sizeof kTempMarker - 1) != 0) {
    return 0;
  }
  const char* digits = name + prefix;
  char* end = nullptr;
  const unsigned long pid = std::strtoul(digits, &end, 10);
  if (end == digits || *digits < '1' || *digits > '9' || *end != '.' || end[1] == '\0') return 0;
  return static_cast<DWORD>(pid);
}

struct FindCloser {
  void operator()(HANDLE find) const { ::FindClose(find); }
};

// Removes the temporary files that killed replacements left beside `path`.
void RemoveStaleTemporaries(const std::string& path) {
  const std::string directory = DirectoryOf(path);
  const std::string::size_type slash = path.find_last_of("\\/:");
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string separator =
      directory.empty() || directory.back() == '\\' || directory.back() == '/' ? "" : "\\";
  WIN32_FIND_DATAA found;
  const std::string pattern = directory + separator + base + kTempMarker + "*";
  HANDLE first = ::FindFirstFileA(pattern.c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return;
  std::unique_ptr<void, FindCloser> find(first);
  const DWORD self = ::GetCurrentProcessId();
  do {
    const DWORD writer = TempWriter(found.cFileName, base);
    if (writer == 0 || writer == self || !ProcessGone(writer)) continue;
    ::DeleteFileA((directory + separator + found.cFileName).c_str());
  } while (::FindNextFileA(find.get(), &found));
}

// A fresh temporary file name of this process beside `path`.
std::string TempNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%s%lu.%u", kTempMarker,
                static_cast<unsigned long>(::GetCurrentProcessId()), counter++);
  return path + suffix;
}

bool WriteAll(HANDLE file, const std::string& contents) {
  std::size_t written = 0;
  while (written < contents.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(contents.size() - written);
    if (!::WriteFile(file, contents.data() + written, wanted, &chunk, nullptr) || chunk == 0) {
      return false;
    }
    written += chunk;
  }
  return true;
}

bool WriteAndFlush(const std::string& path, const std::string& contents) {
  HandlePtr file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  return WriteAll(file.get(), contents) && ::FlushFileBuffers(file.get()) != 0;
}

// A plain file on disk: not a reparse point (link, junction), folder,
// device or pipe.
bool IsPlainDiskFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

}  // namespace

ReadFault ReadBoundedFile(const std::string& path, std::size_t maxBytes, std::string* out) {
  out->clear();
  if (path.empty() || path.find('\0') != std::string::npos) return ReadFault::kCannotOpen;
  // A pipe or device opens without waiting for a peer and is then refused
  // by its type; a link is followed to what it names.
  HandlePtr file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return ReadFault::kCannotOpen;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ReadFault::kNotRegular;
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.get(), &size)) return ReadFault::kCannotRead;
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    return ReadFault::kTooLarge;
  }
  out->resize(maxBytes + 1);
  std::size_t got = 0;
  while (got < out->size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(out->size() - got);
    if (!::ReadFile(file.get(), &(*out)[got], want, &n, nullptr)) return ReadFault::kCannotRead;
    if (n == 0) break;
    got += n;
  }
  if (got > maxBytes) return ReadFault::kTooLarge;
  out->resize(got);
  return ReadFault::kNone;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  return ReadBoundedFile(path, kMaxReadFileBytes, out) == ReadFault::kNone;
}

bool IsAbsolutePath(const std::string& path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
      separator(path[2])) {
    return true;
  }
  return path.size() >= 2 && separator(path[0]) && separator(path[1]);
}

bool AppendToFile(const std::string& path, const char* data, std::size_t size) {
  // A reparse point in the file's place is opened itself, not followed, and
  // then refused; shared as the C runtime shares a file it appends to.
  HandlePtr file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  if (!IsPlainDiskFile(file.get())) return false;
  // A text file: each line feed is written as CR LF, as text mode writes it.
  std::string text;
  text.reserve(size + size / 8);
  for (const char* p = data; p != data + size; ++p) {
    if (*p == '\n') text += '\r';
    text += *p;
  }
  return WriteAll(file.get(), text);
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  if (!IsRegularFile(path)) return false;
  // The new contents go to a fresh file beside the original, which then
  // takes the original's place with its attributes and security kept.
  RemoveStaleTemporaries(path);
  const std::string temp = TempNameFor(path);
  if (WriteAndFlush(temp, contents) &&
      ::ReplaceFileA(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
    return true;
  }
  ::DeleteFileA(temp.c_str());
  return false;
}

}  // namespace zcv::platform
