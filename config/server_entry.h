// One configured server: the fixed-size IP and port texts the list holds.
#pragma once

namespace zcv {

constexpr int kMaxServers = 10;
constexpr int kServerIPBytes = 30;   // 28 characters kept, NUL-padded
constexpr int kServerPortBytes = 7;  // 5 characters kept, NUL-padded

// One server: its IP (or host name) text and its decimal port text.
struct ServerEntry {
  char ip[kServerIPBytes] = {};
  char port[kServerPortBytes] = {};
};

bool SameServer(const ServerEntry& a, const ServerEntry& b);

}  // namespace zcv
