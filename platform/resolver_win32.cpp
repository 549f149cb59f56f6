// Host name lookups on Windows through GetAddrInfoExW (both families, or
// the one AddressFamily names), asynchronously: the
// caller waits for the answer until its time-out at most, then asks for the
// lookup to be cancelled and leaves it. A lookup left behind keeps its
// record until the system reports its end, since the system may still write
// to it; later lookups free the records of those that have ended.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/resolver.h"

// Exported by ws2_32 since Windows 8; the compiler's headers lack them.
extern "C" {
INT WSAAPI GetAddrInfoExCancel(LPHANDLE handle);
INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED overlapped);
}

namespace zcv::platform {
namespace {

// Lookups left running at once. Beyond this (a resolver that answers
// nothing) a lookup fails at once rather than pile up more.
constexpr std::size_t kMaxLeftRunning = 16;

struct PendingLookup {
  OVERLAPPED overlapped{};
  ADDRINFOEXW* result = nullptr;
  HANDLE cancel = nullptr;

  PendingLookup() { overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~PendingLookup() {
    if (result != nullptr) ::FreeAddrInfoExW(result);
    if (overlapped.hEvent != nullptr) ::CloseHandle(overlapped.hEvent);
  }
  PendingLookup(const PendingLookup&) = delete;
  PendingLookup& operator=(const PendingLookup&) = delete;

  bool Ended() const { return ::WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }
};

class LeftRunning {
 public:
  // Those still running when the module goes are never freed: the system
  // may still write to them.
  ~LeftRunning() {
    std::lock_guard<std::mutex> lock(mutex_);
    FreeEnded();
    for (auto& lookup : lookups_) static_cast<void>(lookup.release());
  }

  // Frees the lookups that have ended; false when too many still run.
  bool Admit() {
    std::lock_guard<std::mutex> lock(mutex_);
    FreeEnded();
    return lookups_.size() < kMaxLeftRunning;
  }

  void Keep(std::unique_ptr<PendingLookup> lookup) {
    std::lock_guard<std::mutex> lock(mutex_);
    lookups_.push_back(std::move(lookup));
  }

 private:
  void FreeEnded() {
    for (std::size_t i = 0; i < lookups_.size();) {
      if (lookups_[i]->Ended()) {
        lookups_[i] = std::move(lookups_.back());
        lookups_.pop_back();
      } else {
        ++i;
      }
    }
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<PendingLookup>> lookups_;
};

LeftRunning leftRunning;

std::wstring Widen(const char* text) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// The addresses of a finished lookup's answer that `family` allows.
void CollectAddresses(const ADDRINFOEXW* answer, AddressFamily family,
                      std::vector<IpAddress>* addresses) {
  // The headers spell the link's type differently from the record's own.
  for (const ADDRINFOEXW* at = answer; at != nullptr && addresses->size() < kMaxAddresses;
       at = reinterpret_cast<const ADDRINFOEXW*>(at->ai_next)) {
    IpAddress address;
    if (at->ai_family == AF_INET && at->ai_addr != nullptr &&
        at->ai_addrlen >= sizeof(sockaddr_in)) {
      std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(at->ai_addr)->sin_addr, 4);
    } else if (at->ai_family == AF_INET6 && at->ai_addr != nullptr &&
               at->ai_addrlen >= sizeof(sockaddr_in6)) {
      address.v6 = true;
      std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in6*>(at->ai_addr)->sin6_addr,
                  16);
    } else {
      continue;
    }
    if (FamilyAllows(family, address) && !IsIpv4Mapped(address)) addresses->push_back(address);
  }
}

NetStatus TimedOut(std::int64_t spanMs) {
  return NetStatus::Failure(NetKind::kLookup, "no address (lookup timed out after %d s)",
                            static_cast<int>((spanMs + 999) / 1000));
}

NetStatus LookupFailure(int error, AddressFamily family, std::int64_t spanMs) {
  switch (error) {
    case WSAETIMEDOUT:
    case WSA_E_CANCELLED:
      return TimedOut(spanMs);
    case WSAHOST_NOT_FOUND:
      return NetStatus::Failure(NetKind::kLookup, "no address (name not found)");
    case WSANO_DATA:
      return NetStatus::Failure(NetKind::kLookup, "no address (the name has no %saddress)",
                                FamilyWord(family));
    case WSATRY_AGAIN:
      return NetStatus::Failure(NetKind::kLookup, "no address (name server failure)");
    case WSANO_RECOVERY:
      return NetStatus::Failure(NetKind::kLookup, "no address (refused by the name server)");
    default:
      return NetStatus::Failure(NetKind::kLookup, "no address (lookup error %d)", error);
  }
}

// GetAddrInfoExW, waited on until the deadline; the system's own
// configuration names the servers.
class SystemResolver final : public Resolver {
 public:
  NetStatus Lookup(const char* host, AddressFamily family, std::int64_t deadline_ms,
                   std::vector<IpAddress>* addresses) override {
    addresses->clear();
    const std::int64_t timeoutMs = deadline_ms - MonotonicMilliseconds();
    const std::wstring name = Widen(host);
    if (name.empty()) return NetStatus::Failure(NetKind::kLookup, "no address (not a valid name)");
    if (timeoutMs <= 0) return TimedOut(0);
    if (!leftRunning.Admit()) {
      return NetStatus::Failure(NetKind::kLookup, "no address (too many lookups unanswered)");
    }
    auto lookup = std::make_unique<PendingLookup>();
    if (lookup->overlapped.hEvent == nullptr) {
      return NetStatus::Failure(NetKind::kLookup, "no address (resolver not available)");
    }
    ADDRINFOEXW hints{};
    hints.ai_family = family == AddressFamily::kIpv4   ? AF_INET
                      : family == AddressFamily::kIpv6 ? AF_INET6
                                                       : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    timeval limit{};
    limit.tv_sec = static_cast<long>(timeoutMs / 1000);
    limit.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
    int status = ::GetAddrInfoExW(name.c_str(), nullptr, NS_ALL, nullptr, &hints, &lookup->result,
                                  &limit, &lookup->overlapped, nullptr, &lookup->cancel);
    if (status == WSA_IO_PENDING) {
      const DWORD wait = timeoutMs > INFINITE - 1 ? INFINITE - 1 : static_cast<DWORD>(timeoutMs);
      if (::WaitForSingleObject(lookup->overlapped.hEvent, wait) != WAIT_OBJECT_0) {
        ::GetAddrInfoExCancel(&lookup->cancel);
        leftRunning.Keep(std::move(lookup));
        return TimedOut(timeoutMs);
      }
      status = ::GetAddrInfoExOverlappedResult(&lookup->overlapped);
    }
    if (status != 0) return LookupFailure(status, family, timeoutMs);
    CollectAddresses(lookup->result, family, addresses);
    if (addresses->empty()) return LookupFailure(WSANO_DATA, family, timeoutMs);
    return NetStatus();
  }
};

}  // namespace

std::unique_ptr<Resolver> MakeSystemResolver(const ResolverOptions& /*options*/) {
  return std::make_unique<SystemResolver>();
}

}  // namespace zcv::platform
