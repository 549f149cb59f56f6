// Readers and rotators at once: a reader never sees one server's address
// paired with another's port, and every rotation leaves a whole list.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "tests/config/server_list_test_util.h"

namespace zcv {
namespace {

constexpr int kRounds = 2000;

class ServerListConcurrencyTest : public testing_config::ServerListFixture {};

TEST_F(ServerListConcurrencyTest, CurrentIsAlwaysOneWholeServer) {
  WriteConfig(testing_config::ServerSet(3, 3));
  auto list = Load();
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&list] {
      for (int i = 0; i < kRounds; ++i) list->RotateIfCurrent(list->Current());
    });
    threads.emplace_back([&list] {
      for (int i = 0; i < kRounds; ++i) {
        ServerEntry current = list->Current();
        // Server n is 10.0.0.n on port 80(n-1).
        ASSERT_EQ(current.ip[7] - '1', current.port[2] - '0') << current.ip << ":" << current.port;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> order = testing_config::Order(*list);
  std::sort(order.begin(), order.end());
  EXPECT_EQ(order, (std::vector<std::string>{"10.0.0.1:800", "10.0.0.2:801", "10.0.0.3:802"}));
}

}  // namespace
}  // namespace zcv
