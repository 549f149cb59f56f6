// Taking and keeping idle connections.
#include "http/connection_pool.h"

#include <utility>

#include "platform/process.h"
#include "platform/socket.h"

namespace zcv {
namespace {

// A connection of another process is only closed here, never finished: a
// TLS close would end the parent's session.
void Discard(HttpConnection* connection, bool ours) {
  if (!ours) connection->replyComplete = false;
  HttpConnectionClose(connection);
}

// Closed by the server, or holding bytes of no request: read ahead by TLS,
// or readable at once.
bool Quiet(const HttpConnection& connection) {
  return connection.socket != platform::kNoSocket && connection.transport &&
         !connection.transport->Buffered() && platform::SocketIsQuiet(connection.socket);
}

}  // namespace

HttpConnectionPool::HttpConnectionPool(std::int64_t (*clock)()) : clock_(clock) {}

HttpConnectionPool::~HttpConnectionPool() { Clear(); }

std::unique_ptr<HttpConnection> HttpConnectionPool::Take(const std::string& server,
                                                         std::int64_t idleMs) {
  const unsigned long self = platform::CurrentProcessId();
  for (;;) {
    Idle idle;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = idle_.find(server);
      if (found == idle_.end() || found->second.empty()) return nullptr;
      idle = std::move(found->second.back());
      found->second.pop_back();
    }
    const bool ours = idle.connection->owner == self;
    if (ours && clock_() - idle.sinceMs <= idleMs && Quiet(*idle.connection)) {
      return std::move(idle.connection);
    }
    Discard(idle.connection.get(), ours);
  }
}

void HttpConnectionPool::Give(const std::string& server,
                              std::unique_ptr<HttpConnection> connection) {
  // One taken from the pool keeps the owner Take() matched against this
  // process; a new one is this process's.
  if (connection->owner == 0) connection->owner = platform::CurrentProcessId();
  const unsigned long self = connection->owner;
  Idle oldest;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Idle>& kept = idle_[server];
    if (kept.size() == kMaxIdlePerServer) {
      oldest = std::move(kept.front());
      kept.erase(kept.begin());
    }
    kept.push_back({std::move(connection), clock_()});
  }
  if (oldest.connection) Discard(oldest.connection.get(), oldest.connection->owner == self);
}

void HttpConnectionPool::Clear() {
  std::map<std::string, std::vector<Idle>> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(idle_);
  }
  const unsigned long self = platform::CurrentProcessId();
  for (auto& [server, kept] : all) {
    for (Idle& idle : kept) Discard(idle.connection.get(), idle.connection->owner == self);
  }
}

}  // namespace zcv
