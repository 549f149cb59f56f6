// The simulator's HTTP/1.1 server on loopback, plain or over TLS: serves the
// pages of a TokenService and injects faults on demand for failover tests
// and demos.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "zcvsim/token_service.h"

namespace zcv::sim {

// Shares are fractions from 0 to 1 of connections (refuse, reset) or of
// requests (malformed, truncated). They are applied deterministically: a
// share of 0.5 hits every second one, so tests need no random luck.
struct FaultPlan {
  double refuse_share = 0;     // closed at once, without a reply
  double reset_share = 0;      // closed with a reset
  double malformed_share = 0;  // reply document cut in half: not well-formed
  double truncated_share = 0;  // Content-Length promises more than is sent
  int delay_ms = 0;            // wait before reading each request
};

// Fires on exactly `share` of the events counted so far (rounded down).
class ShareCounter {
 public:
  bool Next(double share);

 private:
  std::atomic<std::uint64_t> count_{0};
};

class SimServer {
 public:
  explicit SimServer(TokenService& service);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds host:port (port 0 picks a free one) and serves on a thread of its
  // own. Returns the port, or -1 when it cannot bind.
  int Start(const std::string& host, int port);
  // Stops serving and joins the thread; safe to call twice.
  void Stop();

  // Serves over TLS with the certificate (PEM, the chain may follow) and
  // private key of these files; set before Start. False, with `*error`
  // set, when they cannot be loaded or do not belong together.
  bool SetTls(const std::string& certificate_file, const std::string& key_file, std::string* error);

  // Receives one line per request ("page verdict"); set before Start.
  void SetRequestLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

  void SetFaults(const FaultPlan& faults);
  FaultPlan Faults() const;

  // Requests that reached the page handler, and connections accepted.
  std::uint64_t RequestCount() const { return requests_; }
  std::uint64_t ConnectionCount() const { return connections_; }

 private:
  class Http;
  struct Tls;
  enum class ConnectionFault { kNone, kRefuse, kReset };
  ConnectionFault NextConnectionFault(int* delay_ms);

  TokenService& service_;
  std::unique_ptr<Tls> tls_;  // none: plain HTTP
  std::unique_ptr<Http> http_;
  std::thread thread_;
  std::function<void(const std::string&)> log_;
  mutable std::mutex faults_mutex_;
  FaultPlan faults_;
  ShareCounter refuse_, reset_, malformed_, truncated_;
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint64_t> connections_{0};
};

}  // namespace zcv::sim
