// Many host threads calling the loaded library at once while servers drop
// connections: every call still finds a server that answers.
#include <atomic>
#include <thread>
#include <vector>

#include "e2e_fixture.h"

namespace zcv::e2e {
namespace {

const sim::Secret kSecret = *sim::SecretFromHex("7777777777777777777777777777777777777777");

class ConcurrencyTest : public EndToEndTest {};

TEST_F(ConcurrencyTest, ParallelCallsFailOverAndAllSucceed) {
  AddCard(1001, "SN1001", sim::CardState::kEnabled, kSecret);
  sim::FaultPlan flaky;
  flaky.refuse_share = 0.5;
  servers_[0]->SetFaults(flaky);
  sim::FaultPlan malformed;
  malformed.malformed_share = 0.5;
  servers_[1]->SetFaults(malformed);
  LoadAll();

  constexpr int kThreads = 4;
  constexpr int kCalls = 10;
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) {
        char expire[zcv::kExpireTextBytes] = "";
        int status = 0;
        if (lib().TokenAuth(1001, Code(kSecret), expire) == zcv::kAccepted) ++accepted;
        if (lib().TokenStatus(1001, status, expire) == zcv::kAccepted) ++accepted;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(accepted, 2 * kThreads * kCalls);
}

}  // namespace
}  // namespace zcv::e2e
