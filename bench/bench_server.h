// BenchServer: a lean loopback HTTP server for the benchmarks. It answers
// every connection with one fixed reply, so that the clients it serves are
// measured rather than the server.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zcv::bench {

// The reply of an accepted authentication: 110 bytes of XML.
extern const char kAuthReplyBody[];

class BenchServer {
 public:
  // Listens on 127.0.0.1 at a port of the system's choice, with `workers`
  // threads taking connections: each reads one request head, sends `reply`
  // and closes.
  BenchServer(std::string reply, int workers);
  ~BenchServer();
  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  std::uint16_t port() const { return port_; }

 private:
  void Serve();
  void Answer(int socket) const;

  std::string reply_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;
};

}  // namespace zcv::bench
