// The failure log: each entry is formed and appended while the service mutex
// is held, so entries of concurrent calls never interleave.
#include "log/log_file.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/text_encoding.h"

namespace zcv {
namespace {

constexpr std::size_t kStampBytes = 35;
constexpr std::size_t kLineBytes = 600;  // longer entries are cut, never overrun
constexpr char kStampFormat[] = "%Y%m%d.%H:%M:%S";
// " : " after the stamp, the blank after the text and the NUL.
constexpr std::size_t kFrameBytes = 5;

// The length of `text` cut to at most `room` bytes without splitting a
// UTF-8 sequence.
std::size_t Utf8Prefix(const char* text, std::size_t length, std::size_t room) {
  if (length <= room) return length;
  std::size_t end = room;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

LogFile::LogFile(std::string path, ServiceMutex& mutex, Clock clock, Text text)
    : path_(std::move(path)), mutex_(mutex), clock_(clock), text_(text) {}

void LogFile::WriteLog(const char* message) {
  Sink sink = nullptr;
  void* sinkContext = nullptr;
  std::string converted;
  try {
    if (text_ == Text::kUtf8 && message != nullptr) {
      converted = platform::GbkToUtf8(message);
      message = converted.c_str();
    }
  } catch (...) {
    // Out of memory: the entry goes out as logged.
  }
  try {
    // The local-time conversion shares this lock with the expiry formatting.
    ServiceLock lock(mutex_);
    sink = sink_;
    sinkContext = sinkContext_;
    if (!path_.empty()) {
      char stamp[kStampBytes] = {};
      char line[kLineBytes] = {};
      std::tm local{};
      if (platform::ToLocalTime(clock_ ? clock_() : platform::NowSeconds(), &local)) {
        std::strftime(stamp, sizeof stamp, kStampFormat, &local);
      }
      const char* text = message ? message : "";
      if (text_ == Text::kUtf8) {
        // A text cut to the line is cut between characters, with its blank.
        const std::size_t room = sizeof line - std::strlen(stamp) - kFrameBytes;
        const std::size_t kept = Utf8Prefix(text, std::strlen(text), room);
        std::snprintf(line, sizeof line, "%s : %.*s ", stamp, static_cast<int>(kept), text);
      } else {
        std::snprintf(line, sizeof line, "%s : %s ", stamp, text);
      }
      platform::AppendToFile(path_, line, std::strlen(line));
    }
  } catch (...) {
    // A log entry is never worth failing the call that wanted it.
  }
  // Outside the lock: the host's function may take its own locks or call
  // back into the library.
  if (sink != nullptr) sink(sinkContext, message ? message : "");
}

void LogFile::SetSink(Sink sink, void* context) {
  ServiceLock lock(mutex_);
  sink_ = sink;
  sinkContext_ = context;
}

}  // namespace zcv
