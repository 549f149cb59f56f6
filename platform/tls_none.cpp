// The build without TLS (the Windows DLL for now): no context can be made,
// so a configuration that asks for TLS makes the server list invalid rather
// than fall back to clear text.
#include "platform/tls.h"

namespace zcv::platform {

bool TlsAvailable() { return false; }

std::unique_ptr<TlsContext> MakeTlsContext(const TlsOptions&, const char** reason) {
  *reason = "TLS is not available in this build";
  return nullptr;
}

std::unique_ptr<Transport> MakeTlsTransport(SocketHandle, TlsContext&, const char*, std::uint16_t) {
  return nullptr;
}

}  // namespace zcv::platform
