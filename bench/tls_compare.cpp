// What a TokenAuth call costs over TLS beside minimal clients written
// directly against OpenSSL and GnuTLS, in one run against one loopback
// server per kind (plain, TLS 1.2 and 1.3, each resuming or refusing to):
// CPU of the calling threads per call, calls per second, and the share of
// handshakes the server really resumed, at 1 and 2 threads, median of
// interleaved rounds, each client's CPU also as a multiple of the OpenSSL
// reference's (the raw-socket client's for plain HTTP). The kept kinds set
// the library's KeepAlive beside a minimal OpenSSL client that keeps its
// connection too; the library's kept call is checked against that client
// (at most 1.3x) and against its own call on a new, resumed connection of
// the same version (at most half). Every thread, servers included, runs on
// one processor: wakeups across processors of a virtual machine made the
// CPU of a few-microsecond kept call vary threefold from run to run.
//
//   zcv_tls_bench                       the comparison
//   zcv_tls_bench profile CLIENT KIND N  N calls on a thread named "client",
//       for a profiler; CLIENT library|openssl|gnutls|openssl-aes128|openssl-kept, KIND
//       one of the kinds' short names (tls12-resumed, tls13-full, ...)
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_server.h"
#include "bench/loopback_service.h"
#include "bench/raw_client.h"
#include "bench/tls_bench_server.h"
#include "bench/tls_reference_client.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv::bench {
namespace {

constexpr int kRounds = 11;
constexpr int kServerWorkers = 3;

enum class Client { kRaw, kLibrary, kOpenSsl, kGnuTls, kOpenSslAes128, kOpenSslKept };

const char* ClientName(Client client) {
  switch (client) {
    case Client::kRaw:
      return "raw socket";
    case Client::kLibrary:
      return "library";
    case Client::kOpenSsl:
      return "OpenSSL ref";
    case Client::kGnuTls:
      return "GnuTLS ref";
    case Client::kOpenSslAes128:
      return "OpenSSL AES128";
    case Client::kOpenSslKept:
      return "OpenSSL kept";
  }
  return "";
}

// One server and the library's service configured for it.
struct Kind {
  const char* name;       // for the table
  const char* shortName;  // for the command line
  int callsPerThread;     // per run: full handshakes are slow, plain calls quick
  int version = 0;        // 0: plain HTTP
  bool resumption = false;
  bool kept = false;  // KeepAlive=30, beside the OpenSSL client that keeps its connection
  std::unique_ptr<BenchServer> plain;
  std::unique_ptr<TlsBenchServer> tls;
  std::unique_ptr<LoopbackService> service;

