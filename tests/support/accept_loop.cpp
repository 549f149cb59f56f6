// The acceptor thread shared by the loopback test servers; its one blocking
// wait also watches the wake-up, so Stop() is bounded.
#include "tests/support/accept_loop.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "tests/support/test_socket.h"

namespace zcv::test {

AcceptLoop::AcceptLoop(const char* owner, std::mutex& mutex) : mutex_(mutex) {
  const auto die = [owner](const char* what) {
    throw std::runtime_error(std::string(owner) + ": " + what + " failed");
  };
  if (!net::MakeWakeUp(&wake_read_, &wake_write_)) die("making the wake-up");
  listener_ = net::ListenOnLoopback(&port_);
  if (listener_ == net::kNoSocket) {
    net::CloseWakeUp(wake_read_, wake_write_);
    die("listening");
  }
}

AcceptLoop::~AcceptLoop() { Stop(); }

void AcceptLoop::Start(OnAccept on_accept) {
  on_accept_ = std::move(on_accept);
  acceptor_ = std::thread(&AcceptLoop::Run, this);
}

void AcceptLoop::Run() {
  while (net::WaitFor(listener_, net::Readiness::kReadable, wake_read_,
                      net::Clock::time_point::max()) == net::Wait::kReady) {
    const int socket = net::Accept(listener_);
    if (socket == net::kNoSocket) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    on_accept_(socket, workers_);
  }
}

void AcceptLoop::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  net::SignalWakeUp(wake_write_);
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  net::CloseSocket(listener_);
  net::CloseWakeUp(wake_read_, wake_write_);
}

}  // namespace zcv::test
