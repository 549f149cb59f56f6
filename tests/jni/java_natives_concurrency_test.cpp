// Many threads in the native entry points at once, each with its own JNI
// environment: every call must get its own card's output. Runs under
// ThreadSanitizer, which a JVM cannot.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "fake_jni_env.h"
#include "jni/java_natives.h"
#include "service_fixture.h"
#include "support/script_server.h"

namespace zcv::test {
namespace {

constexpr int kThreads = 16;
constexpr int kRounds = 8;
constexpr long kFirstExpire = 1704067200;

long ExpireOf(int card) { return kFirstExpire + 86400L * card; }

std::string PasswordOf(int card) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", card);
  return text;
}

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string ExpiryTextOf(int card) {
  const std::time_t seconds = ExpireOf(card);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[20];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return Widen(text);
}

// Answers each request with the expiry and password of the card it names.
Script ReplyForCard(const std::string& request) {
  const std::size_t key = request.find("iCardNo=");
  const int card = key == std::string::npos ? 0 : std::atoi(request.c_str() + key + 8);
  return {
      Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>" + std::to_string(ExpireOf(card)) +
                           "</ExpireTime><ResvPassWord>" + PasswordOf(card) + "</ResvPassWord>")))};
}

class JavaNativesConcurrencyTest : public ServiceFixture {
 protected:
  JavaNativesConcurrencyTest() : server_(ReplyForCard) { StartService({server_.port()}); }

  ScopedTimeZone zone_{"UTC"};
  ScriptServer server_;
};

void CallAsThread(int thread) {
  FakeJniEnv jni;
  for (int r = 0; r < kRounds; ++r) {
    const int card = thread * kRounds + r;
    JNIEnv* env = jni.env();
    jint code = 0;
    switch (r % 4) {
      case 0:
        code = Java_vantor_mira_Zephyrcoilvault_TokenAuth2(env, nullptr, card, 1, jni.buffer());
        break;
      case 1:
        code =
            Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next(env, nullptr, card, 1, 2, jni.buffer());
        break;
      case 2:
        code = Java_vantor_mira_Zephyrcoilvault_TokenBindOther(env, nullptr, card, 1, jni.buffer());
        break;
      default:
        code = Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext(env, nullptr, card, 1, 2,
                                                                   jni.buffer());
    }
    EXPECT_EQ(code, 9999) << "card " << card;
    EXPECT_EQ(jni.appended, r % 4 < 2 ? ExpiryTextOf(card) : Widen(PasswordOf(card)))
        << "card " << card;
  }
}

TEST_F(JavaNativesConcurrencyTest, EachCallerReceivesItsOwnOutput) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(CallAsThread, t);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(server_.requests().size(), static_cast<std::size_t>(kThreads * kRounds));
}

}  // namespace
}  // namespace zcv::test
