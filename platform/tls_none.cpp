// The build without TLS (the Windows DLL for now): no context can be made,
// so a configuration that asks for TLS makes the server list invalid rather
// than fall back to clear text.
#include <cerrno>

#include "platform/tls.h"

namespace zcv::platform {
namespace {

constexpr const char* kNoTls = "TLS is not available in this build";

// Never reached without a context; fails rather than speak clear text.
class NoTlsTransport final : public Transport {
 public:
  TransferResult Start() override { return Failure(); }
  TransferResult Send(const char*, std::size_t) override { return Failure(); }
  TransferResult Receive(char*, std::size_t) override { return Failure(); }

 private:
  static TransferResult Failure() {
    TransferResult failure;
    failure.error = EPROTO;
    failure.reason = kNoTls;
    return failure;
  }
};

}  // namespace

bool TlsAvailable() { return false; }

std::unique_ptr<TlsContext> MakeTlsContext(const TlsOptions&, const char** reason) {
  *reason = kNoTls;
  return nullptr;
}

std::unique_ptr<Transport> MakeTlsTransport(SocketHandle, TlsContext&, const char*, std::uint16_t) {
  return std::make_unique<NoTlsTransport>();
}

bool DescribeTlsPeer(Transport&, TlsPeer*) { return false; }

}  // namespace zcv::platform
