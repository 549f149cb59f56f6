// Many host threads calling over TLS at once, sharing the one context and
// its remembered sessions. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "service_fixture.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

class TlsConcurrencyTest : public ServiceFixture {};

TEST_F(TlsConcurrencyTest, ManyThreadsShareTheContextAndItsSessions) {
  std::ofstream(dir_ + "/ca.pem") << Pki().caPem;
  TlsServerOptions options;
  options.credential = Pki().ip;
  TlsScriptServer server(
      Script{Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>")))}, options);
  StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                      std::to_string(server.port()) + "\n[TLS]\nEnabled=1\nCAFile=" + dir_ +
                      "/ca.pem\n");

  constexpr int kThreads = 8;
  constexpr int kCallsPerThread = 6;
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        char expireText[kExpireTextBytes];
        if (TokenAuth(t, i, expireText) == kAccepted) ++accepted;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(accepted, kThreads * kCallsPerThread);
  EXPECT_GT(server.resumed(), 0);
}

}  // namespace
}  // namespace zcv::test
