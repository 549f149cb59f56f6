// Many requests on many threads at once against one server: requests share
// nothing, so every one gets its own complete reply.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "http/request.h"
#include "tests/support/script_server.h"

namespace zcv {
namespace {

constexpr int kThreads = 32;

TEST(HttpRequestConcurrencyTest, ParallelRequestsGetTheirOwnReplies) {
  test::ScriptServer server([](const std::string& head) {
    const std::string target = head.substr(4, head.find(' ', 4) - 4);
    return test::Script{test::Pause(20), test::Send(test::HttpReply("reply for " + target))};
  });
  std::atomic<int> matched{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const std::string path = "/TokenStatus.asp?iCardNo=" + std::to_string(i);
      const std::string uri = "http://127.0.0.1:" + std::to_string(server.port()) + path;
      HttpRequestOptions options;
      options.connectTimeout = 5;
      options.receiveTimeout = 5;
      options.sendTimeout = 5;
      HttpRequest request;
      const HttpResponse& response = request.response();
      if (request.Get(uri.c_str(), options).ok() &&
          std::string(response.body.data(), response.bodyLength) == "reply for " + path) {
        ++matched;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(matched.load(), kThreads);
  EXPECT_EQ(server.connections(), kThreads);
}

}  // namespace
}  // namespace zcv
