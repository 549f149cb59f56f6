// KeepAliveServer: a loopback server that answers request after request on
// each connection, as a server honouring kept connections does, with the
// ways such a server ends a connection as switches. Stopped and joined on
// destruction.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/accept_loop.h"

namespace zcv::test {

struct KeepAliveOptions {
  std::string body;              // every reply's body, framed by Content-Length
  bool chunked = false;          // frame it chunked instead
  bool sayClose = false;         // each reply carries "Connection: close" and ends it
  bool closeSilently = false;    // ends each connection after its reply, saying nothing
  int closeIdleAfterMs = 0;      // ends a connection idle this long; 0 never
  int answersPerConnection = 0;  // then one more request is read and left unanswered; 0 no limit
  std::string beyond{};          // sent with each reply, past its Content-Length
};

class KeepAliveServer {
 public:
  explicit KeepAliveServer(KeepAliveOptions options);
  ~KeepAliveServer();
  KeepAliveServer(const KeepAliveServer&) = delete;
  KeepAliveServer& operator=(const KeepAliveServer&) = delete;

  std::uint16_t port() const { return loop_.port(); }
  int connections() const { return connections_.load(); }
  // Every request head received, in order of arrival.
  std::vector<std::string> requests() const;
  // Waits, at most `limit`, until `count` connections have been ended by
  // the server or the client; whether they were.
  bool WaitForEnded(int count, std::chrono::milliseconds limit);

 private:
  void Serve(int socket);

  const KeepAliveOptions options_;
  std::mutex mutex_;
  AcceptLoop loop_;
  std::atomic<int> connections_{0};
  mutable std::mutex requestsMutex_;
  std::condition_variable ended_;
  int endedCount_ = 0;  // under requestsMutex_
  std::vector<std::string> requests_;
};

}  // namespace zcv::test
