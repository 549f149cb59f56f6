// The four native entry points against a loopback server and a hand-made
// JNI environment: the result each returns when the append cannot be made,
// which a real JVM never lets a test provoke.
#include "jni/java_natives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_jni_env.h"
#include "service_fixture.h"
#include "support/script_server.h"

namespace zcv::test {
namespace {

using Calls = std::vector<std::string>;

struct NativeCase {
  const char* name;
  jint (*call)(JNIEnv*, jobject);
  std::u16string output;
};

void PrintTo(const NativeCase& c, std::ostream* os) { *os << c.name; }

const std::string kAccepted = Reply(
    "<Result>9999</Result><ExpireTime>1704067200</ExpireTime><ResvPassWord>123456</ResvPassWord>");

class JavaNativesTest : public ServiceFixture, public testing::WithParamInterface<NativeCase> {
 protected:
  JavaNativesTest() : server_(Script{Send(HttpReply(kAccepted))}) {
    StartService({server_.port()});
  }

  jint Call() { return GetParam().call(jni_.env(), jni_.buffer()); }

  ScopedTimeZone zone_{"UTC"};
  ScriptServer server_;
  FakeJniEnv jni_;
};

TEST_P(JavaNativesTest, AcceptedOutputIsAppended) {
  EXPECT_EQ(Call(), 9999);
  EXPECT_EQ(jni_.appended, GetParam().output);
  EXPECT_EQ(jni_.calls.back(), "ExceptionCheck");
}

TEST_P(JavaNativesTest, NullStringBufferIsRefusedBeforeAnything) {
  EXPECT_EQ(GetParam().call(jni_.env(), nullptr), 1011);
  EXPECT_EQ(jni_.calls, Calls{});
  EXPECT_EQ(server_.requests().size(), 0u);
}

TEST_P(JavaNativesTest, MissingAppendGivesNoAnswerAfterTheOperationRan) {
  jni_.hasAppend = false;
  EXPECT_EQ(Call(), 1012);
  EXPECT_EQ(jni_.calls, (Calls{"GetObjectClass", "GetMethodID"}));
  EXPECT_EQ(server_.requests().size(), 1u);
}

TEST_P(JavaNativesTest, ThrowingAppendKeepsTheServiceVerdict) {
  jni_.appendThrows = true;
  EXPECT_EQ(Call(), 9999);
  EXPECT_EQ(jni_.calls.back(), "ExceptionCheck");
  EXPECT_TRUE(jni_.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Natives, JavaNativesTest,
    testing::Values(NativeCase{"TokenAuth2",
                               [](JNIEnv* env, jobject out) {
                                 return Java_vantor_mira_Zephyrcoilvault_TokenAuth2(env, nullptr, 1,
                                                                                    2, out);
                               },
                               u"2024-01-01 00:00:00"},
                    NativeCase{"TokenAuth2Next",
                               [](JNIEnv* env, jobject out) {
                                 return Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next(
                                     env, nullptr, 1, 2, 3, out);
                               },
                               u"2024-01-01 00:00:00"},
                    NativeCase{"TokenBindOther",
                               [](JNIEnv* env, jobject out) {
                                 return Java_vantor_mira_Zephyrcoilvault_TokenBindOther(
                                     env, nullptr, 1, 2, out);
                               },
                               u"123456"},
                    NativeCase{"TokenBindOtherNext",
                               [](JNIEnv* env, jobject out) {
                                 return Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext(
                                     env, nullptr, 1, 2, 3, out);
                               },
                               u"123456"}));

}  // namespace
}  // namespace zcv::test
