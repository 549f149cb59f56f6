// The long-lived objects one call works with: those of the client it runs
// on (service/client.h).
#pragma once

#include <cstdint>
#include <ctime>

#include "config/server_list.h"
#include "http/connection_pool.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/clock.h"
#include "platform/resolver.h"
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
  platform::Resolver* resolver = nullptr;  // the client's; looks the servers' names up
  HttpConnectionPool* pool = nullptr;      // the client's kept connections (KeepAlive)
};

}  // namespace zcv
