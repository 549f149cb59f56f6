// Many host threads at once: against servers that answer, fail and stall,
// at the failure gate when it admits one call at a time, and while the
// client closes under them. Run under
// ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "service_fixture.h"
#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

class ConcurrencyTest : public ServiceFixture {};

TEST_F(ConcurrencyTest, ManyThreadsAgainstAnsweringFailingAndStallingServers) {
  ScopedTimeZone zone("UTC");
  ScriptServer answering(
      Script{Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>86400</ExpireTime>")))});
  ScriptServer closing(Script{Close()});
  ScriptServer stalling(Script{Hang()});
  StartService({answering.port(), closing.port(), stalling.port()});

  constexpr int kThreads = 12;
  constexpr int kCallsPerThread = 4;
  std::atomic<int> accepted{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        char expireText[20] = "untouched";
        const ResultCode code =
            (t % 2) ? TokenAuth(t, i, expireText) : TokenAuth2Next(t, i, i + 1, expireText);
        if (code == kAccepted && std::string(expireText) == "1970-01-02 00:00:00") {
          ++accepted;
        } else if (code != kNoAnswer || std::string(expireText) != "untouched") {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(accepted, 0);

  // Entries never mix: every message is one the helpers write.
  const std::set<std::string> known = {
      "127.0.0.1  connect error: connection closed before the reply head ended\n",
      "127.0.0.1  connect error: no reply within 1 s\n"};
  for (const std::string& message : LogMessages()) EXPECT_TRUE(known.count(message)) << message;
}

TEST_F(ConcurrencyTest, GateAdmitsExactlyOneCallAfterTheWindow) {
  std::mutex m;
  std::condition_variable changed;
  bool answer = false;
  bool release = false;
  ScriptServer server([&](const std::string&) {
    std::unique_lock<std::mutex> lock(m);
    if (!answer) return Script{Close()};
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    return Script{Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>")))};
  });
  timeouts_.receive = 15;
  StartService({server.port()});
  for (int i = 0; i < 3; ++i) {
    char expireText[20];
    TokenAuth(1, 2, expireText);
  }
  fakeNow += kGateWindowSeconds;
  {
    std::lock_guard<std::mutex> lock(m);
    answer = true;
  }

  constexpr int kThreads = 16;
  std::atomic<int> finished{0};
  std::atomic<int> accepted{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      char expireText[20];
      const ResultCode code = TokenAuth2(1, 2, expireText);
      (code == kAccepted ? accepted : refused)++;
      ++finished;
      changed.notify_all();
    });
  }
  {
    std::unique_lock<std::mutex> lock(m);
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return finished == kThreads - 1; });
    release = true;
  }
  changed.notify_all();
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(refused, kThreads - 1);
  EXPECT_EQ(server.connections(), 4);
}

TEST_F(ConcurrencyTest, CloseWaitsForCallsInFlightAndRefusesLaterOnes) {
  constexpr int kThreads = 6;
  const std::string accept = HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>"));
  std::mutex m;
  std::condition_variable changed;
  bool release = false;
  std::atomic<int> connection{0};
  // The first kThreads connections are held until released; later ones
  // (calls that started before the close began) are answered at once.
  ScriptServer server([&](const std::string&) {
    if (connection.fetch_add(1) >= kThreads) return Script{Send(accept)};
    std::unique_lock<std::mutex> lock(m);
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    return Script{Send(accept)};
  });
  timeouts_.receive = 15;
  StartService({server.port()});

  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      char expireText[20];
      if (TokenAuth(1, 2, expireText) == kAccepted) ++accepted;
    });
  }
  ASSERT_TRUE(server.WaitForConnections(kThreads, std::chrono::seconds(10)));
  std::atomic<bool> closing{false};
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    closing = true;
    client().Close();
    closed = true;
  });
  // Once the close has begun, a new call is refused without any traffic;
  // a call that slips in just before it is answered at once.
  while (!closing) std::this_thread::yield();
  char expireText[20];
  bool refused = false;
  for (int i = 0; i < 10000 && !refused; ++i) {
    const int before = server.connections();
    refused = TokenAuth(1, 2, expireText) == kNoAnswer && server.connections() == before;
  }
  EXPECT_TRUE(refused);
  EXPECT_FALSE(closed);
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  changed.notify_all();
  for (auto& thread : threads) thread.join();
  closer.join();
  EXPECT_EQ(accepted, kThreads);
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
}

}  // namespace
}  // namespace zcv::test
