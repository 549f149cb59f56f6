// The soak: one host process whose 8 threads call a mix of operations
// through the real shared library, for a bounded time and count, against
// ten loopback servers of which only one behaves. At the end it prints and
// checks: descriptors as at the start, growth of the heap in use after the
// warm-up, every log entry whole, no caller buffer written against the
// rules (guard bytes around every buffer), and the longest call within the
// bound that the configured time-outs imply. Exit status 0 when all hold.
// With --tls every server is reached over TLS: the same faults behind a TLS
// front, and servers whose TLS itself is wrong, whose replies must never be
// accepted and whose failures must be logged as TLS errors.
// With --keep-alive the client keeps its connections (KeepAlive) and the
// servers keep theirs where a reply is framed whole, closing some of them
// in turn, so that kept connections fail, hold stray bytes and are retried;
// the good server must then have answered more calls than it accepted
// connections.
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "soak_server.h"
#include "support/script_server.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"
#include "zephyrcoilvault/client.h"

namespace zcv::soak {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8;
constexpr long kMaxCallsPerThread = 1000000;
// Short time-outs, so that the bound on a call is a few seconds.
constexpr int kConnectSeconds = 1;
constexpr int kSendSeconds = 1;
constexpr int kReceiveSeconds = 1;
constexpr int kCallSeconds = 3;
constexpr int kKeepAliveSeconds = 30;
// The slack covers scheduling on a loaded machine, not server behaviour: a
// call that a server could hold would take far longer than any of these.
#if defined(ZCV_SOAK_SANITIZED)
constexpr bool kSanitized = true;
constexpr double kCallSlackSeconds = 6.0;  // instrumented code runs many times slower
#else
constexpr bool kSanitized = false;
constexpr double kCallSlackSeconds = 2.0;
#endif
constexpr long kMaxHeapGrowthBytes = 1024 * 1024;
constexpr std::size_t kGuardBytes = 16;
constexpr unsigned char kGuard = 0xA5;
constexpr char kUnwritten = 'U';
// What the servers that must never be believed put into their replies.
constexpr char kForbiddenPassword[] = "666666";
constexpr char kForbiddenExpireTime[] = "2000000000";  // in 2033
constexpr char kForbiddenYear[] = "2033";
constexpr char kForbiddenAccount[] = "forbidden";

// ---- Caller buffers with guard bytes on both sides ------------------------

template <std::size_t N>
struct Guarded {
  unsigned char before[kGuardBytes];
  char bytes[N];
  unsigned char after[kGuardBytes];

  void Fill() {
    std::memset(before, kGuard, kGuardBytes);
    std::memset(bytes, kUnwritten, N);
    std::memset(after, kGuard, kGuardBytes);
  }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < kGuardBytes; ++i) {
      if (before[i] != kGuard || after[i] != kGuard) return false;
    }
    return true;
  }
  bool Unwritten(std::size_t from = 0) const {
    for (std::size_t i = from; i < N; ++i) {
      if (bytes[i] != kUnwritten) return false;
    }
    return true;
  }
  bool Terminated() const { return std::memchr(bytes, '\0', N) != nullptr; }
};

// ---- One thread's calls ---------------------------------------------------

struct Tally {
  long calls = 0;
  long accepted = 0;
  long noAnswer = 0;
  long unexpected = 0;     // a result other than 9999 or 1012
  long brokenBuffers = 0;  // a write outside a buffer, or against the rules
  long forbidden = 0;      // accepted from a server that must never be believed
  double longestSeconds = 0;
};

bool ExpiryRulesHold(ResultCode code, const Guarded<kExpireTextBytes>& expire) {
  if (!expire.GuardsIntact()) return false;
  return code == kAccepted ? expire.Terminated() : expire.Unwritten();
}

bool PasswordRulesHold(ResultCode code, const Guarded<kResvPassWordBytes>& password) {
  if (!password.GuardsIntact()) return false;
  return code == kAccepted ? password.Terminated() : password.Unwritten();
}