  std::uint16_t port() const { return tls ? tls->port() : plain->port(); }
  std::vector<Client> clients() const {
    if (!tls) return {Client::kRaw, Client::kLibrary};
    if (kept) return {Client::kOpenSslKept, Client::kLibrary};
    return {Client::kOpenSsl, Client::kLibrary, Client::kGnuTls, Client::kOpenSslAes128};
  }
};

struct Clients {
  std::unique_ptr<TlsReferenceClient> openssl;
  std::unique_ptr<TlsReferenceClient> gnutls;
  // OpenSSL preferring AES-128-GCM with SHA-256 under TLS 1.3: the key
  // schedule's hashes then run on the processor's SHA instructions.
  std::unique_ptr<TlsReferenceClient> opensslAes128;
  std::unique_ptr<TlsReferenceClient> opensslKept;
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::function<bool()> CallOf(Client client, Kind& kind, Clients& clients) {
  const std::uint16_t port = kind.port();
  switch (client) {
    case Client::kRaw:
      return [port] { return RawCall(port, kAuthRequest); };
    case Client::kLibrary:
      return [] {
        char expireText[kExpireTextBytes];
        return TokenAuth(1, 2, expireText) == kAccepted;
      };
    case Client::kOpenSsl:
      return [port, &clients] { return clients.openssl->Call(port, kAuthRequest); };
    case Client::kGnuTls:
      return [port, &clients] { return clients.gnutls->Call(port, kAuthRequest); };
    case Client::kOpenSslAes128:
      return [port, &clients] { return clients.opensslAes128->Call(port, kAuthRequest); };
    case Client::kOpenSslKept:
      return [port, &clients] { return clients.opensslKept->Call(port, kAuthRequest); };
  }
  return [] { return false; };
}

struct Sample {
  double cpuMicros = 0;       // the calling threads' CPU per call
  double callsPerSecond = 0;  // all threads together, by wall time
  double resumedShare = -1;   // of the run's handshakes; -1 plain
  bool failed = false;
};

// One run: a call per thread first (so that a session is there to resume),
// then `threads` threads making the kind's number of calls each.
Sample Run(Kind& kind, Client client, Clients& clients, int threads) {
  if (client == Client::kLibrary) kind.service->Activate();
  const std::function<bool()> call = CallOf(client, kind, clients);
  Sample sample;
  for (int t = 0; t < threads; ++t) sample.failed |= !call();
  const int handshakes = kind.tls ? kind.tls->handshakes() : 0;
  const int resumed = kind.tls ? kind.tls->resumed() : 0;
  std::atomic<bool> go{false};
  std::atomic<bool> failed{false};
  std::vector<double> cpu(static_cast<std::size_t>(threads));
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      pthread_setname_np(pthread_self(), "client");
      while (!go) std::this_thread::yield();
      const double start = ThreadCpuSeconds();
      for (int i = 0; i < kind.callsPerThread; ++i) {
        if (!call()) failed = true;
      }
      cpu[static_cast<std::size_t>(t)] = ThreadCpuSeconds() - start;
    });
  }
  const auto wallStart = std::chrono::steady_clock::now();
  go = true;
  for (std::thread& worker : workers) worker.join();
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
  const double calls = static_cast<double>(threads) * kind.callsPerThread;
  double cpuTotal = 0;
  for (const double seconds : cpu) cpuTotal += seconds;
  sample.cpuMicros = cpuTotal / calls * 1e6;
  sample.callsPerSecond = calls / wall.count();
  if (kind.tls) {
    const int made = kind.tls->handshakes() - handshakes;
    sample.resumedShare = made > 0 ? static_cast<double>(kind.tls->resumed() - resumed) / made : 0;
  }
  sample.failed |= failed;
  return sample;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<Kind> MakeKinds(const std::string& reply) {
  const test::TestPki& pki = test::Pki();
  struct Spec {
    const char* name;
    const char* shortName;
    int version;  // 0: plain HTTP
    bool resumption;
    int calls;
    bool keepAlive = false;  // KeepAlive=30: the library keeps its connection
  };
  const Spec specs[] = {
      {"plain HTTP", "plain", 0, false, 400},
      {"TLS 1.2 full", "tls12-full", TLS1_2_VERSION, false, 60},
      {"TLS 1.2 resumed", "tls12-resumed", TLS1_2_VERSION, true, 200},
      {"TLS 1.3 full", "tls13-full", TLS1_3_VERSION, false, 60},
      {"TLS 1.3 resumed", "tls13-resumed", TLS1_3_VERSION, true, 150},
      {"TLS 1.2 kept", "tls12-kept", TLS1_2_VERSION, true, 4000, true},
      {"TLS 1.3 kept", "tls13-kept", TLS1_3_VERSION, true, 4000, true},
  };
  std::vector<Kind> kinds;
  for (const Spec& spec : specs) {
    Kind kind{spec.name,      spec.shortName, spec.calls, spec.version, spec.resumption,
              spec.keepAlive, nullptr,        nullptr,    nullptr};
    if (spec.version == 0) {
      kind.plain = std::make_unique<BenchServer>(reply, kServerWorkers);
    } else {
      TlsBenchOptions options{pki.ip.certificatePem, pki.ip.keyPem, spec.version, spec.resumption,
                              spec.keepAlive};
      // A kept connection's reply does not ask for "close".
      const std::string keptReply =
          "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(std::strlen(kAuthReplyBody)) +
          "\r\n\r\n" + kAuthReplyBody;
      // Kept connections hold a worker each while idle: two more for them.
      kind.tls = std::make_unique<TlsBenchServer>(
          spec.keepAlive ? keptReply : reply, kServerWorkers + (spec.keepAlive ? 2 : 0), options);
    }
    kind.service =
        std::make_unique<LoopbackService>(kind.port(), spec.version == 0 ? "" : pki.caPem,
                                          "127.0.0.1", spec.keepAlive ? "KeepAlive=30\n" : "");
    kinds.push_back(std::move(kind));
  }
  return kinds;
}

