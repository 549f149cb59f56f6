// zcv_delay_link CLIENT_NS CLIENT_TUN SERVER_NS SERVER_TUN DELAY_MS SECONDS:
// a link with a round trip of DELAY_MS between two network namespaces, for
// kernels without the netem qdisc. It attaches to a TUN device in each
// namespace (made beforehand with `ip tuntap add`) and carries every IP
// packet across in user space, holding those from the client side DELAY_MS
// milliseconds, as netem on the client's end of a link would. Ends after
// SECONDS, or on SIGTERM or SIGINT.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxPacket = 65536;
// A queue longer than this drops, as a full link would: memory stays bounded.
constexpr std::size_t kMaxQueued = 4096;

volatile std::sig_atomic_t stopping = 0;

void Stop(int) { stopping = 1; }

// The TUN device `device` of network namespace `ns`, attached, or -1.
int AttachTun(const char* ns, const char* device) {
  const std::string path = std::string("/run/netns/") + ns;
  const int nsFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0) {
    std::perror(path.c_str());
    if (nsFd >= 0) ::close(nsFd);
    return -1;
  }
  ::close(nsFd);
  const int tun = ::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ifreq request{};
  request.ifr_flags = IFF_TUN | IFF_NO_PI;
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", device);
  if (tun < 0 || ::ioctl(tun, TUNSETIFF, &request) != 0) {
    std::perror(device);
    if (tun >= 0) ::close(tun);
    return -1;
  }
  return tun;
}

struct Packet {
  Clock::time_point due;
  std::vector<char> bytes;
};

// One direction: packets read from `from`, written to `to` once due.
struct Direction {
  int from = -1;
  int to = -1;
  Clock::duration delay{};
  std::deque<Packet> queued;  // in order of arrival, so in order of due time

  void ReadAll(Clock::time_point now) {
    char buffer[kMaxPacket];
    for (;;) {
      const ssize_t got = ::read(from, buffer, sizeof buffer);
      if (got <= 0) return;
      if (queued.size() < kMaxQueued) {
        queued.push_back({now + delay, std::vector<char>(buffer, buffer + got)});
      }
    }
  }

  void WriteDue(Clock::time_point now) {
    while (!queued.empty() && queued.front().due <= now) {
      const std::vector<char>& bytes = queued.front().bytes;
      // A TUN write takes the whole packet or drops it, as a link may.
      if (::write(to, bytes.data(), bytes.size()) < 0 && errno == EAGAIN) return;
      queued.pop_front();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s CLIENT_NS CLIENT_TUN SERVER_NS SERVER_TUN DELAY_MS SECONDS\n",
                 argv[0]);
    return 2;
  }
  const int delayMs = std::atoi(argv[5]);
  const int seconds = std::atoi(argv[6]);
  if (delayMs < 0 || delayMs > 10000 || seconds <= 0 || seconds > 3600) {
    std::fprintf(stderr, "%s: DELAY_MS 0 to 10000, SECONDS 1 to 3600\n", argv[0]);
    return 2;
  }
  const int clientTun = AttachTun(argv[1], argv[2]);
  const int serverTun = clientTun < 0 ? -1 : AttachTun(argv[3], argv[4]);
  if (serverTun < 0) return 1;
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);

  Direction toServer{clientTun, serverTun, std::chrono::milliseconds(delayMs), {}};
  Direction toClient{serverTun, clientTun, Clock::duration::zero(), {}};
  const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
  std::printf("delay link up: %s/%s -> %s/%s held %d ms\n", argv[1], argv[2], argv[3], argv[4],
              delayMs);
  std::fflush(stdout);
  while (stopping == 0) {
    const Clock::time_point now = Clock::now();
    if (now >= end) break;
    toServer.WriteDue(now);
    toClient.WriteDue(now);
    Clock::time_point wake = end;
    for (const Direction* direction : {&toServer, &toClient}) {
      if (!direction->queued.empty() && direction->queued.front().due < wake) {
        wake = direction->queued.front().due;
      }
    }
    // To the microsecond: a millisecond poll() would stretch every delay.
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now);
    const timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                           static_cast<long>(wait.count() % 1000000000)};
    pollfd fds[2] = {{clientTun, POLLIN, 0}, {serverTun, POLLIN, 0}};
    if (::ppoll(fds, 2, &timeout, nullptr) < 0 && errno != EINTR) break;
    const Clock::time_point after = Clock::now();
    if (fds[0].revents & POLLIN) toServer.ReadAll(after);
    if (fds[1].revents & POLLIN) toClient.ReadAll(after);
  }
  ::close(clientTun);
  ::close(serverTun);
  return 0;
}
