// The racing connect over the socket primitives of platform/socket.h.
#include "platform/connector.h"

#include "platform/clock.h"

namespace zcv::platform {
namespace {

constexpr std::int64_t kMillisPerSecond = 1000;
constexpr std::size_t kErrorTextBytes = 96;
// The most addresses tried; a resolver keeps no more of one name.
constexpr std::size_t kMaxTried = 16;

struct Pending {
  SocketHandle socket;
  std::size_t index;  // into the addresses
};

}  // namespace

NetStatus ConnectFirst(const IpAddress* addresses, std::size_t addressCount, std::uint16_t port,
                       std::int64_t deadline_ms, SocketHandle* socket,
                       std::vector<ConnectTry>* tries) {
  const std::int64_t start = MonotonicMilliseconds();
  const std::size_t count = addressCount < kMaxTried ? addressCount : kMaxTried;
  // Fixed arrays: a call costs no allocation here.
  TryOutcome outcomes[kMaxTried];
  int errors[kMaxTried];
  Pending pending[kMaxTried];
  SocketHandle handles[kMaxTried];
  std::size_t pendingCount = 0;
  std::size_t next = 0;
  std::int64_t nextStart = start;
  int lastError = 0;
  bool timedOut = false;
  *socket = kNoSocket;

  for (;;) {
    const std::int64_t now = MonotonicMilliseconds();
    if (next < count && (pendingCount == 0 || now >= nextStart) && now < deadline_ms) {
      outcomes[next] = TryOutcome::kNotTried;
      errors[next] = 0;
      int error = 0;
      const SocketHandle handle = OpenTcpSocket(addresses[next], &error);
      if (handle != kNoSocket) error = StartConnect(handle, addresses[next], port);
      if (error != 0) {
        CloseSocket(handle);
        outcomes[next] = TryOutcome::kFailed;
        errors[next] = lastError = error;
      } else {
        pending[pendingCount++] = {handle, next};
        nextStart = now + kConnectAttemptDelayMs;
      }
      ++next;
      continue;
    }
    if (pendingCount == 0) {
      // Addresses left but none started: the time ran out first.
      timedOut = next < count;
      break;
    }
    const bool more = next < count;
    const std::int64_t until = more && nextStart < deadline_ms ? nextStart : deadline_ms;
    for (std::size_t i = 0; i < pendingCount; ++i) handles[i] = pending[i].socket;
    int error = 0;
    const int ended = WaitAnyConnected(handles, static_cast<int>(pendingCount), until, &error);
    if (ended >= 0) {
      const Pending done = pending[ended];
      for (std::size_t i = static_cast<std::size_t>(ended); i + 1 < pendingCount; ++i) {
        pending[i] = pending[i + 1];
      }
      --pendingCount;
      if (error == 0) {
        outcomes[done.index] = TryOutcome::kConnected;
        *socket = done.socket;
        break;
      }
      CloseSocket(done.socket);
      outcomes[done.index] = TryOutcome::kFailed;
      errors[done.index] = lastError = error;
      nextStart = MonotonicMilliseconds();  // the next one starts now
      continue;
    }
    if (MonotonicMilliseconds() >= deadline_ms) {
      timedOut = true;
      break;
    }
    if (error != TimedOutError()) {
      lastError = error;
      break;
    }
  }
  // The losers and whatever was left when time ran out.
  for (std::size_t i = 0; i < pendingCount; ++i) {
    CloseSocket(pending[i].socket);
    outcomes[pending[i].index] =
        *socket != kNoSocket ? TryOutcome::kAbandoned : TryOutcome::kTimedOut;
  }
  if (tries != nullptr) {
    tries->assign(addressCount, ConnectTry());
    for (std::size_t i = 0; i < addressCount; ++i) {
      (*tries)[i].address = addresses[i];
      if (i < next) {
        (*tries)[i].outcome = outcomes[i];
        (*tries)[i].error = errors[i];
      }
    }
  }
  if (*socket != kNoSocket) return NetStatus();
  if (timedOut) {
    const std::int64_t span = deadline_ms - start;
    return NetStatus::Failure(NetKind::kConnect, "connect timed out after %d s",
                              static_cast<int>((span + kMillisPerSecond - 1) / kMillisPerSecond));
  }
  if (lastError == 0) return NetStatus::Failure(NetKind::kConnect, "no address to connect to");
  char text[kErrorTextBytes];
  return NetStatus::Failure(NetKind::kConnect, "%s", ErrorNumberText(lastError, text, sizeof text));
}

}  // namespace zcv::platform
