// The references a TLS call of the library is measured against: minimal
// clients written directly against OpenSSL and against GnuTLS. Each keeps
// one context, verifies as the library does (the chain up to one trusted
// CA, the server's IPv4 address against the certificate, TLS 1.2 at least,
// no fallback), sends the same request, reads the reply until the server's
// TLS close, sends its own close and keeps the server's latest session.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bench/raw_client.h"

namespace zcv::bench {

class TlsReferenceClient {
 public:
  virtual ~TlsReferenceClient() = default;
  // One call on a new connection to 127.0.0.1:`port`: true when the reply
  // held "<Result>" and ended with the server's TLS close. Thread-safe.
  virtual bool Call(std::uint16_t port, const std::string& request) = 0;
};

// `caPem`: the one trusted CA. `suites`, when given, replaces OpenSSL's
// TLS 1.3 cipher suite list (its order is the client's preference).
std::unique_ptr<TlsReferenceClient> MakeOpenSslClient(const std::string& caPem,
                                                      const char* suites = nullptr);
std::unique_ptr<TlsReferenceClient> MakeGnuTlsClient(const std::string& caPem);

// The OpenSSL reference that keeps its connections: `request` is sent
// without its "Connection: close" line, the reply is read by its
// Content-Length, and the verified connection is kept for the next call
// (one idle connection per calling thread, at most). A connection the
// server ended is replaced by a new one with a full handshake.
std::unique_ptr<TlsReferenceClient> MakeOpenSslKeptClient(const std::string& caPem);

}  // namespace zcv::bench
