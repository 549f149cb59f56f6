// One thread per connection; each reads heads and answers them until the
// client closes, a switch ends the connection, or Stop().
#include "tests/support/keep_alive_server.h"

#include <chrono>

#include "tests/support/test_socket.h"

namespace zcv::test {
namespace {

using net::Clock;
using net::Readiness;
using net::Wait;

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr auto kWaitLimit = std::chrono::seconds(10);

bool SendAll(int socket, std::string bytes, int wake) {
  std::string_view left = bytes;
  while (!left.empty()) {
    const long n = net::SendSome(socket, left);
    if (n > 0) {
      left.remove_prefix(static_cast<std::size_t>(n));
    } else if (n != net::kAgain || net::WaitFor(socket, Readiness::kWritable, wake,
                                                Clock::now() + kWaitLimit) != Wait::kReady) {
      return false;
    }
  }
  return true;
}

}  // namespace

KeepAliveServer::KeepAliveServer(KeepAliveOptions options)
    : options_(std::move(options)), loop_("KeepAliveServer", mutex_) {
  loop_.Start([this](int socket, std::vector<std::thread>& workers) {
    ++connections_;
    workers.emplace_back(&KeepAliveServer::Serve, this, socket);
  });
}

KeepAliveServer::~KeepAliveServer() { loop_.Stop(); }

std::vector<std::string> KeepAliveServer::requests() const {
  std::lock_guard<std::mutex> lock(requestsMutex_);
  return requests_;
}

void KeepAliveServer::Serve(int socket) {
  int answered = 0;
  std::string buffered;
  char chunk[4096];
  for (;;) {
    const std::size_t end = buffered.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (buffered.size() > kMaxHead) break;
      const auto idle = options_.closeIdleAfterMs > 0
                            ? Clock::now() + std::chrono::milliseconds(options_.closeIdleAfterMs)
                            : Clock::now() + kWaitLimit;
      if (net::WaitFor(socket, Readiness::kReadable, loop_.wake(), idle) != Wait::kReady) break;
      const long n = net::ReceiveSome(socket, chunk, sizeof chunk);
      if (n == net::kAgain) continue;
      if (n <= 0) break;
      buffered.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(requestsMutex_);
      requests_.push_back(buffered.substr(0, end + 4));
    }
    buffered.erase(0, end + 4);
    if (options_.answersPerConnection > 0 && answered++ == options_.answersPerConnection) break;
    std::string reply = "HTTP/1.1 200 OK\r\n";
    if (options_.sayClose) reply += "Connection: close\r\n";
    if (options_.chunked) {
      char size[16];
      std::snprintf(size, sizeof size, "%zx", options_.body.size());
      reply += "Transfer-Encoding: chunked\r\n\r\n" + std::string(size) + "\r\n" + options_.body +
               "\r\n0\r\n\r\n";
    } else {
      reply += "Content-Length: " + std::to_string(options_.body.size()) + "\r\n\r\n" +
               options_.body + options_.beyond;
    }
    if (!SendAll(socket, reply, loop_.wake())) break;
    if (options_.sayClose || options_.closeSilently) break;
  }
  net::CloseSocket(socket);
  std::lock_guard<std::mutex> lock(requestsMutex_);
  ++endedCount_;
  ended_.notify_all();
}

bool KeepAliveServer::WaitForEnded(int count, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(requestsMutex_);
  return ended_.wait_for(lock, limit, [&] { return endedCount_ >= count; });
}

}  // namespace zcv::test
