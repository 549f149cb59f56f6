// The byte stream of one connection: the plain socket, or TLS over it.
// Calls never block; a call that cannot go on says which readiness it
// needs, and the HTTP connection does the waiting, so every wait and every
// deadline has one owner whatever the stream is.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/socket.h"

namespace zcv::platform {

// The readiness a call needs before it is made again.
enum class Want { kNothing, kReadable, kWritable };

struct TransferResult {
  long count = 0;                // bytes moved; 0 when waiting, closed or failed
  Want want = Want::kNothing;    // with count 0 and no error: wait for this, then retry
  bool closed = false;           // the peer ended the stream properly (TLS: its close)
  int error = 0;                 // non-zero: the stream failed; an error number
  const char* reason = nullptr;  // a text for the failure log, or nullptr
};

// One stream over a connected socket that the HTTP connection owns and
// closes; a transport never outlives the socket it was made for.
class Transport {
 public:
  virtual ~Transport() = default;
  // Brings the stream up after the TCP connect (the TLS handshake); the
  // plain socket is up at once. Repeated while it asks for a wait.
  virtual TransferResult Start() = 0;
  // One send call.
  virtual TransferResult Send(const char* bytes, std::size_t length) = 0;
  // One receive call.
  virtual TransferResult Receive(char* bytes, std::size_t length) = 0;
  // The reply was read whole and the socket is about to be closed: ends the
  // stream properly without waiting (TLS: the client's close, so that the
  // session stays resumable). A stream not finished ended abnormally.
  virtual void Finish() {}
  // Holds bytes taken from the socket that no receive has returned yet (a
  // TLS record read ahead), or already saw the stream end: what a wait on
  // the socket would not show.
  virtual bool Buffered() const { return false; }
};

// The plain TCP stream of `socket` (not owned).
std::unique_ptr<Transport> MakePlainTransport(SocketHandle socket);

}  // namespace zcv::platform
