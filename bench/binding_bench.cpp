// CPU per authentication call through the Java and Python bindings beside
// the C function itself, against one loopback server in this process. Each
// client runs in a process of its own (the C one is this program again, with
// --c) and measures its calling thread's CPU time, so the server's work is
// left out alike. Prints the medians and the ratios to the C call.
//   zcv_binding_bench [calls per round]
//   zcv_binding_bench --c CONFIG CALLS ROUNDS   (one line per round, ns per call)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_server.h"
#include "bench/raw_client.h"
#include "zephyrcoilvault/client.h"

namespace {

constexpr int kServerWorkers = 2;
constexpr int kRounds = 7;
constexpr int kDefaultCalls = 2000;

double ThreadCpuNanos() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// `rounds` rounds of `calls` zcv_auth calls, after a warm-up; ns per call.
std::vector<double> MeasureC(const std::string& config, int calls, int rounds_wanted) {
  char error[ZCV_ERROR_BYTES] = {};
  zcv_client* client = zcv_client_open(config.c_str(), nullptr, 0, error, sizeof error);
  std::vector<double> rounds;
  if (client == nullptr) {
    std::fprintf(stderr, "zcv_client_open: %s\n", error);
    return rounds;
  }
  char expire[ZCV_EXPIRE_TEXT_BYTES];
  bool ok = true;
  for (int i = 0; i < calls / 4; ++i)
    ok &= zcv_auth(client, 1, 2, expire, sizeof expire) == ZCV_ACCEPTED;
  for (int r = 0; r < rounds_wanted && ok; ++r) {
    const double start = ThreadCpuNanos();
    for (int i = 0; i < calls; ++i) {
      ok &= zcv_auth(client, 1, 2, expire, sizeof expire) == ZCV_ACCEPTED;
    }
    rounds.push_back((ThreadCpuNanos() - start) / calls);
  }
  zcv_client_close(client);
  if (!ok) rounds.clear();
  return rounds;
}

// Runs a measuring program and reads one number a line from it.
std::vector<double> MeasureProgram(const std::string& command) {
  std::vector<double> rounds;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return rounds;
  double ns = 0;
  while (std::fscanf(pipe, "%lf", &ns) == 1) rounds.push_back(ns);
  if (pclose(pipe) != 0) rounds.clear();
  return rounds;
}

void Report(const char* name, const std::vector<double>& rounds, double c_median) {
  if (rounds.empty()) {
    std::printf("%-8s failed or not available\n", name);
    return;
  }
  const double median = Median(rounds);
  std::printf("%-8s %8.1f us CPU per auth call  (%.2fx the C call)\n", name, median / 1000,
              c_median > 0 ? median / c_median : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--c") {
    const std::vector<double> rounds = MeasureC(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    for (double ns : rounds) std::printf("%.0f\n", ns);
    return rounds.empty() ? 1 : 0;
  }
  const int calls = argc > 1 ? std::atoi(argv[1]) : kDefaultCalls;
  zcv::bench::BenchServer server(zcv::bench::HttpReplyOf(zcv::bench::kAuthReplyBody),
                                 kServerWorkers);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("zcv-binding-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string config = (dir / "cfgfile.ini").string();
  std::ofstream(config) << "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0="
                        << server.port() << "\n";
  const std::string args =
      " " + config + " " + std::to_string(calls) + " " + std::to_string(kRounds);

  const std::string c_command = std::string(argv[0]) + " --c" + args;
  std::vector<double> c = MeasureProgram(c_command);
  const std::vector<double> java =
      MeasureProgram(std::string(ZCV_BENCH_JAVA) + " -Djava.library.path=" + ZCV_BENCH_LIBRARY_DIR +
                     " -cp " + ZCV_BENCH_CLASSPATH + " AuthBench" + args);
  const std::vector<double> python =
      MeasureProgram(std::string("env PYTHONPATH=") + ZCV_BENCH_PYTHONPATH +
                     " ZEPHYRCOILVAULT_LIBRARY=" + ZCV_BENCH_LIBRARY + " " + ZCV_BENCH_PYTHON +
                     " " + ZCV_BENCH_PYTHON_SCRIPT + args);
  // The C call once more after the others, so that both ends of the run count.
  const std::vector<double> c_after = MeasureProgram(c_command);
  c.insert(c.end(), c_after.begin(), c_after.end());
  std::filesystem::remove_all(dir);

  std::printf(
      "CPU per auth call against a loopback server (%d calls a round, median of %d rounds)\n",
      calls, kRounds);
  const double c_median = Median(c);
  Report("C", c, c_median);
  Report("Java", java, c_median);
  Report("Python", python, c_median);
  return c.empty() ? 1 : 0;
}
