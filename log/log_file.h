// The append-only failure log: one time-stamped entry per failed attempt,
// configuration error or caught exception. Nothing is logged on success.
#pragma once

#include <ctime>
#include <string>

#include "log/service_mutex.h"

namespace zcv {

class LogFile {
 public:
  using Clock = std::time_t (*)();

  // The path is fixed for the life of the object; the file is opened and
  // closed again for every entry.
  LogFile(std::string path, ServiceMutex& mutex, Clock clock = nullptr);

  // Appends "<%Y%m%d.%H:%M:%S local time> : <message> " under the service
  // mutex. The message carries its own line end. Never throws; an entry that
  // cannot be written is dropped silently. Must not be called while the
  // caller holds the service mutex.
  void WriteLog(const char* message);

 private:
  std::string path_;
  ServiceMutex& mutex_;
  Clock clock_;
};

}  // namespace zcv
