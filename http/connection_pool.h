// HttpConnectionPool: a client's idle kept connections, per server, for
// KeepAlive. A connection is put back only after a reply read whole that
// neither asked for "close" nor ran until the close; it is handed out
// again only while it is younger than the idle limit, made by this
// process, and neither closed by the server nor holding bytes nobody asked
// for. Safe for many threads; no lock is held while anything is waited on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "http/connection.h"

namespace zcv {

// The most idle connections kept for one server.
constexpr std::size_t kMaxIdlePerServer = 16;

class HttpConnectionPool {
 public:
  // `clock` gives the milliseconds idle times are measured on.
  explicit HttpConnectionPool(std::int64_t (*clock)());
  // Closes every idle connection.
  ~HttpConnectionPool();
  HttpConnectionPool(const HttpConnectionPool&) = delete;
  HttpConnectionPool& operator=(const HttpConnectionPool&) = delete;

  // The most recently kept connection to `server` fit for use, or null.
  // Those idle longer than `idleMs`, made before a fork, or found closed
  // or readable (checked without waiting) are closed on the way.
  std::unique_ptr<HttpConnection> Take(const std::string& server, std::int64_t idleMs);
  // Keeps `connection` idle for `server`; beyond kMaxIdlePerServer the
  // oldest is closed.
  void Give(const std::string& server, std::unique_ptr<HttpConnection> connection);
  // Closes every idle connection.
  void Clear();

 private:
  struct Idle {
    std::unique_ptr<HttpConnection> connection;
    std::int64_t sinceMs = 0;
  };

  std::int64_t (*clock_)();
  std::mutex mutex_;
  std::map<std::string, std::vector<Idle>> idle_;  // under mutex_
};

}  // namespace zcv
