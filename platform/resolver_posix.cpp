// Host name lookups through c-ares (ares_getaddrinfo), driven with poll on
// the caller's thread: a resolver that never answers costs no more than the
// time the caller gives, and the library starts no thread of its own.
// A channel is not safe for two threads at once, so each lookup takes one
// from the resolver's pool for its whole run and gives it back; no lock is
// held while the network is waited on.
#include <ares.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/resolver.h"

namespace zcv::platform {
namespace {

// c-ares's own wait between its internal steps when it names none.
constexpr int kStepMillis = 100;
// Channels kept between lookups; lookups beyond this many at once make a
// channel for themselves and drop it after.
constexpr std::size_t kMaxIdleChannels = 4;
constexpr std::int64_t kMillisPerSecond = 1000;

// c-ares needs its library state once per process before any channel.
bool LibraryReady() {
  static const int status = ares_library_init(ARES_LIB_INIT_ALL);
  return status == ARES_SUCCESS;
}

struct ChannelCloser {
  void operator()(ares_channel channel) const { ares_destroy(channel); }
};
using ChannelPtr = std::unique_ptr<ares_channeldata, ChannelCloser>;

// A channel and the process that made it: a child after fork() must not
// share its parent's resolver sockets.
struct Channel {
  ChannelPtr channel;
  unsigned long owner = 0;
};

struct Outcome {
  bool done = false;
  int status = ARES_ETIMEOUT;
  AddressFamily family = AddressFamily::kAny;
  std::vector<IpAddress>* addresses = nullptr;
};

void OnAddresses(void* arg, int status, int /*timeouts*/, ares_addrinfo* result) {
  auto* outcome = static_cast<Outcome*>(arg);
  outcome->done = true;
  outcome->status = status;
  if (result == nullptr) return;
  for (const ares_addrinfo_node* node = result->nodes; node != nullptr; node = node->ai_next) {
    if (outcome->addresses->size() == kMaxAddresses) break;
    IpAddress address;
    if (node->ai_family == AF_INET && node->ai_addr != nullptr &&
        node->ai_addrlen >= static_cast<int>(sizeof(sockaddr_in))) {
      const auto* in4 = reinterpret_cast<const sockaddr_in*>(node->ai_addr);
      std::memcpy(address.bytes, &in4->sin_addr, 4);
    } else if (node->ai_family == AF_INET6 && node->ai_addr != nullptr &&
               node->ai_addrlen >= static_cast<int>(sizeof(sockaddr_in6))) {
      const auto* in6 = reinterpret_cast<const sockaddr_in6*>(node->ai_addr);
      address.v6 = true;
      std::memcpy(address.bytes, &in6->sin6_addr, 16);
    } else {
      continue;
    }
    if (FamilyAllows(outcome->family, address) && !IsIpv4Mapped(address)) {
      outcome->addresses->push_back(address);
    }
  }
  ares_freeaddrinfo(result);
}

// Lets c-ares work on its sockets until the lookup ends or `deadline_ms`
// passes.
void Drive(ares_channel channel, const Outcome& outcome, std::int64_t deadline_ms) {
  while (!outcome.done) {
    const std::int64_t left = deadline_ms - MonotonicMilliseconds();
    if (left <= 0) return;
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
    pollfd entries[ARES_GETSOCK_MAXNUM];
    nfds_t count = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
      short events = 0;
      if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
      if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
      if (events == 0) continue;
      entries[count++] = pollfd{sockets[i], events, 0};
    }
    timeval most{0, kStepMillis * 1000};
    timeval step{};
    ares_timeout(channel, &most, &step);
    const long stepMillis = step.tv_sec * 1000L + step.tv_usec / 1000 + 1;
    const int wait = static_cast<int>(left < stepMillis ? left : stepMillis);
    const int ready = ::poll(entries, count, wait);
    if (ready < 0 && errno != EINTR) return;
    bool handled = false;
    for (nfds_t i = 0; ready > 0 && i < count; ++i) {
      if (entries[i].revents == 0) continue;
      const bool readable = (entries[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
      const bool writable = (entries[i].revents & POLLOUT) != 0;
      ares_process_fd(channel, readable ? entries[i].fd : ARES_SOCKET_BAD,
                      writable ? entries[i].fd : ARES_SOCKET_BAD);
      handled = true;
    }
    // Nothing ready: c-ares still runs its own retries and time-outs.
    if (!handled) ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
  }
}

// The reason of a lookup that gave nothing.
NetStatus LookupFailure(int status, AddressFamily family, std::int64_t spanMs) {
  switch (status) {
    case ARES_ETIMEOUT:
      return NetStatus::Failure(
          NetKind::kLookup, "no address (lookup timed out after %d s)",
          static_cast<int>((spanMs + kMillisPerSecond - 1) / kMillisPerSecond));
    case ARES_ENOTFOUND:
    case ARES_ENONAME:
      return NetStatus::Failure(NetKind::kLookup, "no address (name not found)");
    case ARES_SUCCESS:
    case ARES_ENODATA:
      return NetStatus::Failure(NetKind::kLookup, "no address (the name has no %saddress)",
                                FamilyWord(family));
    case ARES_ESERVFAIL:
      return NetStatus::Failure(NetKind::kLookup, "no address (name server failure)");
    case ARES_EREFUSED:
      return NetStatus::Failure(NetKind::kLookup, "no address (refused by the name server)");
    case ARES_ECONNREFUSED:
      return NetStatus::Failure(NetKind::kLookup, "no address (name server unreachable)");
    case ARES_EBADNAME:
      return NetStatus::Failure(NetKind::kLookup, "no address (not a valid name)");
    default:
      return NetStatus::Failure(NetKind::kLookup, "no address (%s)", ares_strerror(status));
  }
}

class AresResolver final : public Resolver {
 public:
  explicit AresResolver(const ResolverOptions& options) : options_(options) {}

  NetStatus Lookup(const char* name, AddressFamily family, std::int64_t deadline_ms,
                   std::vector<IpAddress>* addresses) override {
    const std::int64_t start = MonotonicMilliseconds();
    addresses->clear();
    Channel channel = Take();
    if (!channel.channel) {
      return NetStatus::Failure(NetKind::kLookup, "no address (resolver not available)");
    }
    ares_addrinfo_hints hints{};
    hints.ai_family = family == AddressFamily::kIpv4   ? AF_INET
                      : family == AddressFamily::kIpv6 ? AF_INET6
                                                       : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // The client orders the addresses itself; sorting would open a socket
    // per address.
    hints.ai_flags = ARES_AI_NOSORT;
    Outcome outcome;
    outcome.family = family;
    outcome.addresses = addresses;
    ares_getaddrinfo(channel.channel.get(), name, nullptr, &hints, OnAddresses, &outcome);
    Drive(channel.channel.get(), outcome, deadline_ms);
    if (!outcome.done) {
      // Ends the query now, while `outcome` still lives to hear of it.
      ares_cancel(channel.channel.get());
      addresses->clear();
      outcome.status = ARES_ETIMEOUT;
    }
    Give(std::move(channel));
    if (outcome.status == ARES_SUCCESS && !addresses->empty()) return NetStatus();
    return LookupFailure(outcome.status, family, deadline_ms - start);
  }

 private:
  // An idle channel of this process, or a new one.
  Channel Take() {
    const unsigned long self = CurrentProcessId();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (!idle_.empty()) {
        Channel channel = std::move(idle_.back());
        idle_.pop_back();
        // One made before a fork shares its sockets with the parent: this
        // process closes its copies and makes its own.
        if (channel.owner == self) return channel;
      }
    }
    Channel made;
    made.owner = self;
    ares_channel channel = nullptr;
    if (!LibraryReady() || ares_init(&channel) != ARES_SUCCESS) return made;
    made.channel.reset(channel);
    if (!options_.servers.empty() &&
        ares_set_servers_ports_csv(channel, options_.servers.c_str()) != ARES_SUCCESS) {
      made.channel.reset();
    }
    return made;
  }

  void Give(Channel channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < kMaxIdleChannels) idle_.push_back(std::move(channel));
  }

  const ResolverOptions options_;
  std::mutex mutex_;
  std::vector<Channel> idle_;  // under mutex_
};

}  // namespace

std::unique_ptr<Resolver> MakeSystemResolver(const ResolverOptions& options) {
  return std::make_unique<AresResolver>(options);
}

}  // namespace zcv::platform
