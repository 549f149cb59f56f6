// SoakServer: a loopback token server with one fixed way of behaving, good
// or bad, that serves any number of connections at once from one thread
// and holds no state beyond the connections that are open.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace zcv::soak {

enum class Behaviour {
  kGood,          // a reply that every operation accepts, except that every
                  // fourth connection is closed at once, so that calls keep
                  // moving on through the misbehaving servers
  kReset,         // resets the connection once the request has arrived
  kCloseMidHead,  // closes within the status line's headers
  kCloseMidBody,  // closes after half of the announced body
  kWrongLength,   // announces more body than it sends, or less than it sends
  kTrickle,       // the good reply, one byte at a time
  kStall,         // reads the request and never answers
  kFloodHead,     // response headers beyond any sensible size
  kBadReplies,    // in turn: garbage, broken XML, an over-long reserved
                  // password, and more binding rows than a caller can hold
  kUntilClose,    // the good reply without a length, ended by closing
  kNoHandshake,   // answers the first bytes, whatever they are, in turn with
                  // the good reply in clear and with garbage
};

const char* BehaviourName(Behaviour behaviour);

// The reply of a good server: every element any operation reads.
std::string GoodReplyBody();

class SoakServer {
 public:
  // `goodBody` is what the behaviour sends where it sends the good reply.
  // With `keep` the replies framed whole leave out "Connection: close" and
  // their connection waits for the next request.
  explicit SoakServer(Behaviour behaviour, std::string goodBody = GoodReplyBody(),
                      bool keep = false);
  ~SoakServer();
  SoakServer(const SoakServer&) = delete;
  SoakServer& operator=(const SoakServer&) = delete;

  std::uint16_t port() const { return port_; }
  Behaviour behaviour() const { return behaviour_; }
  long connections() const { return connections_.load(); }
  // Replies sent that left their connection waiting for another request.
  long keptReplies() const { return keptReplies_.load(); }
  // Closes every connection and the listener and joins the thread.
  void Stop();

 private:
  void Run();

  Behaviour behaviour_;
  std::string goodBody_;
  bool keep_;
  int listener_ = -1;
  int wakeWatch_ = -1;
  int wakeSignal_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<long> connections_{0};
  std::atomic<long> keptReplies_{0};
  std::thread thread_;
};

}  // namespace zcv::soak
