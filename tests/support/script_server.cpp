// One acceptor thread and one thread per connection; every blocking wait
// also watches a wake-up pipe that Stop() makes readable, so Stop() is
// bounded however the scripts behave.
#include "tests/support/script_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <utility>

namespace zcv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxRecordedHead = 64 * 1024;
constexpr auto kHeadReadLimit = std::chrono::seconds(2);
// How long a closing connection waits for the client to finish sending.
constexpr auto kDrainLimit = std::chrono::seconds(1);
constexpr int kBacklog = 128;

enum class Wait { kReady, kTimedOut, kStopped };

// Waits for `events` on `socket` (or only for the wake-up when socket is
// -1) until `deadline`; Clock::time_point::max() waits without limit.
Wait WaitFor(int socket, short events, int wake, Clock::time_point deadline) {
  for (;;) {
    int timeout = -1;
    if (deadline != Clock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      timeout = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd entries[2] = {{wake, POLLIN, 0}, {socket, events, 0}};
    const int result = ::poll(entries, socket < 0 ? 1 : 2, timeout);
    if (result < 0 && errno == EINTR) continue;
    if (result < 0 || (entries[0].revents & POLLIN)) return Wait::kStopped;
    if (result == 0) return Wait::kTimedOut;
    return Wait::kReady;
  }
}

Clock::time_point After(std::chrono::milliseconds span) { return Clock::now() + span; }

bool SendAll(int socket, const std::string& bytes, int wake) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (WaitFor(socket, POLLOUT, wake, Clock::time_point::max()) != Wait::kReady) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Reads until the head's blank line, the size bound, the time bound, the
// client closing, or Stop().
std::string ReadHead(int socket, int wake) {
  std::string head;
  const Clock::time_point deadline = Clock::now() + kHeadReadLimit;
  char chunk[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRecordedHead) {
    if (WaitFor(socket, POLLIN, wake, deadline) != Wait::kReady) break;
    const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    head.append(chunk, static_cast<std::size_t>(n));
  }
  return head;
}

// An orderly close: the FIN goes out first, then the client's remaining
// bytes are drained so that closing does not turn into a reset.
void CloseGracefully(int socket, int wake) {
  ::shutdown(socket, SHUT_WR);
  const Clock::time_point deadline = Clock::now() + kDrainLimit;
  char chunk[4096];
  while (WaitFor(socket, POLLIN, wake, deadline) == Wait::kReady) {
    const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
  }
  ::close(socket);
}

void CloseAbortively(int socket) {
  const linger abort_linger{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort_linger, sizeof abort_linger);
  ::close(socket);
}

[[noreturn]] void Die(const char* what) {
  throw std::runtime_error(std::string("ScriptServer: ") + what + " failed");
}

}  // namespace

Step Send(std::string bytes) { return Step{Step::Kind::kSend, std::move(bytes), 0}; }
Step Pause(int millis) { return Step{Step::Kind::kPause, {}, millis}; }
Step Close() { return Step{Step::Kind::kClose, {}, 0}; }
Step Reset() { return Step{Step::Kind::kReset, {}, 0}; }
Step Hang() { return Step{Step::Kind::kHang, {}, 0}; }

std::string HttpReply(std::string_view body, int status) {
  return "HTTP/1.1 " + std::to_string(status) +
         " OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         std::string(body);
}

Script Trickle(std::string_view bytes, std::size_t piece, int millis) {
  Script script;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    script.push_back(Send(std::string(bytes.substr(at, piece))));
    script.push_back(Pause(millis));
  }
  return script;
}

ScriptServer::ScriptServer(Script script, HeadRead head_read)
    : responder_([script = std::move(script)](const std::string&) { return script; }),
      head_read_(head_read) {
  Start();
}

ScriptServer::ScriptServer(std::function<Script(const std::string&)> responder, HeadRead head_read)
    : responder_(std::move(responder)), head_read_(head_read) {
  Start();
}

ScriptServer::~ScriptServer() { Stop(); }

void ScriptServer::Start() {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) Die("pipe2");
  wake_read_ = wake[0];
  wake_write_ = wake[1];
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) Die("socket");
  const int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Die("bind");
  if (::listen(listener_, kBacklog) != 0) Die("listen");
  socklen_t length = sizeof address;
  if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Die("getsockname");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&ScriptServer::AcceptLoop, this);
}

void ScriptServer::AcceptLoop() {
  while (WaitFor(listener_, POLLIN, wake_read_, Clock::time_point::max()) == Wait::kReady) {
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (socket < 0) continue;
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t index = requests_.size();
    requests_.emplace_back();
    workers_.emplace_back(&ScriptServer::Serve, this, socket, index);
    accepted_.notify_all();
  }
}

void ScriptServer::Serve(int socket, std::size_t index) {
  std::string head;
  if (head_read_ == HeadRead::kRead) {
    head = ReadHead(socket, wake_read_);
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[index] = head;
  }
  for (const Step& step : responder_(head)) {
    switch (step.kind) {
      case Step::Kind::kSend:
        if (!SendAll(socket, step.bytes, wake_read_)) {
          ::close(socket);
          return;
        }
        break;
      case Step::Kind::kPause:
        if (WaitFor(-1, 0, wake_read_, After(std::chrono::milliseconds(step.millis))) ==
            Wait::kStopped) {
          ::close(socket);
          return;
        }
        break;
      case Step::Kind::kClose:
        CloseGracefully(socket, wake_read_);
        return;
      case Step::Kind::kReset:
        CloseAbortively(socket);
        return;
      case Step::Kind::kHang:
        WaitFor(-1, 0, wake_read_, Clock::time_point::max());
        ::close(socket);
        return;
    }
  }
  CloseGracefully(socket, wake_read_);
}

std::uint16_t ScriptServer::port() const { return port_; }

std::vector<std::string> ScriptServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> ScriptServer::paths() const {
  std::vector<std::string> paths;
  for (const std::string& request : requests()) {
    const std::string line = request.substr(0, request.find("\r\n"));
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    paths.push_back(second == std::string::npos ? std::string()
                                                : line.substr(first + 1, second - first - 1));
  }
  return paths;
}

int ScriptServer::connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(requests_.size());
}

bool ScriptServer::WaitForConnections(int n, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return accepted_.wait_for(lock, limit, [&] { return static_cast<int>(requests_.size()) >= n; });
}

void ScriptServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  const char wake = 'x';
  while (::write(wake_write_, &wake, 1) < 0 && errno == EINTR) {
  }
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  ::close(listener_);
  ::close(wake_read_);
  ::close(wake_write_);
}

std::uint16_t UnusedPort() {
  // A bound socket that never listens: connections to its port are refused,
  // and no other program can take the port while the test process runs.
  struct Holder {
    int socket = -1;
    std::uint16_t port = 0;
    Holder() {
      socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t length = sizeof address;
      if (socket < 0 ||
          ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Die("reserving a port");
      }
      port = ntohs(address.sin_port);
    }
    ~Holder() { ::close(socket); }
  };
  static const Holder holder;
  return holder.port;
}

}  // namespace zcv::test
