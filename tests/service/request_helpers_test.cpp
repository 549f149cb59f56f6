// The attempt's log line for each way an exchange fails: the fixed text
// first, as monitors match it, then the reason.
#include "service/request_helpers.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "service_fixture.h"
#include "support/dns_server.h"
#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

// A loopback listener whose queue is full and never taken from: the
// kernel drops further connection requests, so a connect to it hangs.
class FullListener {
 public:
  FullListener() : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    // Fills the queue.
    for (int& filler : fillers_) {
      filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
  }
  ~FullListener() {
    for (int filler : fillers_) ::close(filler);
    ::close(listener_);
  }
  std::uint16_t port() const { return port_; }

 private:
  int listener_;
  int fillers_[2];
  std::uint16_t port_ = 0;
};

class AttemptLogTest : public ServiceFixture {
 protected:
  std::string OneServer(const std::string& ip, std::uint16_t port) {
    return "[ServerSet]\nServerNumber=1\nServerIP0=" + ip +
           "\nServerPort0=" + std::to_string(port) +
           "\nConnectTimeout=1\nSendTimeout=1\nReceiveTimeout=1\n";
  }
  std::string FailedCallLog(const std::string& ini) {
    StartServiceWithIni(ini);
    char expire[kExpireTextBytes];
    EXPECT_EQ(TokenAuth(1, 2, expire), kNoAnswer);
    const std::vector<std::string> messages = LogMessages();
    return messages.empty() ? "" : messages.back();
  }
};

TEST_F(AttemptLogTest, EachFailureSaysWhy) {
  const std::string head = "HTTP/1.1 200 OK\r\n";
  const struct {
    const char* name;
    Script script;
    const char* line;
  } cases[] = {
      {"reply stall", Script{Send(head + "Content-Length: 10\r\n\r\nab"), Hang()},
       "127.0.0.1  connect error: reply not complete within 1 s\n"},
      {"no reply", Script{Hang()}, "127.0.0.1  connect error: no reply within 1 s\n"},
      {"head too large", Script{Send(head + "X: " + std::string(70 * 1024, 'x')), Hang()},
       "127.0.0.1  connect error: reply head larger than 64 KiB\n"},
      {"body cut", Script{Send(head + "Content-Length: 10\r\n\r\nabcd"), Close()},
       "127.0.0.1  connect error: connection closed before the reply ended\n"},
      {"closed at once", Script{Close()},
       "127.0.0.1  connect error: connection closed before the reply head ended\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server(c.script);
    EXPECT_EQ(FailedCallLog(OneServer("127.0.0.1", server.port())), c.line);
    StopService();
  }
}

TEST_F(AttemptLogTest, ConnectFailuresSayWhy) {
  EXPECT_EQ(FailedCallLog(OneServer("127.0.0.1", UnusedPort())),
            "127.0.0.1  connect error: connection refused\n");
  StopService();
  FullListener full;
  EXPECT_EQ(FailedCallLog(OneServer("127.0.0.1", full.port())),
            "127.0.0.1  connect error: connect timed out after 1 s\n");
}

TEST_F(AttemptLogTest, LookupFailuresSayWhy) {
  DnsServer dns({});
  resolver_ = platform::MakeSystemResolver({dns.server()});
  EXPECT_EQ(FailedCallLog(OneServer("otp.example.test", UnusedPort())),
            "otp.example.test  connect error: no address (name not found)\n");
  StopService();
  DnsServer silent({}, true);
  resolver_ = platform::MakeSystemResolver({silent.server()});
  EXPECT_EQ(FailedCallLog(OneServer("otp.example.test", UnusedPort())),
            "otp.example.test  connect error: no address (lookup timed out after 1 s)\n");
}

}  // namespace
}  // namespace zcv::test
