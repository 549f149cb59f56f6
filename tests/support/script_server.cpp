// One thread per connection, started by the shared accept loop; every
// blocking wait also watches the loop's wake-up that Stop() signals, so
// Stop() is bounded however the scripts behave. The socket calls are in
// test_socket_*.cpp.
#include "tests/support/script_server.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "tests/support/test_socket.h"

namespace zcv::test {
namespace {

using net::Clock;
using net::Readiness;
using net::Wait;

constexpr std::size_t kMaxRecordedHead = 64 * 1024;
constexpr auto kHeadReadLimit = std::chrono::seconds(2);
// How long a closing connection waits for the client to finish sending.
constexpr auto kDrainLimit = std::chrono::seconds(1);

Clock::time_point After(std::chrono::milliseconds span) { return Clock::now() + span; }

// Waits on the wake-up alone: a pause in a script, or a hanging connection.
Wait Idle(int wake, Clock::time_point deadline) {
  return net::WaitFor(net::kNoSocket, Readiness::kNone, wake, deadline);
}

bool SendAll(int socket, std::string_view bytes, int wake) {
  while (!bytes.empty()) {
    const long n = net::SendSome(socket, bytes);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n == net::kAgain) {
      if (net::WaitFor(socket, Readiness::kWritable, wake, Clock::time_point::max()) !=
          Wait::kReady) {
        return false;
      }
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
    if (net::WaitFor(socket, Readiness::kReadable, wake, deadline) != Wait::kReady) break;
    const long n = net::ReceiveSome(socket, chunk, sizeof chunk);
    if (n == net::kAgain) continue;
    if (n <= 0) break;
    head.append(chunk, static_cast<std::size_t>(n));
  }
  return head;
}

// An orderly close: the FIN goes out first, then the client's remaining
// bytes are drained so that closing does not turn into a reset.
void CloseGracefully(int socket, int wake) {
  net::ShutDownSending(socket);
  const Clock::time_point deadline = Clock::now() + kDrainLimit;
  char chunk[4096];
  while (net::WaitFor(socket, Readiness::kReadable, wake, deadline) == Wait::kReady) {
    const long n = net::ReceiveSome(socket, chunk, sizeof chunk);
    if (n == net::kAgain) continue;
    if (n <= 0) break;
  }
  net::CloseSocket(socket);
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
  loop_.Start([this](int socket, std::vector<std::thread>& workers) {
    const std::size_t index = requests_.size();
    requests_.emplace_back();
    workers.emplace_back(&ScriptServer::Serve, this, socket, index);
    accepted_.notify_all();
  });
}

void ScriptServer::Serve(int socket, std::size_t index) {
  std::string head;
  if (head_read_ == HeadRead::kRead) {
    head = ReadHead(socket, loop_.wake());
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[index] = head;
    accepted_.notify_all();
  }
  for (const Step& step : responder_(head)) {
    switch (step.kind) {
      case Step::Kind::kSend:
        if (!SendAll(socket, step.bytes, loop_.wake())) {
          net::CloseSocket(socket);
          return;
        }
        break;
      case Step::Kind::kPause:
        if (Idle(loop_.wake(), After(std::chrono::milliseconds(step.millis))) == Wait::kStopped) {
          net::CloseSocket(socket);
          return;
        }
        break;
      case Step::Kind::kClose:
        CloseGracefully(socket, loop_.wake());
        return;
      case Step::Kind::kReset:
        net::ResetSocket(socket);
        return;
      case Step::Kind::kHang:
        Idle(loop_.wake(), Clock::time_point::max());
        net::CloseSocket(socket);
        return;
    }
  }
  CloseGracefully(socket, loop_.wake());
}

std::uint16_t ScriptServer::port() const { return loop_.port(); }

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

bool ScriptServer::WaitForRequests(int n, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return accepted_.wait_for(lock, limit, [&] {
    const auto whole = std::count_if(
        requests_.begin(), requests_.end(),
        [](const std::string& head) { return head.find("\r\n\r\n") != std::string::npos; });
    return whole >= n;
  });
}

void ScriptServer::Stop() { loop_.Stop(); }

std::uint16_t UnusedPort() {
  // A bound socket that never listens: connections to its port are refused,
  // and no other program can take the port while the test process runs.
  struct Holder {
    int socket = -1;
    std::uint16_t port = 0;
    Holder() {
      socket = net::BindOnLoopback(&port);
      if (socket == net::kNoSocket) Die("reserving a port");
    }
    ~Holder() { net::CloseSocket(socket); }
  };
  static const Holder holder;
  return holder.port;
}

}  // namespace zcv::test
