// ScriptServer: a loopback HTTP test server that records each request head
// and answers every connection by playing a script of sends, pauses and
// endings. Every wait is bounded by Stop().
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/accept_loop.h"

namespace zcv::test {

struct Step {
  enum class Kind { kSend, kPause, kClose, kReset, kHang };
  Kind kind;
  std::string bytes;
  int millis = 0;
};

Step Send(std::string bytes);
Step Pause(int millis);
Step Close();  // orderly close after the client's bytes have been drained
Step Reset();  // abortive close: the client sees a connection reset
// Keep the connection open, send nothing, until the server stops.
Step Hang();

// A script that ends without Close, Reset or Hang closes the connection.
using Script = std::vector<Step>;

// "HTTP/1.1 <status> OK\r\nContent-Length: n\r\nConnection: close\r\n\r\n<body>"
std::string HttpReply(std::string_view body, int status = 200);

// Sends `bytes` in pieces of `piece` bytes with a pause of `millis` after
// each, so that the client receives them in many small reads.
Script Trickle(std::string_view bytes, std::size_t piece, int millis);

// Whether a connection's request head is read before its script runs.
enum class HeadRead { kRead, kSkip };

class ScriptServer {
 public:
  // Every connection gets this script.
  explicit ScriptServer(Script script, HeadRead head_read = HeadRead::kRead);
  // The script is chosen per received request head; called on the
  // connection's own thread, possibly on several at once.
  explicit ScriptServer(std::function<Script(const std::string& request)> responder,
                        HeadRead head_read = HeadRead::kRead);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  // Listening on 127.0.0.1, port chosen by the system.
  std::uint16_t port() const;
  // Each connection's received head (read until "\r\n\r\n", bounded), in
  // accept order; empty for a connection whose head was not read.
  std::vector<std::string> requests() const;
  // The request-target of each recorded request line.
  std::vector<std::string> paths() const;
  int connections() const;
  bool WaitForConnections(int n, std::chrono::milliseconds limit) const;
  // Waits (bounded) until `n` connections have sent a whole request head.
  bool WaitForRequests(int n, std::chrono::milliseconds limit) const;
  // Closes the listener and every connection, hanging ones too, and joins
  // all threads. Idempotent.
  void Stop();

 private:
  void Start();
  void Serve(int socket, std::size_t index);

  std::function<Script(const std::string&)> responder_;
  HeadRead head_read_;

  mutable std::mutex mutex_;
  mutable std::condition_variable accepted_;
  std::vector<std::string> requests_;
  // Last, so that it is gone before anything its threads use.
  AcceptLoop loop_{"ScriptServer", mutex_};
};

// A loopback port on which nothing listens: connecting to it is refused.
std::uint16_t UnusedPort();

}  // namespace zcv::test
