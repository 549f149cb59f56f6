// Benchmarks of the hot paths: a whole TokenAuth call against a loopback
// server, reading the replies, and parsing the request URI.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/server_list.h"
#include "http/uri.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "reply/reply_readers.h"
#include "service/service_context.h"
#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv {
namespace {

const std::string kAuthReply =
    "<?xml version=\"1.0\"?><Reply><Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
    "</Reply>";

std::string BindInfoReply() {
  std::string rows;
  for (int i = 0; i < kMaxBindRows; ++i) {
    rows += "<Row><AppNo>" + std::to_string(i) + "</AppNo><AppNo2>7</AppNo2><Account>account" +
            std::to_string(i) + "</Account><Bindtime>2024-01-01 10:00:00</Bindtime></Row>";
  }
  return "<Reply><Result>9999</Result><RowCount>10</RowCount>" + rows + "</Reply>";
}

// One whole call: path, HTTP exchange with a loopback server, reply reading.
void BM_TokenAuthLoopback(benchmark::State& state) {
  test::ScriptServer server(test::Script{test::Send(test::HttpReply(kAuthReply))});
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zcv-bench";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "cfgfile.ini") << "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\n"
                                     << "ServerPort0=" << server.port() << "\n";
  ServiceMutex mutex;
  LogFile log((dir / "logfile.txt").string(), mutex);
  {
    ServerList servers((dir / "cfgfile.ini").string(), mutex, log);
    FailureGate gate;
    ServiceContext context{mutex, log, servers, gate, AttemptTimeouts{}, platform::NowSeconds};
    SetActiveContext(&context);
    char expireText[kExpireTextBytes];
    for (auto _ : state) {
      if (TokenAuth(1, 2, expireText) != kAccepted) state.SkipWithError("call failed");
    }
    SetActiveContext(nullptr);
  }
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TokenAuthLoopback)->Iterations(2000)->UseRealTime();

void BM_ResultReplyReader(benchmark::State& state) {
  unsigned code = 0;
  int expire = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ResultReplyReader(kAuthReply.c_str(), &code, &expire));
  }
}
BENCHMARK(BM_ResultReplyReader);

void BM_BindInfoReplyReader(benchmark::State& state) {
  const std::string body = BindInfoReply();
  unsigned code = 0;
  int rowCount = 0;
  pTokenBindInfo rows[kMaxBindRows];
  for (auto _ : state) {
    benchmark::DoNotOptimize(BindInfoReplyReader(body.c_str(), &code, &rowCount, rows));
  }
}
BENCHMARK(BM_BindInfoReplyReader);

void BM_HttpUriParse(benchmark::State& state) {
  const char* uri = "http://192.0.2.10:8080/TokenAuth2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3";
  for (auto _ : state) {
    HttpUri* parsed = HttpUriCreate();
    benchmark::DoNotOptimize(HttpUriParse(uri, parsed));
    HttpUriDestroy(parsed);
  }
}
BENCHMARK(BM_HttpUriParse);

}  // namespace
}  // namespace zcv

BENCHMARK_MAIN();
