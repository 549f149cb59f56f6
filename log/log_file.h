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
  // A host's receiver of every entry's message (without the time stamp).
  using Sink = void (*)(void* context, const char* message);

  // How an entry's bytes reach the file and the sink: as logged (the
  // configuration messages GBK, all others ASCII), or as UTF-8.
  enum class Text { kAsLogged, kUtf8 };

  // The path is fixed for the life of the object; the file is opened and
  // closed again for every entry. An empty path writes no file.
  LogFile(std::string path, ServiceMutex& mutex, Clock clock = nullptr,
          Text text = Text::kAsLogged);

  // Appends "<%Y%m%d.%H:%M:%S local time> : <message> " under the service
  // mutex, then hands the message to the sink, if one is set, with no lock
  // held. The message carries its own line end. Never throws; an entry that
  // cannot be written is dropped silently. Must not be called while the
  // caller holds the service mutex.
  void WriteLog(const char* message);

  // Sets (or, with a null sink, clears) the receiver of later entries.
  void SetSink(Sink sink, void* context);

 private:
  std::string path_;
  ServiceMutex& mutex_;
  Clock clock_;
  Text text_;
  Sink sink_ = nullptr;  // both under mutex_
  void* sinkContext_ = nullptr;
};

}  // namespace zcv