bool Contains(const char* bytes, std::size_t size, const char* text) {
  return std::string(bytes, size).find(text) != std::string::npos;
}

// One call of the operation `which` into `expire` and `password`; true when
// its buffers obey the rules. Sets `forbidden` when binding rows came from a
// server that must never be believed.
bool CallInto(zcv_client* client, int which, int card, ResultCode* code,
              Guarded<kExpireTextBytes>& expire, Guarded<kResvPassWordBytes>& password,
              bool* forbidden) {
  char account[] = "soak-account-0000001";  // 20 bytes, the limit
  switch (which) {
    case 0:
      *code = zcv_auth(client, card, 123456, expire.bytes, sizeof expire.bytes);
      return ExpiryRulesHold(*code, expire);
    case 1:
      *code =
          zcv_binding2(client, card, 123456, 1, 2, account, password.bytes, sizeof password.bytes);
      return PasswordRulesHold(*code, password);
    case 2: {
      Guarded<sizeof(pTokenBindInfo) * kMaxBindRows> rows;
      Guarded<sizeof(int)> count;
      rows.Fill();
      count.Fill();
      int* rowCount = reinterpret_cast<int*>(count.bytes);
      const int before = *rowCount;
      *code = zcv_bind_info_query(client, card, 123456, rowCount,
                                  reinterpret_cast<zcv_bind_info*>(rows.bytes), kMaxBindRows);
      if (!rows.GuardsIntact() || !count.GuardsIntact()) return false;
      if (*code != kAccepted) return (*rowCount == before || *rowCount == 0) && rows.Unwritten();
      const int written = std::clamp(*rowCount, 0, kMaxBindRows);
      if (Contains(rows.bytes, sizeof rows.bytes, kForbiddenAccount)) *forbidden = true;
      return rows.Unwritten(sizeof(pTokenBindInfo) * static_cast<std::size_t>(written));
    }
    case 3: {
      Guarded<sizeof(int)> status;
      status.Fill();
      *code = zcv_status(client, card, reinterpret_cast<int*>(status.bytes), expire.bytes,
                         sizeof expire.bytes);
      if (!status.GuardsIntact()) return false;
      if (*code != kAccepted && !status.Unwritten()) return false;
      return ExpiryRulesHold(*code, expire);
    }
    case 4: {
      // Every profile text at its limit: the longest request there is.
      std::string name(20, 'n'), id(20, 'i'), mobile(20, 'm'), tel(20, 't'), post(10, 'p'),
          email(40, 'e'), address(100, 'a');
      char service[] = "SOAK0000000000000001";
      *code =
          zcv_enable(client, service, 123456, name.data(), 1, id.data(), mobile.data(), tel.data(),
                     post.data(), email.data(), address.data(), expire.bytes, sizeof expire.bytes);
      return ExpiryRulesHold(*code, expire);
    }
    default:
      *code = zcv_bind_other(client, card, 123456, password.bytes, sizeof password.bytes);
      return PasswordRulesHold(*code, password);
  }
}

// As CallInto, with fresh buffers; `forbidden` tells whether anything the
// call returned came from a server that must never be believed.
bool CallOne(zcv_client* client, int which, int card, ResultCode* code, bool* forbidden) {
  Guarded<kExpireTextBytes> expire;
  Guarded<kResvPassWordBytes> password;
  expire.Fill();
  password.Fill();
  *forbidden = false;
  const bool held = CallInto(client, which, card, code, expire, password, forbidden);
  *forbidden = *forbidden || Contains(expire.bytes, sizeof expire.bytes, kForbiddenYear) ||
               Contains(password.bytes, sizeof password.bytes, kForbiddenPassword);
  return held;
}

