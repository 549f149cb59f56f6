// The plain TCP stream: each call is one non-blocking send or receive on the
// socket, and a call that would block asks for the matching readiness.
#include "platform/transport.h"

namespace zcv::platform {
namespace {

class PlainTransport final : public Transport {
 public:
  explicit PlainTransport(SocketHandle socket) : socket_(socket) {}

  TransferResult Start() override { return {}; }

  TransferResult Send(const char* bytes, std::size_t length) override {
    TransferResult result;
    const long sent = SendSome(socket_, bytes, length, &result.error);
    if (sent >= 0) {
      result.count = sent;
    } else if (sent == kWouldBlock) {
      result.want = Want::kWritable;
    }
    return result;
  }

  TransferResult Receive(char* bytes, std::size_t length) override {
    TransferResult result;
    const long received = ReceiveSome(socket_, bytes, length, &result.error);
    if (received > 0) {
      result.count = received;
    } else if (received == 0) {
      result.closed = true;
    } else if (received == kWouldBlock) {
      result.want = Want::kReadable;
    }
    return result;
  }

 private:
  SocketHandle socket_;
};

}  // namespace

std::unique_ptr<Transport> MakePlainTransport(SocketHandle socket) {
  return std::make_unique<PlainTransport>(socket);
}

}  // namespace zcv::platform
