// Concurrent requests to one simulator: the per-request transactions keep
// the binding limit exact while the server's workers race.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>
#include <vector>

#include "zcvsim/sim_server.h"
#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

constexpr std::int64_t kNow = 1700000000;
const Secret kSecret = *SecretFromHex("3132333435363738393031323334353637383930");

TEST(SimServerConcurrencyTest, ConcurrentBindingsRespectTheLimit) {
  TokenService service(":memory:", [] { return kNow; });
  Card card;
  card.card_no = 1001;
  card.service_no = "SN1001";
  card.secret = kSecret;
  card.state = CardState::kEnabled;
  card.expire_time = kNow + 3600;
  ASSERT_TRUE(service.AddCard(card));
  SimServer server(service);
  int port = server.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  const std::string code = std::to_string(OtpAtStep(kSecret, OtpStep(kNow)));

  constexpr int kThreads = 6;
  constexpr int kPerThread = 3;
  std::atomic<int> accepted{0};
  std::atomic<int> too_many{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      httplib::Client client("127.0.0.1", port);
      client.set_connection_timeout(1);
      client.set_read_timeout(1);
      for (int i = 0; i < kPerThread; ++i) {
        std::string path = "/TokenBinding.asp?iCardNo=1001&iDynpasswd=" + code +
                           "&iAppNo=" + std::to_string(t) + "&iAppNo2=" + std::to_string(i) +
                           "&sAccount=u";
        auto res = client.Get(path.c_str());
        if (!res) continue;
        if (res->body.find("<Result>9999</Result>") != std::string::npos) ++accepted;
        if (res->body.find("<Result>2008</Result>") != std::string::npos) ++too_many;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  server.Stop();
  EXPECT_EQ(accepted, 10);
  EXPECT_EQ(too_many, kThreads * kPerThread - 10);
  EXPECT_EQ(service.Bindings(1001).size(), 10u);
}

}  // namespace
}  // namespace zcv::sim