void RunCalls(zcv_client* client, int thread, Clock::time_point end, Tally* tally) {
  for (long i = 0; i < kMaxCallsPerThread && Clock::now() < end; ++i) {
    const Clock::time_point start = Clock::now();
    ResultCode code = 0;
    bool forbidden = false;
    const bool rulesHeld =
        CallOne(client, static_cast<int>((thread + i) % 6), thread * 1000 + 1, &code, &forbidden);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    tally->longestSeconds = std::max(tally->longestSeconds, seconds);
    ++tally->calls;
    if (code == kAccepted) {
      ++tally->accepted;
    } else if (code == kNoAnswer) {
      ++tally->noAnswer;
    } else {
      ++tally->unexpected;
    }
    if (!rulesHeld) ++tally->brokenBuffers;
    if (forbidden) ++tally->forbidden;
  }
}

// ---- What the process holds -----------------------------------------------

int OpenDescriptors() {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc/self/fd"), closedir);
  int count = 0;
  while (dir && readdir(dir.get()) != nullptr) ++count;
  return count;
}

// Bytes of heap in use in all of the allocator's arenas. Unlike resident
// memory it does not move with how the arenas of busy threads happen to be
// laid out, so growth of it is growth of what the process keeps.
long HeapInUseBytes() { return static_cast<long>(mallinfo2().uordblks); }

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

struct LogCount {
  long entries = 0;
  long tlsErrors = 0;
};

// Length of a "<prefix><reason>\n" message at `pos` (prefix
// "127.0.0.1  tls error: " or "127.0.0.1  connect error: "), the reason one
// line of printable text; 0 when there is none.
std::size_t ReasonLineLength(const std::string& text, std::size_t pos, const std::string& kPrefix) {
  if (text.compare(pos, kPrefix.size(), kPrefix) != 0) return 0;
  std::size_t end = pos + kPrefix.size();
  while (end < text.size() && text[end] >= ' ' && text[end] <= '~') ++end;
  if (end == pos + kPrefix.size() || end >= text.size() || text[end] != '\n') return 0;
  return end + 1 - pos;
}

// Entries are "<YYYYmmdd.HH:MM:SS> : <message> ", each message one of the
// attempt's failure lines or the failure gate's two, TLS errors among them
// only when `tls`. Returns
// the count of entries that are not.
long BrokenLogEntries(const std::string& text, bool tls, LogCount* count) {
  long* entries = &count->entries;
  static const char* const kMessages[] = {
      "get body len error \n", "parse xml error\n",
      "authentication refused for 150 s after 3 calls without a server\n",
      "authentication admitted again after the failure gate's wait\n"};
  constexpr std::size_t kStamp = 17;
  long broken = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    ++*entries;
    bool whole = pos + kStamp + 3 <= text.size() && text.compare(pos + kStamp, 3, " : ") == 0;
    for (std::size_t i = 0; whole && i < kStamp; ++i) {
      const char c = text[pos + i];
      whole = (i == 8) ? c == '.' : (i == 11 || i == 14) ? c == ':' : (c >= '0' && c <= '9');
    }
    if (!whole) return broken + 1;  // no way to find the next entry's start
    pos += kStamp + 3;
    bool known = false;
    for (const char* message : kMessages) {
      const std::size_t length = std::strlen(message);
      if (text.compare(pos, length + 1, std::string(message) + ' ') == 0) {
        pos += length + 1;
        known = true;
        break;
      }
    }
    const std::size_t connectError =
        known ? 0 : ReasonLineLength(text, pos, "127.0.0.1  connect error: ");
    if (connectError != 0 && text.compare(pos + connectError, 1, " ") == 0) {
      pos += connectError + 1;
      known = true;
    }
    const std::size_t tlsError =
        tls && !known ? ReasonLineLength(text, pos, "127.0.0.1  tls error: ") : 0;
    if (tlsError != 0 && text.compare(pos + tlsError, 1, " ") == 0) {
      pos += tlsError + 1;
      ++count->tlsErrors;
      known = true;
    }
    if (!known) return broken + 1;
  }
  return broken;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Ini(const std::vector<std::uint16_t>& ports, const std::string& caFile, bool keep) {
  std::ostringstream ini;
  ini << "[ServerSet]\nServerNumber=" << ports.size() << "\n";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    ini << "ServerIP" << i << "=127.0.0.1\nServerPort" << i << "=" << ports[i] << "\n";
  }
  ini << "ConnectTimeout=" << kConnectSeconds << "\nSendTimeout=" << kSendSeconds
      << "\nReceiveTimeout=" << kReceiveSeconds << "\nCallTimeout=" << kCallSeconds << "\n";
  if (keep) ini << "KeepAlive=" << kKeepAliveSeconds << "\n";
  if (!caFile.empty()) ini << "[TLS]\nEnabled=1\nCAFile=" << caFile << "\n";
  return ini.str();
}

