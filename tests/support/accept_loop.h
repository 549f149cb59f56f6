// AcceptLoop: the listening half of the loopback test servers: a listener on
// 127.0.0.1, the wake-up that ends every wait, one acceptor thread and the
// connection threads it starts, all joined by Stop().
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zcv::test {

class AcceptLoop {
 public:
  // Runs on the acceptor thread with the server's mutex held, once per
  // accepted connection; it starts the thread that serves `socket` and adds
  // it to `workers`.
  using OnAccept = std::function<void(int socket, std::vector<std::thread>& workers)>;

  // Makes the wake-up and the listener; throws std::runtime_error naming
  // `owner`. `mutex` is the server's own: it guards the connection threads.
  AcceptLoop(const char* owner, std::mutex& mutex);
  ~AcceptLoop();
  AcceptLoop(const AcceptLoop&) = delete;
  AcceptLoop& operator=(const AcceptLoop&) = delete;

  // Starts accepting; call once, when everything `on_accept` uses is ready.
  void Start(OnAccept on_accept);
  std::uint16_t port() const { return port_; }
  // Readable once Stop() has begun: every connection's waits watch it.
  int wake() const { return wake_read_; }
  // Stops accepting, joins every thread, closes the listener and the
  // wake-up. Idempotent.
  void Stop();

 private:
  void Run();

  std::mutex& mutex_;
  OnAccept on_accept_;
  int listener_ = -1;
  int wake_read_ = -1;
  int wake_write_ = -1;
  std::uint16_t port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> workers_;
  bool stopped_ = false;
};

}  // namespace zcv::test
