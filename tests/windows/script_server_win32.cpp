// ScriptServer over Windows Sockets for the Windows test build: one
// acceptor thread and one thread per connection, every blocking wait also
// watching a wake-up connection that Stop() makes readable.
#include <winsock2.h>

#include <stdexcept>
#include <utility>

#include "tests/support/script_server.h"
#include "tests/windows/loopback_pair.h"

namespace zcv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxRecordedHead = 64 * 1024;
constexpr auto kHeadReadLimit = std::chrono::seconds(2);
constexpr auto kDrainLimit = std::chrono::seconds(1);
constexpr int kBacklog = 128;
constexpr long kMicrosPerMilli = 1000;

enum class Wait { kReady, kTimedOut, kStopped };
enum class Event { kNone, kRead, kWrite };

SOCKET Native(int socket) { return static_cast<SOCKET>(socket); }

Wait WaitFor(int socket, Event event, int wake, Clock::time_point deadline) {
  fd_set read, write;
  FD_ZERO(&read);
  FD_ZERO(&write);
  FD_SET(Native(wake), &read);
  if (event == Event::kRead) FD_SET(Native(socket), &read);
  if (event == Event::kWrite) FD_SET(Native(socket), &write);
  timeval limit{};
  timeval* limitPointer = nullptr;
  if (deadline != Clock::time_point::max()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const long millis = left > 0 ? static_cast<long>(left) : 0;
    limit.tv_sec = millis / 1000;
    limit.tv_usec = (millis % 1000) * kMicrosPerMilli;
    limitPointer = &limit;
  }
  const int result = ::select(0, &read, &write, nullptr, limitPointer);
  if (result < 0 || FD_ISSET(Native(wake), &read)) return Wait::kStopped;
  return result == 0 ? Wait::kTimedOut : Wait::kReady;
}

Clock::time_point After(std::chrono::milliseconds span) { return Clock::now() + span; }

bool SendAll(int socket, const std::string& bytes, int wake) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int n =
        ::send(Native(socket), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (WaitFor(socket, Event::kWrite, wake, Clock::time_point::max()) != Wait::kReady) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

std::string ReadHead(int socket, int wake) {
  std::string head;
  const Clock::time_point deadline = Clock::now() + kHeadReadLimit;
  char chunk[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRecordedHead) {
    if (WaitFor(socket, Event::kRead, wake, deadline) != Wait::kReady) break;
    const int n = ::recv(Native(socket), chunk, sizeof chunk, 0);
    if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) break;
    head.append(chunk, static_cast<std::size_t>(n));
  }
  return head;
}

void CloseGracefully(int socket, int wake) {
  ::shutdown(Native(socket), SD_SEND);
  const Clock::time_point deadline = Clock::now() + kDrainLimit;
  char chunk[4096];
  while (WaitFor(socket, Event::kRead, wake, deadline) == Wait::kReady) {
    const int n = ::recv(Native(socket), chunk, sizeof chunk, 0);
    if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) break;
  }
  ::closesocket(Native(socket));
}

void CloseAbortively(int socket) {
  const linger abort_linger{1, 0};
  ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_linger),
               sizeof abort_linger);
  ::closesocket(Native(socket));
}

[[noreturn]] void Die(const char* what) {
  throw std::runtime_error(std::string("ScriptServer: ") + what + " failed");
}

// A loopback socket bound to a port of the system's choice; *port gets it.
int BoundLoopbackSocket(std::uint16_t* port) {
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) Die("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Die("bind");
  }
  *port = ntohs(address.sin_port);
  return static_cast<int>(handle);
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
  if (!MakeLoopbackPair(&wake_read_, &wake_write_)) Die("wake-up pair");
  listener_ = BoundLoopbackSocket(&port_);
  if (::listen(Native(listener_), kBacklog) != 0) Die("listen");
  acceptor_ = std::thread(&ScriptServer::AcceptLoop, this);
}

void ScriptServer::AcceptLoop() {
  while (WaitFor(listener_, Event::kRead, wake_read_, Clock::time_point::max()) == Wait::kReady) {
    const SOCKET accepted = ::accept(Native(listener_), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ::ioctlsocket(accepted, FIONBIO, &nonBlocking);
    const BOOL on = TRUE;
    ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t index = requests_.size();
    requests_.emplace_back();
    workers_.emplace_back(&ScriptServer::Serve, this, static_cast<int>(accepted), index);
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
          ::closesocket(Native(socket));
          return;
        }
        break;
      case Step::Kind::kPause:
        if (WaitFor(wake_read_, Event::kNone, wake_read_,
                    After(std::chrono::milliseconds(step.millis))) == Wait::kStopped) {
          ::closesocket(Native(socket));
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
        WaitFor(wake_read_, Event::kNone, wake_read_, Clock::time_point::max());
        ::closesocket(Native(socket));
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
  ::send(Native(wake_write_), &wake, 1, 0);
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  ::closesocket(Native(listener_));
  ::closesocket(Native(wake_read_));
  ::closesocket(Native(wake_write_));
}

std::uint16_t UnusedPort() {
  // A bound socket that never listens: connections to its port are refused.
  struct Holder {
    int socket = -1;
    std::uint16_t port = 0;
    Holder() { socket = BoundLoopbackSocket(&port); }
    ~Holder() { ::closesocket(Native(socket)); }
  };
  static const Holder holder;
  return holder.port;
}

}  // namespace zcv::test
