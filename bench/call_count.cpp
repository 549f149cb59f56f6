// zcv_call_count N [raw]: makes N TokenAuth calls (or N raw-socket calls)
// against a loopback server it starts, for counting instructions per call
// under callgrind. Exits 1 if any call fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_server.h"
#include "bench/loopback_service.h"
#include "bench/raw_client.h"
#include "zephyrcoilvault.h"

namespace {

constexpr int kMaxCalls = 1000 * 1000;

}  // namespace

int main(int argc, char** argv) {
  using namespace zcv::bench;
  const int calls = argc > 1 ? std::atoi(argv[1]) : 0;
  const bool raw = argc > 2 && std::strcmp(argv[2], "raw") == 0;
  if (calls <= 0 || calls > kMaxCalls) {
    std::fprintf(stderr, "usage: %s CALLS [raw]   (1 to %d calls)\n", argv[0], kMaxCalls);
    return 2;
  }
  BenchServer server(HttpReplyOf(kAuthReplyBody), 1);
  LoopbackService service(server.port());
  char expireText[zcv::kExpireTextBytes];
  for (int i = 0; i < calls; ++i) {
    const bool ok =
        raw ? RawCall(server.port(), kAuthRequest) : TokenAuth(1, 2, expireText) == zcv::kAccepted;
    if (!ok) {
      std::fprintf(stderr, "call %d failed\n", i + 1);
      return 1;
    }
  }
  return 0;
}
