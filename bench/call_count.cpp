// zcv_call_count N [raw|c|name]: makes N TokenAuth calls (or N raw-socket
// calls, or N zcv_auth calls on a client of the C interface, or N TokenAuth
// calls to the server named "localhost", so that each looks the name up)
// against a loopback server it starts, for counting instructions per call
// under callgrind. Exits 1 if any call fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_server.h"
#include "bench/loopback_service.h"
#include "bench/raw_client.h"
#include "zephyrcoilvault.h"
#include "zephyrcoilvault/client.h"

namespace {

constexpr int kMaxCalls = 1000 * 1000;

}  // namespace

int main(int argc, char** argv) {
  using namespace zcv::bench;
  const int calls = argc > 1 ? std::atoi(argv[1]) : 0;
  const char* mode = argc > 2 ? argv[2] : "";
  const bool raw = std::strcmp(mode, "raw") == 0;
  const bool c = std::strcmp(mode, "c") == 0;
  const bool byName = std::strcmp(mode, "name") == 0;
  if (calls <= 0 || calls > kMaxCalls) {
    std::fprintf(stderr, "usage: %s CALLS [raw|c|name]   (1 to %d calls)\n", argv[0], kMaxCalls);
    return 2;
  }
  BenchServer server(HttpReplyOf(kAuthReplyBody), 1);
  LoopbackService service(server.port(), "", byName ? "localhost" : "127.0.0.1");
  zcv_client* client =
      c ? zcv_client_open(service.configPath().c_str(), nullptr, 0, nullptr, 0) : nullptr;
  char expireText[zcv::kExpireTextBytes];
  for (int i = 0; i < calls; ++i) {
    const bool ok = raw ? RawCall(server.port(), kAuthRequest)
                    : c ? zcv_auth(client, 1, 2, expireText, sizeof expireText) == ZCV_ACCEPTED
                        : TokenAuth(1, 2, expireText) == zcv::kAccepted;
    if (!ok) {
      std::fprintf(stderr, "call %d failed\n", i + 1);
      return 1;
    }
  }
  zcv_client_close(client);
  return 0;
}