bool Check(bool holds, const char* what) {
  std::printf("  %-58s %s\n", what, holds ? "ok" : "FAILED");
  return holds;
}

// The good reply with every value a caller sees replaced, so that a reply
// from a server that must never be believed is recognised where it lands.
std::string ForbiddenReplyBody() {
  std::string body = GoodReplyBody();
  auto replace = [&body](const std::string& from, const std::string& to) {
    for (std::size_t at = body.find(from); at != std::string::npos; at = body.find(from, at)) {
      body.replace(at, from.size(), to);
      at += to.size();
    }
  };
  replace("123456", kForbiddenPassword);
  replace("1704067200", kForbiddenExpireTime);
  replace("account-", kForbiddenAccount);
  return body;
}

// One server of the list: a SoakServer, reached directly or behind a TLS
// front. `tlsOwn` marks the ones whose TLS itself is wrong.
struct Server {
  std::string name;
  std::unique_ptr<SoakServer> backend;
  std::unique_ptr<test::TlsScriptServer> front;
  bool tlsOwn = false;       // must never be believed
  bool inHandshake = false;  // every connection fails in the handshake

  std::uint16_t port() const { return front ? front->port() : backend->port(); }
  long connections() const { return front ? front->accepted() : backend->connections(); }
  void Stop() {
    if (front) front->Stop();
    backend->Stop();
  }
};

Server Plain(Behaviour behaviour, bool keep) {
  return Server{BehaviourName(behaviour),
                std::make_unique<SoakServer>(behaviour, GoodReplyBody(), keep), nullptr};
}

std::vector<Server> PlainServers(bool keep) {
  const Behaviour kBad[] = {Behaviour::kReset,        Behaviour::kCloseMidHead,
                            Behaviour::kCloseMidBody, Behaviour::kWrongLength,
                            Behaviour::kTrickle,      Behaviour::kStall,
                            Behaviour::kFloodHead,    Behaviour::kBadReplies};
  std::vector<Server> servers;
  for (Behaviour b : kBad) servers.push_back(Plain(b, keep));
  servers.insert(servers.begin() + 4, Plain(Behaviour::kGood, keep));
  return servers;
}

Server Fronted(const char* name, Behaviour behaviour, const test::Credential& credential, bool keep,
               bool closeNotify = true) {
  const bool tlsOwn = &credential != &test::Pki().ip || !closeNotify;
  Server server{name,
                std::make_unique<SoakServer>(behaviour,
                                             tlsOwn ? ForbiddenReplyBody() : GoodReplyBody(), keep),
                nullptr, tlsOwn, &credential != &test::Pki().ip};
  test::TlsServerOptions options;
  options.credential = credential;
  options.closeNotify = closeNotify;
  server.front = std::make_unique<test::TlsScriptServer>(server.backend->port(), options);
  return server;
}

