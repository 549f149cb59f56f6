// What TLS costs a whole TokenAuth call against the same loopback server:
// plain HTTP, TLS with a full handshake every call, and TLS resumed. CPU is
// the calling thread's (the servers run on threads of their own); each TLS
// run also reports its rate and CPU as multiples of the plain run's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "service/default_client.h"
#include "support/script_server.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv {
namespace {

constexpr int kCalls = 500;

const std::string kAuthReply = test::HttpReply(
    "<?xml version=\"1.0\"?><Reply><Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
    "</Reply>");

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The plain run's figures, which the TLS runs (registered after it) divide by.
double plainCallsPerSecond = 0;
double plainCpuPerCall = 0;

// Runs TokenAuth against one server on `port`, with `tlsSection` appended to
// the configuration, and reports calls/s and CPU microseconds per call.
void RunCalls(benchmark::State& state, std::uint16_t port, const std::string& tlsSection,
              bool isPlain) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zcv-tls-bench";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "ca.pem") << test::Pki().caPem;
  std::ofstream(dir / "cfgfile.ini") << "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\n"
                                     << "ServerPort0=" << port << "\n"
                                     << tlsSection;
  ClientOptions options;
  options.configPath = (dir / "cfgfile.ini").string();
  options.logPath = (dir / "logfile.txt").string();
  {
    Client client(options);
    // The loopback benchmarks that run after this one use the client that
    // was the default before it.
    Client* const previous = DefaultClient();
    SetDefaultClient(&client);
    char expireText[kExpireTextBytes];
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
      if (TokenAuth(1, 2, expireText) != kAccepted) state.SkipWithError("call failed");
    }
    const double cpu = (ThreadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    const double rate = static_cast<double>(state.iterations()) / wall.count();
    SetDefaultClient(previous);
    state.counters["calls_per_s"] = rate;
    state.counters["cpu_us_per_call"] = cpu * 1e6;
    if (isPlain) {
      plainCallsPerSecond = rate;
      plainCpuPerCall = cpu;
    } else if (plainCpuPerCall > 0) {
      state.counters["rate_x_plain"] = rate / plainCallsPerSecond;
      state.counters["cpu_x_plain"] = cpu / plainCpuPerCall;
    }
  }
  std::filesystem::remove_all(dir);
}

std::string TlsSection() {
  const std::filesystem::path ca = std::filesystem::temp_directory_path() / "zcv-tls-bench/ca.pem";
  return "[TLS]\nEnabled=1\nCAFile=" + ca.string() + "\n";
}

void BM_CallPlainHttp(benchmark::State& state) {
  test::ScriptServer server(test::Script{test::Send(kAuthReply)});
  RunCalls(state, server.port(), "", true);
}
BENCHMARK(BM_CallPlainHttp)->Iterations(kCalls)->UseRealTime();

void RunTls(benchmark::State& state, bool resumption) {
  test::TlsServerOptions options;
  options.credential = test::Pki().ip;
  options.resumption = resumption;
  test::TlsScriptServer server(test::Script{test::Send(kAuthReply)}, options);
  RunCalls(state, server.port(), TlsSection(), false);
  if (resumption && server.resumed() + 1 < server.handshakes()) {
    state.SkipWithError("sessions were not resumed");
  }
}

void BM_CallTlsFullHandshake(benchmark::State& state) { RunTls(state, false); }
BENCHMARK(BM_CallTlsFullHandshake)->Iterations(kCalls)->UseRealTime();

void BM_CallTlsResumed(benchmark::State& state) { RunTls(state, true); }
BENCHMARK(BM_CallTlsResumed)->Iterations(kCalls)->UseRealTime();

}  // namespace
}  // namespace zcv
