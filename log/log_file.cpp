// The failure log: each entry is formed and appended while the service mutex
// is held, so entries of concurrent calls never interleave.
#include "log/log_file.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/clock.h"
#include "platform/file.h"

namespace zcv {
namespace {

constexpr std::size_t kStampBytes = 35;
constexpr std::size_t kLineBytes = 600;  // longer entries are cut, never overrun
constexpr char kStampFormat[] = "%Y%m%d.%H:%M:%S";

}  // namespace

LogFile::LogFile(std::string path, ServiceMutex& mutex, Clock clock)
    : path_(std::move(path)), mutex_(mutex), clock_(clock) {}

void LogFile::WriteLog(const char* message) {
  Sink sink = nullptr;
  void* sinkContext = nullptr;
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
      std::snprintf(line, sizeof line, "%s : %s ", stamp, message ? message : "");
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
