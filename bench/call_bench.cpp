// Benchmarks of the hot paths: a whole TokenAuth call against a loopback
// server beside a raw-socket client that exchanges the same bytes with the
// same server (the floor), reading the replies, and parsing the request URI.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_server.h"
#include "bench/loopback_service.h"
#include "bench/raw_client.h"
#include "http/uri.h"
#include "reply/reply_readers.h"
#include "zephyrcoilvault.h"

namespace zcv::bench {
namespace {

constexpr int kCallsPerThread = 1000;
constexpr int kServerWorkers = 2;
constexpr int kRounds = 11;

std::uint16_t g_port = 0;

std::string BindInfoReply() {
  std::string rows;
  for (int i = 0; i < kMaxBindRows; ++i) {
    rows += "<Row><AppNo>" + std::to_string(i) + "</AppNo><AppNo2>7</AppNo2><Account>account" +
            std::to_string(i) + "</Account><Bindtime>2024-01-01 10:00:00</Bindtime></Row>";
  }
  return "<Reply><Result>9999</Result><RowCount>10</RowCount>" + rows + "</Reply>";
}

// Runs `call` once per iteration and reports calls/s and the p50 and p99
// latency of this thread's calls, averaged over the threads.
template <typename Call>
void TimeCalls(benchmark::State& state, Call call) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> micros;
  micros.reserve(kCallsPerThread);
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (!call()) {
      state.SkipWithError("call failed");
      break;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations());
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double share) {
    return micros[std::min(micros.size() - 1, static_cast<std::size_t>(share * micros.size()))];
  };
  state.counters["p50_us"] = benchmark::Counter(at(0.50), benchmark::Counter::kAvgThreads);
  state.counters["p99_us"] = benchmark::Counter(at(0.99), benchmark::Counter::kAvgThreads);
}

void BM_RawClient(benchmark::State& state) {
  TimeCalls(state, [] { return RawCall(g_port, kAuthRequest); });
}

void BM_TokenAuth(benchmark::State& state) {
  char expireText[kExpireTextBytes];
  TimeCalls(state, [&] { return TokenAuth(1, 2, expireText) == kAccepted; });
}

void BM_ResultReplyReader(benchmark::State& state) {
  unsigned code = 0;
  int expire = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ResultReplyReader(kAuthReplyBody, &code, &expire));
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
  const char* uri =
      "http://192.0.2.10:8080/TokenAuth2Next.asp?iCardNo=1&iDynpasswd1=2&iDynpasswd2=3";
  for (auto _ : state) {
    HttpUri parsed;
    benchmark::DoNotOptimize(HttpUriParse(uri, &parsed));
  }
}
BENCHMARK(BM_HttpUriParse);

// The console report, then a side-by-side table of the loopback pairs:
// the median of the rounds for each client and thread count, and the ratio
// of TokenAuth's CPU per call to the floor's.
class SideBySideReporter : public benchmark::ConsoleReporter {
 public:
  SideBySideReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      if (run.counters.count("p50_us") == 0) continue;  // not a loopback client
      Rounds& rounds = rounds_[{run.run_name.function_name, run.threads}];
      rounds.cpuMicros.push_back(run.GetAdjustedCPUTime());
      rounds.callsPerSecond.push_back(run.counters.at("items_per_second"));
      rounds.p50.push_back(run.counters.at("p50_us"));
      rounds.p99.push_back(run.counters.at("p99_us"));
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (rounds_.empty()) return;
    std::printf("\nSide by side, median of %d rounds:\n", kRounds);
    std::printf("%-12s %7s %10s %9s %9s %12s\n", "client", "threads", "calls/s", "p50 us", "p99 us",
                "CPU us/call");
    for (auto& [key, rounds] : rounds_) {
      std::printf("%-12s %7d %10.0f %9.1f %9.1f %12.1f\n", key.first.c_str() + 3, key.second,
                  Median(rounds.callsPerSecond), Median(rounds.p50), Median(rounds.p99),
                  Median(rounds.cpuMicros));
    }
    // Each round's TokenAuth run follows that round's floor run, so the
    // ratio of the two sees one machine load; the median of those ratios
    // shrugs off a round that another process disturbed.
    for (auto& [key, rounds] : rounds_) {
      if (key.first != "BM_TokenAuth") continue;
      const auto floor = rounds_.find({"BM_RawClient", key.second});
      if (floor == rounds_.end()) continue;
      std::vector<double> ratios;
      const std::vector<double>& floorMicros = floor->second.cpuMicros;
      for (std::size_t i = 0; i < rounds.cpuMicros.size() && i < floorMicros.size(); ++i) {
        ratios.push_back(rounds.cpuMicros[i] / floorMicros[i]);
      }
      if (ratios.empty()) continue;
      std::printf(
          "TokenAuth / raw client CPU per call, %d thread(s): %.2fx (median of %zu rounds)\n",
          key.second, Median(ratios), ratios.size());
    }
  }

 private:
  struct Rounds {
    std::vector<double> cpuMicros, callsPerSecond, p50, p99;  // in round order
  };

  // Sorts a copy, so that the rounds keep their order for pairing.
  static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }

  std::map<std::pair<std::string, int>, Rounds> rounds_;
};

// The loopback pairs run in alternating rounds, the floor first at each
// thread count, so that both clients see the same machine load.
void RegisterLoopbackPairs() {
  for (int round = 0; round < kRounds; ++round) {
    for (const int threads : {1, 2}) {
      for (const auto& [name, function] :
           {std::pair{"BM_RawClient", &BM_RawClient}, std::pair{"BM_TokenAuth", &BM_TokenAuth}}) {
        benchmark::RegisterBenchmark(name, function)
            ->Iterations(kCallsPerThread)
            ->Threads(threads)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
}

}  // namespace
}  // namespace zcv::bench

int main(int argc, char** argv) {
  using namespace zcv::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  BenchServer server(HttpReplyOf(kAuthReplyBody), kServerWorkers);
  LoopbackService service(server.port());
  g_port = server.port();
  RegisterLoopbackPairs();
  SideBySideReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
