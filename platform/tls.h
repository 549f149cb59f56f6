// Verified TLS for the HTTP client: one process-wide context built from the
// configuration (trust, oldest version, key pins, remembered sessions), and
// a transport that runs TLS over a connection's socket.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/transport.h"

namespace zcv::platform {

// SHA-256 of a server's DER-encoded SubjectPublicKeyInfo.
using KeyPin = std::array<unsigned char, 32>;

enum class TlsVersion { k1_2, k1_3 };

struct TlsOptions {
  // The PEM text of the trusted certificates, read by the caller; none: the
  // distribution's bundle at its fixed path.
  std::optional<std::string> caPem;
  std::vector<KeyPin> pins;  // empty: the trusted chain alone decides
  TlsVersion minVersion = TlsVersion::k1_2;
};

// The trust, version floor and pins every connection shares, and the last
// session of each server so that later connections resume it. Thread-safe.
class TlsContext {
 public:
  virtual ~TlsContext() = default;
};

// Why no context could be made: the [TLS] key at fault and a text.
struct TlsRefusal {
  const char* key = nullptr;
  const char* reason = nullptr;
};

// The context for `options`, or nullptr with `*refusal` set (the trust
// anchors cannot be read, or the system offers no version allowed).
std::unique_ptr<TlsContext> MakeTlsContext(const TlsOptions& options, TlsRefusal* refusal);

// TLS over `socket` (not owned) to `host`: a host name is sent as SNI and
// checked against the certificate's DNS names, a dotted IPv4 address against
// its IP addresses. `port` only tells servers apart for resumption. Failures
// of TLS itself carry a reason text; a reply cut off without the server's
// TLS close is one of them.
std::unique_ptr<Transport> MakeTlsTransport(SocketHandle socket, TlsContext& context,
                                            const char* host, std::uint16_t port);

// What a completed handshake established, for a report of the connection.
struct TlsPeer {
  int daysLeft = 0;     // whole days until the server's certificate expires
  bool pinned = false;  // one of the configured key pins matched (none set: false)
};

// Describes the peer of `transport` (made by MakeTlsTransport) once its
// Start() has succeeded; false when there is nothing to describe.
bool DescribeTlsPeer(Transport& transport, TlsPeer* peer);

}  // namespace zcv::platform
