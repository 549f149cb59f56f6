// Closing a client of the C interface while calls are inside it: from the
// client's own log function, while another thread's call is held by its
// server, and as a call leaves. Run under AddressSanitizer (no freed memory
// reached, nothing leaked) and ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "support/script_server.h"
#include "zephyrcoilvault/client.h"

namespace zcv::test {
namespace {

const std::string kAccept =
    HttpReply("<Reply><Result>9999</Result><ExpireTime>0</ExpireTime></Reply>");
constexpr auto kBound = std::chrono::seconds(10);

// A switch the test flips and server threads wait on, each wait bounded.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// A server whose first connection is held until the test releases it;
// later connections are closed unanswered.
struct HoldsFirstCall {
  Gate entered, release;
  std::atomic<int> connection{0};
  ScriptServer script{[this](const std::string&) {
    if (connection.fetch_add(1) != 0) return Script{Close()};
    entered.Open();
    release.Wait();
    return Script{Send(kAccept)};
  }};
};

class ClientCloseTest : public ::testing::Test {
 protected:
  ClientCloseTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-close-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~ClientCloseTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  zcv_client* Open(const std::vector<std::uint16_t>& ports, void (*fn)(void*, const char*),
                   void* ctx) {
    std::string text = "[ServerSet]\nServerNumber=" + std::to_string(ports.size()) + "\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
      text += "ServerIP" + std::to_string(i) + "=127.0.0.1\nServerPort" + std::to_string(i) + "=" +
              std::to_string(ports[i]) + "\n";
    }
    zcv_options options = ZCV_OPTIONS_INIT;
    options.config_data = text.data();
    options.config_size = text.size();
    options.connect_timeout_s = options.send_timeout_s = 1;
    options.receive_timeout_s = 10;  // a held call outlasts whatever the test does
    options.log_fn = fn;
    options.log_ctx = ctx;
    char error[ZCV_ERROR_BYTES];
    zcv_client* client = zcv_client_open_options(&options, error, sizeof error);
    EXPECT_NE(client, nullptr) << error;
    return client;
  }

  static unsigned Auth(zcv_client* client) {
    char expire[ZCV_EXPIRE_TEXT_BYTES];
    return zcv_auth(client, 1, 2, expire, sizeof expire);
  }

  std::string dir_;
};

// What a log function that closes its own client saw.
struct SelfCloser {
  zcv_client* client = nullptr;
  std::atomic<int> entries{0};
  std::atomic<bool> closeReturned{false};

  static void Log(void* ctx, const char*) {
    auto* self = static_cast<SelfCloser*>(ctx);
    if (self->entries.fetch_add(1) == 0) {
      zcv_client_close(self->client);
      self->closeReturned = true;
    }
  }
};

// A close on the call's own thread neither waits for that call nor leaks
// the client: the call ends, and as the last one out frees it. No entry
// logged after the close reaches the function.
TEST_F(ClientCloseTest, LogFunctionThatClosesItsOwnClient) {
  SelfCloser closer;
  closer.client = Open({UnusedPort(), UnusedPort()}, &SelfCloser::Log, &closer);
  ASSERT_NE(closer.client, nullptr);
  EXPECT_EQ(Auth(closer.client), ZCV_NO_ANSWER);
  EXPECT_TRUE(closer.closeReturned);
  EXPECT_EQ(closer.entries, 1);  // the second server's failure came after the close
}

// One thread's call is held by its server while another thread's call
// fails and its log function closes the client: that close returns at
// once, the held call still completes, and the last one out frees.
TEST_F(ClientCloseTest, SelfCloseWhileAnotherThreadIsInside) {
  HoldsFirstCall server;
  SelfCloser closer;
  closer.client = Open({server.script.port()}, &SelfCloser::Log, &closer);
  ASSERT_NE(closer.client, nullptr);
  unsigned held = 0;
  std::thread holder([&] { held = Auth(closer.client); });
  ASSERT_TRUE(server.entered.Wait());
  EXPECT_EQ(Auth(closer.client), ZCV_NO_ANSWER);  // closed the client from its log function
  EXPECT_TRUE(closer.closeReturned);
  server.release.Open();
  holder.join();
  EXPECT_EQ(held, ZCV_ACCEPTED);
}

// A close from another thread waits for the held call, and calls and
// zcv_client_set_log that start meanwhile are refused.
TEST_F(ClientCloseTest, CloseWaitsForTheHeldCallAndRefusesNewOnes) {
  HoldsFirstCall server;
  zcv_client* client = Open({server.script.port()}, nullptr, nullptr);
  ASSERT_NE(client, nullptr);
  unsigned held = 0;
  std::thread holder([&] { held = Auth(client); });
  ASSERT_TRUE(server.entered.Wait());
  std::atomic<bool> closed{false};
  std::thread closing([&] {
    zcv_client_close(client);
    closed = true;
  });
  // Once the close has begun, a new call is refused without any traffic.
  bool refused = false;
  for (int i = 0; i < 10000 && !refused; ++i) {
    const int before = server.script.connections();
    refused = Auth(client) == ZCV_NO_ANSWER && server.script.connections() == before;
  }
  EXPECT_TRUE(refused);
  zcv_client_set_log(
      client, [](void*, const char*) { ADD_FAILURE() << "set after close"; }, nullptr);
  EXPECT_FALSE(closed);
  server.release.Open();
  holder.join();
  closing.join();
  EXPECT_EQ(held, ZCV_ACCEPTED);
}

// Closes that meet calls as they leave: each close starts as its call's
// reply goes out, and never frees the client under the leaving call.
TEST_F(ClientCloseTest, CloseAsCallsLeave) {
  constexpr int kRounds = 50;
  for (int round = 0; round < kRounds; ++round) {
    Gate entered;
    ScriptServer server([&](const std::string&) {
      entered.Open();
      return Script{Send(kAccept)};
    });
    zcv_client* client = Open({server.port()}, nullptr, nullptr);
    ASSERT_NE(client, nullptr);
    std::thread caller([&] { Auth(client); });
    ASSERT_TRUE(entered.Wait());  // the call is inside: the close may meet it
    zcv_client_close(client);
    caller.join();
  }
}

}  // namespace
}  // namespace zcv::test