// Ten servers reached over TLS: the good one and some faults behind a TLS
// front, then servers whose TLS is wrong: a certificate for another name,
// an expired one, a server that answers the handshake in clear or with
// garbage, one that stalls the handshake, and a reply read until the close
// that comes without the TLS close.
std::vector<Server> TlsServers(bool keep) {
  const test::TestPki& pki = test::Pki();
  std::vector<Server> servers;
  servers.push_back(Fronted("tls-trickle", Behaviour::kTrickle, pki.ip, keep));
  servers.push_back(Fronted("tls-stall", Behaviour::kStall, pki.ip, keep));
  servers.push_back(Fronted("tls-close-mid-body", Behaviour::kCloseMidBody, pki.ip, keep));
  servers.push_back(Fronted("tls-good", Behaviour::kGood, pki.ip, keep));
  servers.push_back(Fronted("tls-bad-replies", Behaviour::kBadReplies, pki.ip, keep));
  servers.push_back(Fronted("tls-other-name", Behaviour::kGood, pki.otherName, keep));
  servers.push_back(Fronted("tls-expired", Behaviour::kGood, pki.expired, keep));
  servers.push_back(Server{
      "no-handshake", std::make_unique<SoakServer>(Behaviour::kNoHandshake, ForbiddenReplyBody()),
      nullptr, true, true});
  servers.push_back(Server{"stalled-handshake", std::make_unique<SoakServer>(Behaviour::kStall),
                           nullptr, true, true});
  servers.push_back(Fronted("tls-until-close-unclosed", Behaviour::kUntilClose, pki.ip, keep,
                            /*closeNotify=*/false));
  return servers;
}

