// KeepAlive: calls over kept connections, one per calling thread; without
// it one connection per call and the request of old, byte for byte; and
// every way a kept connection ends: idle too long, closed by the server
// with or without saying so, and a process made by fork().
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.h"
#include "support/keep_alive_server.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

std::atomic<std::int64_t> fakeMonotonic{1000};
std::int64_t FakeMonotonic() { return fakeMonotonic.load(); }

const std::string kAccepting = Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>");

class KeepAliveTest : public ServiceFixture {
 protected:
  void Start(const KeepAliveServer& server, const std::string& keepAlive) {
    StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                        std::to_string(server.port()) +
                        "\nConnectTimeout=2\nSendTimeout=2\nReceiveTimeout=2\n" + keepAlive);
  }
  static bool Accepted() {
    char expire[kExpireTextBytes];
    return TokenAuth(1, 2, expire) == kAccepted;
  }
};

TEST_F(KeepAliveTest, ManyCallsOverOneConnection) {
  for (bool chunked : {false, true}) {
    SCOPED_TRACE(chunked ? "chunked" : "by length");
    KeepAliveServer server({kAccepting, chunked});
    Start(server, "KeepAlive=30\n");
    int accepted = 0;
    for (int i = 0; i < 200; ++i) accepted += Accepted() ? 1 : 0;
    EXPECT_EQ(accepted, 200);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(server.requests()[0],
              "GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
              "User-Agent: zephyrcoilvault/1.0\r\n\r\n");
    EXPECT_TRUE(LogMessages().empty());
    StopService();
  }
}

TEST_F(KeepAliveTest, WithoutItEveryCallHasItsOwnConnectionAndTheOldRequest) {
  for (const char* setting : {"", "KeepAlive=0\n"}) {
    KeepAliveServer server({kAccepting});
    Start(server, setting);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(Accepted());
    EXPECT_EQ(server.connections(), 200);
    for (const std::string& request : server.requests()) {
      ASSERT_EQ(request,
                "GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\nConnection: close\r\n"
                "Host: 127.0.0.1\r\nUser-Agent: zephyrcoilvault/1.0\r\n\r\n");
    }
    StopService();
  }
}

TEST_F(KeepAliveTest, ConnectionsThatMayNotBeUsedAgainAreNot) {
  const struct {
    const char* name;
    KeepAliveOptions options;
    bool advanceClock;  // 1.5 s pass between the calls, KeepAlive being 1 s
  } cases[] = {
      {"idle too long", {kAccepting}, true},
      {"the server said close", {kAccepting, false, true}, false},
      {"the server closed silently", {kAccepting, false, false, true}, false},
      {"the server closes idle ones", {kAccepting, false, false, false, 100}, false},
      {"the reply ran past its length", {kAccepting, false, false, false, 0, 0, "\r\n"}, false},
  };
  monotonicClock_ = FakeMonotonic;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KeepAliveServer server(c.options);
    Start(server, "KeepAlive=1\n");
    EXPECT_TRUE(Accepted());
    if (c.advanceClock) fakeMonotonic += 1500;
    if (c.options.closeIdleAfterMs > 0) {
      ASSERT_TRUE(server.WaitForEnded(1, std::chrono::seconds(2)));
    }
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(server.connections(), 2);
    EXPECT_TRUE(LogMessages().empty()) << LogText();
    StopService();
  }
}

TEST_F(KeepAliveTest, AKeptConnectionClosedUnansweredIsTriedOnceMoreOnANewOne) {
  KeepAliveOptions options{kAccepting};
  options.answersPerConnection = 1;
  KeepAliveServer server(options);
  Start(server, "KeepAlive=30\n");
  EXPECT_TRUE(Accepted());
  EXPECT_TRUE(Accepted());
  EXPECT_EQ(server.connections(), 2);
  // The server saw the second call's request twice: the rare duplicate.
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_TRUE(LogMessages().empty()) << LogText();
}

TEST_F(KeepAliveTest, UnderTlsTheVerifiedConnectionIsKept) {
  // Bytes past a reply may wait in the TLS layer rather than the socket:
  // they still end the connection.
  const struct {
    const char* name;
    KeepAliveOptions options;
    int connections;
  } cases[] = {
      {"replies by length", {kAccepting}, 1},
      {"bytes past each reply", {kAccepting, false, false, false, 0, 0, "\r\n"}, 20},
  };
  const std::string caFile = dir_ + "/ca.pem";
  std::ofstream(caFile) << Pki().caPem;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KeepAliveServer inner(c.options);
    TlsScriptServer server(inner.port(), TlsServerOptions{Pki().ip});
    StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                        std::to_string(server.port()) +
                        "\nKeepAlive=30\n[TLS]\nEnabled=1\nCAFile=" + caFile + "\n");
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(Accepted()) << LogText();
    EXPECT_EQ(inner.connections(), c.connections);
    EXPECT_EQ(inner.requests().size(), 20u);
    StopService();
  }
}

TEST_F(KeepAliveTest, EightThreadsOnOneClient) {
  KeepAliveServer server({kAccepting});
  Start(server, "KeepAlive=30\n");
  constexpr int kThreads = 8;
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) accepted += Accepted() ? 1 : 0;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(accepted.load(), kThreads * 25);
  EXPECT_LE(server.connections(), kThreads);
}

TEST_F(KeepAliveTest, AChildAfterForkNeverUsesItsParentsConnection) {
  KeepAliveServer server({kAccepting});
  Start(server, "KeepAlive=30\n");
  ASSERT_TRUE(Accepted());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(Accepted() ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(server.connections(), 2);
  // The parent's own connection is still good.
  EXPECT_TRUE(Accepted());
  EXPECT_EQ(server.connections(), 2);
}

}  // namespace
}  // namespace zcv::test