Client ClientNamed(const std::string& name) {
  if (name == "openssl") return Client::kOpenSsl;
  if (name == "gnutls") return Client::kGnuTls;
  if (name == "raw") return Client::kRaw;
  if (name == "openssl-aes128") return Client::kOpenSslAes128;
  if (name == "openssl-kept") return Client::kOpenSslKept;
  return Client::kLibrary;
}

int Profile(std::vector<Kind>& kinds, Clients& clients, const std::string& clientName,
            const std::string& kindName, int calls) {
  for (Kind& kind : kinds) {
    if (kindName != kind.shortName) continue;
    kind.callsPerThread = calls;
    const Client client = ClientNamed(clientName);
    const std::vector<Client> valid = kind.clients();
    if (std::find(valid.begin(), valid.end(), client) == valid.end()) break;
    const Sample sample = Run(kind, client, clients, 1);
    std::printf("%s, %s: %.1f us CPU per call, %.0f calls/s, %.0f%% resumed%s\n",
                ClientName(client), kind.name, sample.cpuMicros, sample.callsPerSecond,
                sample.resumedShare * 100, sample.failed ? ", CALLS FAILED" : "");
    return sample.failed ? 1 : 0;
  }
  std::fprintf(stderr, "no client %s for a kind %s\n", clientName.c_str(), kindName.c_str());
  return 2;
}

using Key = std::tuple<std::size_t, Client, int>;  // kind, client, threads

// The library's kept calls: their CPU as a multiple of the kept OpenSSL
// client's (bound 1.3x) and of the library's own call on a new, resumed
// connection of the same version (bound 0.5x), medians of the rounds'
// ratios.
void PrintKept(const std::vector<Kind>& kinds, std::map<Key, std::vector<Sample>>& samples,
               int threads, bool* withinBound) {
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    if (!kinds[k].kept) continue;
    std::size_t fresh = k;
    for (std::size_t j = 0; j < kinds.size(); ++j) {
      if (!kinds[j].kept && kinds[j].version == kinds[k].version && kinds[j].resumption) fresh = j;
    }
    const std::vector<Sample>& library = samples[{k, Client::kLibrary, threads}];
    const std::vector<Sample>& reference = samples[{k, Client::kOpenSslKept, threads}];
    const std::vector<Sample>& newConnection = samples[{fresh, Client::kLibrary, threads}];
    std::vector<double> toReference, toNew;
    for (std::size_t i = 0; i < library.size(); ++i) {
      toReference.push_back(library[i].cpuMicros / reference[i].cpuMicros);
      toNew.push_back(library[i].cpuMicros / newConnection[i].cpuMicros);
    }
    const bool holds = Median(toReference) <= 1.3 && Median(toNew) <= 0.5;
    std::printf(
        "%s, %d thread(s): library %.2fx the kept OpenSSL client (bound 1.3x), "
        "%.2fx its own %s call (bound 0.5x): %s\n",
        kinds[k].name, threads, Median(toReference), Median(toNew), kinds[fresh].name,
        holds ? "ok" : "NOT MET");
    *withinBound &= holds;
  }
}

void PrintTable(const std::vector<Kind>& kinds, std::map<Key, std::vector<Sample>>& samples,
                int threads, bool* withinBound) {
  std::printf("\n%d thread(s): median of %d rounds; CPU is the calling threads' own\n", threads,
              kRounds);
  std::printf("%-16s %-15s %12s %10s %8s %10s\n", "server", "client", "CPU us/call", "calls/s",
              "resumed", "CPU x ref");
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const std::vector<Client> clients = kinds[k].clients();
    const std::vector<Sample>& reference = samples[{k, clients.front(), threads}];
    for (const Client client : clients) {
      const std::vector<Sample>& runs = samples[{k, client, threads}];
      std::vector<double> cpu, rate, share, ratio;
      bool failed = false;
      for (std::size_t i = 0; i < runs.size(); ++i) {
        cpu.push_back(runs[i].cpuMicros);
        rate.push_back(runs[i].callsPerSecond);
        share.push_back(runs[i].resumedShare);
        ratio.push_back(runs[i].cpuMicros / reference[i].cpuMicros);
        failed |= runs[i].failed;
      }
      char resumed[16] = "-";
      if (kinds[k].tls) std::snprintf(resumed, sizeof resumed, "%.0f%%", Median(share) * 100);
      char multiple[16] = "-";
      if (client != clients.front())
        std::snprintf(multiple, sizeof multiple, "%.2fx", Median(ratio));
      std::printf("%-16s %-15s %12.1f %10.0f %8s %10s%s\n", kinds[k].name, ClientName(client),
                  Median(cpu), Median(rate), resumed, multiple, failed ? "  CALLS FAILED" : "");
      if (kinds[k].tls && !kinds[k].kept && client == Client::kLibrary &&
          (failed || Median(ratio) > 1.2)) {
        *withinBound = false;
      }
    }
  }
}

