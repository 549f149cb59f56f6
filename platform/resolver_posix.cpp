// Host name lookups through c-ares, driven with poll on the caller's thread:
// a resolver that never answers costs no more than the time the caller
// gives, and the library starts no thread of its own.
#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/resolver.h"
#include "platform/socket.h"

namespace zcv::platform {
namespace {

using Clock = std::chrono::steady_clock;

// c-ares's own wait between its internal steps when it names none.
constexpr int kStepMillis = 100;

std::mutex serversMutex;
std::string testServers;  // empty: the system's resolver configuration

// c-ares needs its library state once per process before any channel.
bool LibraryReady() {
  static const int status = ares_library_init(ARES_LIB_INIT_ALL);
  return status == ARES_SUCCESS;
}

struct ChannelCloser {
  void operator()(ares_channel channel) const { ares_destroy(channel); }
};
using ChannelPtr = std::unique_ptr<ares_channeldata, ChannelCloser>;

struct Outcome {
  bool done = false;
  int status = ARES_ETIMEOUT;
  std::uint8_t bytes[4] = {};
};

void OnHost(void* arg, int status, int /*timeouts*/, hostent* host) {
  auto* outcome = static_cast<Outcome*>(arg);
  outcome->done = true;
  outcome->status = status;
  if (status != ARES_SUCCESS) return;
  if (host == nullptr || host->h_addrtype != AF_INET ||
      host->h_length != static_cast<int>(sizeof outcome->bytes) || host->h_addr_list == nullptr ||
      host->h_addr_list[0] == nullptr) {
    outcome->status = ARES_ENODATA;
    return;
  }
  std::memcpy(outcome->bytes, host->h_addr_list[0], sizeof outcome->bytes);
}

ChannelPtr OpenChannel() {
  ares_channel channel = nullptr;
  if (!LibraryReady() || ares_init(&channel) != ARES_SUCCESS) return nullptr;
  ChannelPtr owned(channel);
  std::lock_guard<std::mutex> lock(serversMutex);
  if (!testServers.empty() &&
      ares_set_servers_ports_csv(owned.get(), testServers.c_str()) != ARES_SUCCESS) {
    return nullptr;
  }
  return owned;
}

// Lets c-ares work on its sockets until the lookup ends or `deadline` passes.
void Drive(ares_channel channel, const Outcome& outcome, Clock::time_point deadline) {
  while (!outcome.done) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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

}  // namespace

int MapResolverError(int resolver_error) {
  switch (resolver_error) {
    case ARES_ENOTFOUND:
    case ARES_ENONAME:
    case ARES_EBADNAME:
    case ARES_ETIMEOUT:
      return kLookupHostNotFound;
    case ARES_ESERVFAIL:
    case ARES_ECONNREFUSED:
      return kLookupTryAgain;
    case ARES_EREFUSED:
    case ARES_EFORMERR:
    case ARES_ENOTIMP:
    case ARES_EBADRESP:
      return kLookupNoRecovery;
    case ARES_ENODATA:
      return kLookupNoData;
    default:
      return kLookupUnknown;
  }
}

int LookupIpv4(const char* host, Ipv4Address* address, std::int64_t timeoutMs) {
  in_addr numeric{};
  if (::inet_pton(AF_INET, host, &numeric) == 1) {
    std::memcpy(address->bytes, &numeric.s_addr, sizeof address->bytes);
    return 0;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Outcome outcome;  // outlives the channel, whose end may still report to it
  {
    ChannelPtr channel = OpenChannel();
    if (!channel) return kLookupUnknown;
    ares_gethostbyname(channel.get(), host, AF_INET, OnHost, &outcome);
    Drive(channel.get(), outcome, deadline);
    if (!outcome.done) return kLookupHostNotFound;  // not answered in time
  }
  if (outcome.status != ARES_SUCCESS) return MapResolverError(outcome.status);
  std::memcpy(address->bytes, outcome.bytes, sizeof address->bytes);
  return 0;
}

void SetResolverServersForTesting(const std::string& servers) {
  std::lock_guard<std::mutex> lock(serversMutex);
  testServers = servers;
}

}  // namespace zcv::platform
