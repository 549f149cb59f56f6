// zcvctl --repeat: the calls, their results, the connections the process
// kept between them and the time spent in them. The kept connections are
// the TCP sockets among the process's descriptors after each call, read
// from /proc: a connection closed within its call is never among them.
#include "zcvctl/repeat.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "zcvctl/report.h"

namespace zcv::ctl {
namespace {

namespace fs = std::filesystem;

// The inodes of the TCP sockets in the process's network namespace.
std::set<std::string> TcpInodes() {
  std::set<std::string> inodes;
  for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the column names
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string field;
      for (int i = 0; i < 10 && fields >> field; ++i) {
      }
      if (fields) inodes.insert(field);
    }
  }
  return inodes;
}

// The inodes of the sockets among the process's descriptors, or nothing
// when they cannot be listed.
std::optional<std::set<std::string>> HeldSockets() {
  std::error_code error;
  fs::directory_iterator fds("/proc/self/fd", error);
  if (error) return std::nullopt;
  std::set<std::string> sockets;
  for (const fs::directory_entry& fd : fds) {
    const std::string target = fs::read_symlink(fd.path(), error).string();
    // "socket:[12345]"
    if (error || target.rfind("socket:[", 0) != 0 || target.back() != ']') continue;
    sockets.insert(target.substr(8, target.size() - 9));
  }
  return sockets;
}

double Micros(std::clock_t ticks) {
  return static_cast<double>(ticks) * 1e6 / static_cast<double>(CLOCKS_PER_SEC);
}

double PerCall(double micros, long calls) { return calls > 0 ? micros / calls : 0; }

}  // namespace

RepeatSummary Repeat(const Operation& op, Call& call, long count) {
  RepeatSummary summary;
  std::set<std::string> seen;  // sockets held after some call
  std::set<std::string> tcp;   // those of them that are TCP sockets
  bool listed = true;
  std::vector<double> walls;
  for (long i = 0; i < count; ++i) {
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    const ResultCode code = op.invoke(call);
    const auto wallEnd = std::chrono::steady_clock::now();
    const std::clock_t cpuEnd = std::clock();
    summary.cpuMicros += Micros(cpuEnd - cpuStart);
    walls.push_back(std::chrono::duration<double, std::micro>(wallEnd - wallStart).count());
    summary.wallMicros += walls.back();
    ++summary.calls;
    ++summary.results[code];
    if (!listed) continue;
    std::optional<std::set<std::string>> held = HeldSockets();
    listed = held.has_value();
    if (!held) continue;
    // The system's TCP table, which may be long, is read only when a
    // socket not seen before is held: a kept connection is classified once.
    bool fresh = false;
    for (const std::string& inode : *held) fresh |= seen.insert(inode).second;
    if (!fresh) continue;
    const std::set<std::string> system = TcpInodes();
    for (const std::string& inode : *held) {
      if (system.count(inode) != 0) tcp.insert(inode);
    }
  }
  if (listed) summary.keptConnections = static_cast<long>(tcp.size());
  if (!walls.empty()) {
    std::nth_element(walls.begin(), walls.begin() + walls.size() / 2, walls.end());
    summary.wallMedianMicros = walls[walls.size() / 2];
  }
  return summary;
}

int RepeatExitStatus(const RepeatSummary& summary) {
  int status = kExitAccepted;
  for (const auto& [code, calls] : summary.results) {
    const int each = ExitStatus(code);
    if (each == kExitNoAnswer || (each == kExitVerdict && status == kExitAccepted)) status = each;
  }
  return status;
}

void PrintRepeatText(std::ostream& os, const Operation& op, const RepeatSummary& summary) {
  os << op.function << ": " << summary.calls << " calls\n";
  for (const auto& [code, calls] : summary.results) {
    os << "  " << code << " (" << ResultMeaning(code) << ")  " << calls << "\n";
  }
  char line[96];
  if (summary.keptConnections) {
    std::snprintf(line, sizeof line, "  %-15s %ld\n", "kept conns", *summary.keptConnections);
  } else {
    std::snprintf(line, sizeof line, "  %-15s %s\n", "kept conns", "unknown");
  }
  os << line;
  std::snprintf(line, sizeof line, "  %-15s %.1f us\n", "cpu per call",
                PerCall(summary.cpuMicros, summary.calls));
  os << line;
  std::snprintf(line, sizeof line, "  %-15s %.1f us\n", "wall per call",
                PerCall(summary.wallMicros, summary.calls));
  os << line;
  std::snprintf(line, sizeof line, "  %-15s %.1f us\n", "wall median", summary.wallMedianMicros);
  os << line;
}

void PrintRepeatJson(std::ostream& os, const Operation& op, const RepeatSummary& summary) {
  nlohmann::ordered_json results = nlohmann::ordered_json::object();
  for (const auto& [code, calls] : summary.results) results[std::to_string(code)] = calls;
  nlohmann::ordered_json report = {
      {"operation", op.function}, {"calls", summary.calls}, {"results", std::move(results)}};
  if (summary.keptConnections) {
    report["keptConnections"] = *summary.keptConnections;
  } else {
    report["keptConnections"] = nullptr;
  }
  report["cpuMicrosPerCall"] = PerCall(summary.cpuMicros, summary.calls);
  report["wallMicrosPerCall"] = PerCall(summary.wallMicros, summary.calls);
  report["wallMedianMicros"] = summary.wallMedianMicros;
  os << report.dump() << '\n';
}

}  // namespace zcv::ctl
