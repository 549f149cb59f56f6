// Host name lookups on Windows through GetAddrInfoExW, asynchronously: the
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

#include "platform/socket.h"

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

struct Lookup {
  OVERLAPPED overlapped{};
  ADDRINFOEXW* result = nullptr;
  HANDLE cancel = nullptr;

  Lookup() { overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Lookup() {
    if (result != nullptr) ::FreeAddrInfoExW(result);
    if (overlapped.hEvent != nullptr) ::CloseHandle(overlapped.hEvent);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

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

  void Keep(std::unique_ptr<Lookup> lookup) {
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
  std::vector<std::unique_ptr<Lookup>> lookups_;
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

// The first IPv4 address of a finished lookup's answer.
int FirstAddress(const ADDRINFOEXW* answer, Ipv4Address* address) {
  // The headers spell the link's type differently from the record's own.
  for (const ADDRINFOEXW* at = answer; at != nullptr;
       at = reinterpret_cast<const ADDRINFOEXW*>(at->ai_next)) {
    if (at->ai_family != AF_INET || at->ai_addr == nullptr ||
        at->ai_addrlen < sizeof(sockaddr_in)) {
      continue;
    }
    const auto* found = reinterpret_cast<const sockaddr_in*>(at->ai_addr);
    std::memcpy(address->bytes, &found->sin_addr, sizeof address->bytes);
    return 0;
  }
  return kLookupNoData;
}

}  // namespace

int MapResolverError(int resolver_error) {
  switch (resolver_error) {
    case WSAHOST_NOT_FOUND:
    case WSAETIMEDOUT:
    case WSA_E_CANCELLED:
      return kLookupHostNotFound;
    case WSATRY_AGAIN:
      return kLookupTryAgain;
    case WSANO_RECOVERY:
      return kLookupNoRecovery;
    case WSANO_DATA:
      return kLookupNoData;
    default:
      return kLookupUnknown;
  }
}

int LookupIpv4(const char* host, Ipv4Address* address, std::int64_t timeoutMs) {
  IN_ADDR numeric{};
  if (::InetPtonA(AF_INET, host, &numeric) == 1) {
    std::memcpy(address->bytes, &numeric, sizeof address->bytes);
    return 0;
  }
  const std::wstring name = Widen(host);
  if (name.empty() || timeoutMs <= 0) return kLookupHostNotFound;
  if (!leftRunning.Admit()) return kLookupTryAgain;
  auto lookup = std::make_unique<Lookup>();
  if (lookup->overlapped.hEvent == nullptr) return kLookupUnknown;
  ADDRINFOEXW hints{};
  hints.ai_family = AF_INET;
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
      return kLookupHostNotFound;
    }
    status = ::GetAddrInfoExOverlappedResult(&lookup->overlapped);
  }
  if (status != 0) return MapResolverError(status);
  return FirstAddress(lookup->result, address);
}

}  // namespace zcv::platform
