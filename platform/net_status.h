// NetStatus: how platform/ and http/ report every failure of an exchange,
// from the name lookup to the last byte of the reply: what failed (its kind)
// and why (a reason text, the words the attempt's log line ends with).
#pragma once

#include <cstddef>

namespace zcv::platform {

enum class NetKind {
  kOk,
  kUri,       // the URI could not be read
  kLookup,    // the name gave no address
  kConnect,   // no address could be connected to
  kSend,      // the request could not be sent
  kReceive,   // the reply did not come, or not whole
  kProtocol,  // the reply is not one this client reads
  kTls,       // TLS failed: handshake, verification, or a reply cut without its close
};

// Room for a reason: a fixed text, a name, a number of seconds.
constexpr std::size_t kNetReasonBytes = 160;

class NetStatus {
 public:
  NetStatus() { reason_[0] = '\0'; }

  // A failure of `kind` whose reason is formatted as printf does, cut to
  // fit (always terminated).
  static NetStatus Failure(NetKind kind, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  bool ok() const { return kind_ == NetKind::kOk; }
  NetKind kind() const { return kind_; }
  // Empty for success.
  const char* reason() const { return reason_; }

 private:
  NetKind kind_ = NetKind::kOk;
  char reason_[kNetReasonBytes];
};

}  // namespace zcv::platform