int Soak(int seconds, bool tls, bool keep) {
  const std::uint16_t refused = test::UnusedPort();  // holds its socket from here on
  if (tls) test::Pki();  // made before counting: key generation may open descriptors
  const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-soak-XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  const int descriptorsAtStart = OpenDescriptors();

  // The plain list starts with a refused port; the TLS list has no room.
  std::vector<std::uint16_t> ports;
  if (!tls) ports.push_back(refused);
  std::vector<Server> servers = tls ? TlsServers(keep) : PlainServers(keep);
  for (const Server& server : servers) ports.push_back(server.port());
  std::string caFile;
  if (tls) {
    caFile = dir + "/ca.pem";
    std::ofstream(caFile) << test::Pki().caPem;
  }
  std::ofstream(dir + "/cfgfile.ini") << Ini(ports, caFile, keep);
  char error[ZCV_ERROR_BYTES];
  zcv_client* client = zcv_client_open((dir + "/cfgfile.ini").c_str(),
                                       (dir + "/logfile.txt").c_str(), 0, error, sizeof error);
  if (client == nullptr) {
    std::fprintf(stderr, "soak: no client: %s\n", error);
    return 2;
  }

  std::printf("soak: %d s, %d threads%s, %zu servers (%s", seconds, kThreads,
              keep ? ", connections kept" : "", ports.size(), tls ? "TLS" : "1 refusing");
  for (const Server& server : servers) std::printf(", %s", server.name.c_str());
  std::printf(")\n");

  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::seconds(seconds);
  std::vector<Tally> tallies(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back(RunCalls, client, t, end, &tallies[static_cast<std::size_t>(t)]);
  }
  // Warm-up: allocator arenas, thread stacks and the log's buffers settle.
  std::this_thread::sleep_until(start + std::chrono::seconds(std::max(2, seconds / 5)));
  const long rssAfterWarmUp = ResidentBytes();
  const long heapAfterWarmUp = HeapInUseBytes();
  for (std::thread& thread : threads) thread.join();
  const long rssAtEnd = ResidentBytes();
  const long heapAtEnd = HeapInUseBytes();

  zcv_client_close(client);
  bool everyServerReached = true;
  long handshakeFailures = 0;  // connections to servers that fail every handshake
  long goodConnections = 0;    // to the good servers whose replies are accepted
  long goodKeptReplies = 0;    // their replies that left the connection open
  std::printf("connections:");
  for (Server& server : servers) {
    server.Stop();
    everyServerReached &= server.connections() > 0;
    if (server.inHandshake) handshakeFailures += server.connections();
    if (server.backend->behaviour() == Behaviour::kGood && !server.tlsOwn) {
      goodConnections += server.backend->connections();
      goodKeptReplies += server.backend->keptReplies();
    }
    std::printf(" %s %ld", server.name.c_str(), server.connections());
  }
  std::printf("\n");
  const std::string log = ReadFile(dir + "/logfile.txt");
  std::filesystem::remove_all(dir);
  servers.clear();
  const int descriptorsAtEnd = OpenDescriptors();

  Tally total;
  for (const Tally& t : tallies) {
    total.calls += t.calls;
    total.accepted += t.accepted;
    total.noAnswer += t.noAnswer;
    total.unexpected += t.unexpected;
    total.brokenBuffers += t.brokenBuffers;
    total.forbidden += t.forbidden;
    total.longestSeconds = std::max(total.longestSeconds, t.longestSeconds);
  }
  LogCount logged;
  const long brokenEntries = BrokenLogEntries(log, tls, &logged);
  const double bound = kCallSeconds + kCallSlackSeconds;
  const long growth = heapAtEnd - heapAfterWarmUp;

  std::printf("calls %ld: accepted %ld, no answer %ld, other %ld; log entries %ld\n", total.calls,
              total.accepted, total.noAnswer, total.unexpected, logged.entries);
  if (tls) {
    std::printf(
        "TLS errors logged %ld, handshakes failed %ld, accepted from a refused server %ld\n",
        logged.tlsErrors, handshakeFailures, total.forbidden);
  }
  std::printf(
      "descriptors %d -> %d; after warm-up: resident %ld KiB (growth %ld KiB), heap in use %ld KiB "
      "(growth %ld KiB)\n",
      descriptorsAtStart, descriptorsAtEnd, rssAfterWarmUp / 1024,
      (rssAtEnd - rssAfterWarmUp) / 1024, heapAfterWarmUp / 1024, growth / 1024);
  std::printf("longest call %.2f s (bound %.1f s: CallTimeout %d s and %.1f s slack)\n",
              total.longestSeconds, bound, kCallSeconds, kCallSlackSeconds);
  bool ok = true;
  ok &=
      Check(total.calls > 0 && total.accepted > 0, "calls made, some accepted by the good server");
  ok &= Check(everyServerReached, "every server reached");
  ok &= Check(total.unexpected == 0, "every result 9999 or 1012");
  ok &= Check(descriptorsAtEnd == descriptorsAtStart, "open descriptors as at the start");
  if (kSanitized) {
    std::printf("  %-58s %s\n", "heap growth (not judged under a sanitizer)", "-");
  } else {
    ok &= Check(growth < kMaxHeapGrowthBytes, "heap in use after warm-up grows under 1 MiB");
  }
  ok &= Check(brokenEntries == 0 && logged.entries > 0, "every log entry whole");
  if (tls) {
    ok &= Check(logged.tlsErrors >= handshakeFailures && handshakeFailures > 0,
                "every failed handshake logged as a TLS error");
    ok &= Check(total.forbidden == 0, "nothing accepted from a server whose TLS is wrong");
  }
  if (keep) {
    std::printf("good server: %ld connections, %ld replies that kept them\n", goodConnections,
                goodKeptReplies);
    ok &= Check(goodKeptReplies > goodConnections,
                "the good server answered more calls than connections");
  }
  ok &= Check(total.brokenBuffers == 0, "no buffer written outside the rules or its bounds");
  ok &= Check(total.longestSeconds <= bound, "longest call within the configured bound");
  std::printf("soak %s\n", ok ? "passed" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace zcv::soak

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  bool tls = false, keep = false, wrong = seconds < 1;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tls") == 0) {
      tls = true;
    } else if (std::strcmp(argv[i], "--keep-alive") == 0) {
      keep = true;
    } else {
      wrong = true;
    }
  }
  if (wrong) {
    std::fprintf(stderr, "usage: %s [seconds [--tls] [--keep-alive]]\n", argv[0]);
    return 2;
  }
  return zcv::soak::Soak(seconds, tls, keep);
}
