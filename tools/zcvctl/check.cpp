// zcvctl check: the file through the library's own reader, then each server
// through the platform layer the library dials with, step by step, with
// every address of its name and how the connect to it fared.
#include "zcvctl/check.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/connector.h"
#include "platform/resolver.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "platform/transport.h"
#include "service/client.h"
#include "zcvctl/utf8_text.h"

namespace zcv::ctl {
namespace {

constexpr std::int64_t kMillisPerSecond = 1000;

// One step of reaching a server: whether it worked, its time, and a note.
struct Step {
  explicit Step(const char* stepName) : name(stepName) {}
  const char* name;
  bool ok = false;
  double ms = 0;
  std::string note;
};

// One address of the server's name (or its one address) and how the
// connect to it fared.
struct AddressReport {
  std::string address;
  const char* family;
  std::string outcome;
};

struct ServerReport {
  std::string ip;
  std::string port;
  std::vector<Step> steps;
  std::vector<AddressReport> addresses;
  bool reached = false;
};

class Stopwatch {
 public:
  double ms() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::string ErrorText(int error) {
  char buffer[128];
  return platform::ErrorNumberText(error, buffer, sizeof buffer);
}

std::string AddressText(const platform::IpAddress& address) {
  char text[platform::kIpTextBytes];
  return platform::FormatIpAddress(address, text, sizeof text);
}

std::string OutcomeText(const platform::ConnectTry& tried) {
  switch (tried.outcome) {
    case platform::TryOutcome::kConnected:
      return "connected";
    case platform::TryOutcome::kFailed:
      return ErrorText(tried.error);
    case platform::TryOutcome::kTimedOut:
      return "timed out";
    case platform::TryOutcome::kAbandoned:
      return "abandoned (another address connected first)";
    case platform::TryOutcome::kNotTried:
      break;
  }
  return "not tried";
}

// Closes the socket when the check of a server ends, after its transport.
struct SocketCloser {
  platform::SocketHandle socket = platform::kNoSocket;
  ~SocketCloser() {
    if (socket != platform::kNoSocket) platform::CloseSocket(socket);
  }
};

// Drives the handshake to its end. A peer that closes instead of finishing
// it has not been reached, whatever the transport made of the close.
bool Handshake(platform::Transport& transport, platform::SocketHandle socket, std::int64_t deadline,
               Step* step) {
  for (;;) {
    const platform::TransferResult result = transport.Start();
    if (result.error != 0) {
      step->note = result.reason != nullptr ? result.reason : ErrorText(result.error);
      return false;
    }
    if (result.closed) {
      step->note = "closed during the handshake";
      return false;
    }
    if (result.want == platform::Want::kNothing) return true;
    const int ready = result.want == platform::Want::kReadable
                          ? platform::WaitReadable(socket, deadline)
                          : platform::WaitWritable(socket, deadline);
    if (ready != 1) {
      step->note = "timed out";
      return false;
    }
  }
}

ServerReport CheckServer(const ServerEntry& server, const AttemptTimeouts& timeouts,
                         platform::TlsContext* tls, platform::Resolver& resolver,
                         platform::AddressFamily family) {
  ServerReport report{server.ip, server.port, {}, {}, false};
  const std::int64_t connectMs = std::int64_t{timeouts.connect} * kMillisPerSecond;

  Step lookup{"lookup"};
  Stopwatch lookupTime;
  std::vector<platform::IpAddress> addresses(1);
  if (!platform::ParseIpAddress(server.ip, &addresses[0])) {
    const platform::NetStatus found = resolver.Lookup(
        server.ip, family, platform::MonotonicMilliseconds() + connectMs, &addresses);
    lookup.ok = found.ok();
    lookup.note = found.reason();
  } else {
    lookup.ok = platform::FamilyAllows(family, addresses[0]);
    lookup.note = lookup.ok ? "an address, not looked up" : "address not of AddressFamily";
  }
  lookup.ms = lookupTime.ms();
  report.steps.push_back(lookup);
  if (!lookup.ok) return report;
  platform::InterleaveFamilies(&addresses);
  const auto port = static_cast<std::uint16_t>(std::atoi(server.port));

  Step connect{"connect"};
  Stopwatch connectTime;
  SocketCloser closer;
  std::vector<platform::ConnectTry> tries;
  const platform::NetStatus connected =
      platform::ConnectFirst(addresses.data(), addresses.size(), port,
                             platform::MonotonicMilliseconds() + connectMs, &closer.socket, &tries);
  connect.ok = connected.ok();
  connect.ms = connectTime.ms();
  for (const platform::ConnectTry& tried : tries) {
    report.addresses.push_back(
        {AddressText(tried.address), tried.address.v6 ? "ipv6" : "ipv4", OutcomeText(tried)});
  }
  if (!connect.ok) connect.note = connected.reason();
  report.steps.push_back(connect);
  if (!connect.ok || tls == nullptr) {
    report.reached = connect.ok;
    return report;
  }

  Step handshake{"tls"};
  Stopwatch handshakeTime;
  std::unique_ptr<platform::Transport> transport =
      platform::MakeTlsTransport(closer.socket, *tls, server.ip, port);
  handshake.ok = Handshake(*transport, closer.socket, platform::MonotonicMilliseconds() + connectMs,
                           &handshake);
  handshake.ms = handshakeTime.ms();
  platform::TlsPeer peer;
  if (handshake.ok && !platform::DescribeTlsPeer(*transport, &peer)) {
    // A handshake that ends without the server's certificate proved nothing.
    handshake.ok = false;
    handshake.note = "no certificate from the server";
  } else if (handshake.ok) {
    handshake.note = std::string("name ") + server.ip + " verified, certificate " +
                     std::to_string(peer.daysLeft) + " days left, " +
                     (peer.pinned ? "pin matched" : "no pins set");
  }
  report.steps.push_back(handshake);
  report.reached = handshake.ok;
  return report;
}

// What the file gave: whether it was accepted and every problem found.
struct FileReport {
  bool accepted;
  ConfigFindings problems;
  std::string refusal;  // why it was not accepted
};

// A configuration message (a finding's log line, GBK) in UTF-8, without its
// line end.
std::string Message(const std::string& gbk) {
  const std::size_t end = gbk.find_last_not_of(" \r\n");
  return MessageText(gbk.substr(0, end == std::string::npos ? 0 : end + 1));
}

std::string Message(const ConfigFinding& finding) { return Message(finding.message); }

// Everything in UTF-8: the messages converted, any other byte that is not
// UTF-8 (the path, the system's texts) replaced.
void PrintText(std::ostream& os, const std::string& path, const FileReport& file,
               const std::vector<ServerReport>& servers) {
  std::ostringstream out;
  out << "configuration " << path << ": "
      << (file.accepted ? "accepted" : "refused: " + Message(file.refusal)) << "\n";
  for (const ConfigFinding& problem : file.problems) {
    out << "  " << (problem.fatal ? "error" : "warning");
    if (problem.line > 0) out << " (line " << problem.line << ")";
    out << ": " << Message(problem) << "\n";
  }
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const ServerReport& s = servers[i];
    out << "server " << i << " " << s.ip << ":" << s.port << ": "
        << (s.reached ? "reached" : "NOT reached") << "\n";
    for (const Step& step : s.steps) {
      char ms[32];
      std::snprintf(ms, sizeof ms, "%.1f ms", step.ms);
      out << "  " << step.name << " " << (step.ok ? "ok" : "FAILED") << " " << ms;
      if (!step.note.empty()) out << "  " << step.note;
      out << "\n";
      if (std::string(step.name) != "connect") continue;
      for (const AddressReport& address : s.addresses) {
        out << "    " << address.family << " " << address.address << "  " << address.outcome
            << "\n";
      }
    }
  }
  os << ValidUtf8(out.str());
}

void PrintJson(std::ostream& out, const std::string& path, const FileReport& file,
               const std::vector<ServerReport>& servers) {
  nlohmann::ordered_json report;
  report["config"] = path;
  report["accepted"] = file.accepted;
  if (!file.accepted) report["refusal"] = Message(file.refusal);
  nlohmann::ordered_json problems = nlohmann::ordered_json::array();
  for (const ConfigFinding& problem : file.problems) {
    problems.push_back(
        {{"line", problem.line}, {"fatal", problem.fatal}, {"message", Message(problem)}});
  }
  report["problems"] = std::move(problems);
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ServerReport& s : servers) {
    nlohmann::ordered_json server;
    server["ip"] = s.ip;
    server["port"] = s.port;
    server["reached"] = s.reached;
    for (const Step& step : s.steps) {
      server[step.name] = {{"ok", step.ok}, {"ms", step.ms}, {"note", step.note}};
    }
    nlohmann::ordered_json addresses = nlohmann::ordered_json::array();
    for (const AddressReport& address : s.addresses) {
      addresses.push_back(
          {{"address", address.address}, {"family", address.family}, {"outcome", address.outcome}});
    }
    server["addresses"] = std::move(addresses);
    list.push_back(std::move(server));
  }
  report["servers"] = std::move(list);
  // The messages are UTF-8 already; the path may hold bytes that are not.
  out << report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace

int RunCheck(const std::string& configPath, bool json, std::ostream& out) {
  ClientOptions options;
  options.configPath = configPath;
  Client client(options);
  const ServerList& list = client.context().servers;
  // Refused as zcv_client_open refuses it, a list of no servers included.
  FileReport file{client.Refusal().empty(), client.configFindings(), client.Refusal()};
  std::vector<ServerReport> servers;
  for (int i = 0; file.accepted && i < list.count(); ++i) {
    servers.push_back(CheckServer(list.At(i), list.timeouts(), list.tls(),
                                  *client.context().resolver, list.addressFamily()));
  }
  if (json) {
    PrintJson(out, configPath, file, servers);
  } else {
    PrintText(out, configPath, file, servers);
  }
  if (!file.accepted) return 2;
  for (const ServerReport& s : servers) {
    if (!s.reached) return 1;
  }
  return 0;
}

}  // namespace zcv::ctl
