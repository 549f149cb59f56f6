// The long-lived objects every operation works with, reached through one
// process-wide pointer that the loaded module sets (tests set their own).
#pragma once

#include <cstdint>
#include <ctime>

#include "config/server_list.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/clock.h"
#include "service/failure_gate.h"

namespace zcv {

struct ServiceContext {
  ServiceMutex& mutex;
  LogFile& log;
  ServerList& servers;
  FailureGate& gate;
  AttemptTimeouts timeouts;
  std::time_t (*clock)();
  std::int64_t (*monotonicMs)() = platform::MonotonicMilliseconds;  // the call deadline's clock
};

// The context of the loaded module, or null before load and after unload.
ServiceContext* ActiveContext();
void SetActiveContext(ServiceContext* context);

}  // namespace zcv
