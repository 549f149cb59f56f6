// The loaded module: creates the long-lived objects when the shared library
// is loaded (mutex, log file, server list) and destroys them in reverse
// order when it is unloaded, the server list writing its order back first.
#include "config/server_list.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/clock.h"
#include "service/failure_gate.h"
#include "service/service_context.h"

namespace zcv {
namespace {

struct Module {
  ServiceMutex mutex;
  LogFile log{ZCV_LOG_FILE, mutex};
  ServerList servers{ZCV_CONFIG_FILE, mutex, log};
  FailureGate gate;
  ServiceContext context{mutex, log, servers, gate, servers.timeouts(), platform::NowSeconds};

  Module() { SetActiveContext(&context); }
  ~Module() { SetActiveContext(nullptr); }
};

Module module;

}  // namespace
}  // namespace zcv
