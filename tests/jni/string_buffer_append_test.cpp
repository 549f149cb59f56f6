// The JNI call sequence of an append: the method looked up, the text
// handed over, and that no JNI call follows a pending Java exception.
#include "jni/string_buffer_append.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_jni_env.h"

namespace zcv::test {
namespace {

using Calls = std::vector<std::string>;

class StringBufferAppendTest : public testing::Test {
 protected:
  AppendOutcome Append(std::string_view bytes) {
    return AppendToStringBuffer(jni_.env(), jni_.buffer(), bytes);
  }
  FakeJniEnv jni_;
};

TEST_F(StringBufferAppendTest, AppendsTheDecodedTextThroughAppendString) {
  EXPECT_EQ(Append("12\xff"
                   "3"),
            AppendOutcome::kAppended);
  EXPECT_EQ(jni_.methodName, "append");
  EXPECT_EQ(jni_.methodSignature, "(Ljava/lang/String;)Ljava/lang/StringBuffer;");
  EXPECT_EQ(jni_.appended, u"12\ufffd3");
  EXPECT_EQ(jni_.calls, (Calls{"GetObjectClass", "GetMethodID", "NewString", "CallObjectMethodV",
                               "ExceptionCheck"}));
}

struct FailureCase {
  const char* name;
  void (*arrange)(FakeJniEnv&);
  AppendOutcome outcome;
  Calls calls;  // the exception is pending after the last one
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class StringBufferAppendFailureTest : public StringBufferAppendTest,
                                      public testing::WithParamInterface<FailureCase> {};

TEST_P(StringBufferAppendFailureTest, StopsAtThePendingException) {
  GetParam().arrange(jni_);
  EXPECT_EQ(Append("123456"), GetParam().outcome);
  EXPECT_EQ(jni_.calls, GetParam().calls);
  EXPECT_TRUE(jni_.pending);
}

INSTANTIATE_TEST_SUITE_P(Failures, StringBufferAppendFailureTest,
                         testing::Values(FailureCase{"no_append_method",
                                                     [](FakeJniEnv& f) { f.hasAppend = false; },
                                                     AppendOutcome::kNoAppendMethod,
                                                     {"GetObjectClass", "GetMethodID"}},
                                         FailureCase{
                                             "string_not_made",
                                             [](FakeJniEnv& f) { f.newStringFails = true; },
                                             AppendOutcome::kJavaException,
                                             {"GetObjectClass", "GetMethodID", "NewString"}},
                                         FailureCase{"append_throws",
                                                     [](FakeJniEnv& f) { f.appendThrows = true; },
                                                     AppendOutcome::kJavaException,
                                                     {"GetObjectClass", "GetMethodID", "NewString",
                                                      "CallObjectMethodV", "ExceptionCheck"}}));

}  // namespace
}  // namespace zcv::test