int Compare(std::vector<Kind>& kinds, Clients& clients) {
  const std::string loadBefore = LoadAverage();
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = ProcessCpuSeconds();
  std::map<Key, std::vector<Sample>> samples;
  // Each round runs every client on every kind at both thread counts, so
  // that the clients compared see the same machine load.
  for (int round = 0; round < kRounds; ++round) {
    for (const int threads : {1, 2}) {
      for (std::size_t k = 0; k < kinds.size(); ++k) {
        for (const Client client : kinds[k].clients()) {
          samples[{k, client, threads}].push_back(Run(kinds[k], client, clients, threads));
        }
      }
    }
    std::fprintf(stderr, "round %d of %d done\n", round + 1, kRounds);
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
  const double cpu = ProcessCpuSeconds() - cpuStart;
  bool withinBound = true;
  for (const int threads : {1, 2}) PrintTable(kinds, samples, threads, &withinBound);
  bool keptWithinBound = true;
  std::printf("\n");
  for (const int threads : {1, 2}) PrintKept(kinds, samples, threads, &keptWithinBound);
  std::printf(
      "\nload average before %s, after %s; %.0f s wall, process CPU %.0f s (%.2f cores"
      ", servers included) on %u cores\n",
      loadBefore.c_str(), LoadAverage().c_str(), wall.count(), cpu, cpu / wall.count(),
      std::thread::hardware_concurrency());
  std::printf("library CPU per TLS call within 1.2x of the OpenSSL reference: %s\n",
              withinBound ? "yes" : "NO");
  std::printf(
      "library CPU per kept TLS call within 1.3x of the kept OpenSSL client and half "
      "of a call on a new connection: %s\n",
      keptWithinBound ? "yes" : "NO");
  return 0;
}

// Keeps this thread, and every thread it starts, on the first processor it
// may use; returns that processor, or -1 when it cannot.
int PinToOneProcessor() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    return sched_setaffinity(0, sizeof one, &one) == 0 ? cpu : -1;
  }
  return -1;
}

}  // namespace
}  // namespace zcv::bench

int main(int argc, char** argv) {
  using namespace zcv::bench;
  // Before any thread starts, so that all inherit it.
  const int processor = PinToOneProcessor();
  // A reference client writes to a socket the server may have closed.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<Kind> kinds = MakeKinds(HttpReplyOf(kAuthReplyBody));
  const std::string& ca = zcv::test::Pki().caPem;
  Clients clients{MakeOpenSslClient(ca), MakeGnuTlsClient(ca),
                  MakeOpenSslClient(ca,
                                    "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:"
                                    "TLS_CHACHA20_POLY1305_SHA256"),
                  MakeOpenSslKeptClient(ca)};
  int status = 0;
  if (argc == 5 && std::strcmp(argv[1], "profile") == 0) {
    status = Profile(kinds, clients, argv[2], argv[3], std::atoi(argv[4]));
  } else if (argc == 1) {
    if (processor >= 0) {
      std::printf("every thread on processor %d\n", processor);
    } else {
      std::printf("threads not kept to one processor (sched_setaffinity failed)\n");
    }
    status = Compare(kinds, clients);
  } else {
    std::fprintf(stderr, "usage: %s [profile CLIENT KIND CALLS]\n", argv[0]);
    status = 2;
  }
  // The services go before the servers they point at.
  for (auto& kind : kinds) kind.service.reset();
  return status;
}
