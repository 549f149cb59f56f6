// The long-lived objects every operation works with, reached through one
// process-wide pointer that the loaded module sets (tests set their own).
#pragma once

#include <ctime>

#include "config/server_list.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "service/failure_gate.h"

namespace zcv {

// Seconds each attempt may wait: for the connection, and before each single
// send or receive.
struct AttemptTimeouts {
  int connect = 10;
  int receive = 15;
  int send = 15;
};

struct ServiceContext {
  ServiceMutex& mutex;
  LogFile& log;
  ServerList& servers;
  FailureGate& gate;
  AttemptTimeouts timeouts;
  std::time_t (*clock)();
};

// The context of the loaded module, or null before load and after unload.
ServiceContext* ActiveContext();
void SetActiveContext(ServiceContext* context);

}  // namespace zcv
