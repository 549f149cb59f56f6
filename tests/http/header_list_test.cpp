// Header list: canonical spellings, replacement by name in any case, slot
// order, the 256-slot bound, and counted byte runs.
#include "http/header_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/http/header_test_util.h"

namespace zcv {
namespace {

using ListPtr = std::unique_ptr<HttpHeaderList>;

class HttpHeaderListTest : public ::testing::Test {
 protected:
  ListPtr list_ = std::make_unique<HttpHeaderList>();
};

TEST(HttpStandardHeaderNameTest, FindsTableSpellingInAnyCase) {
  const struct {
    const char* given;
    const char* expected;  // nullptr: not a standard name
  } cases[] = {
      {"connection", "Connection"},
      {"CONTENT-LENGTH", "Content-Length"},
      {"www-authenticate", "WWW-Authenticate"},
      {"te", "TE"},
      {"etag", "ETag"},
      {"content-md5", "Content-MD5"},
      {"Allow", "Allow"},
      {"referrer", "Referrer"},
      {"via", "Via"},
      {"vary", "Vary"},
      {"accept-language", "Accept-Language"},
      {"PROXY-AUTHORIZATION", "Proxy-Authorization"},
      {"if-unmodified-since", "If-Unmodified-Since"},
      {"Referer", nullptr},
      {"X-Custom", nullptr},
      {"Connectio", nullptr},
      {"Transfer-Encodinh", nullptr},
      {"If-Unmodified-Since-X", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    const char* found = HttpStandardHeaderName(c.given);
    if (c.expected == nullptr) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_STREQ(found, c.expected);
    }
  }
  EXPECT_EQ(HttpStandardHeaderName(nullptr), nullptr);
}

TEST_F(HttpHeaderListTest, SecondSetOfSameNameReplacesValueAndKeepsSpelling) {
  EXPECT_EQ(test::SetHeader(list_.get(), "connection", "keep-alive"), 1);
  EXPECT_EQ(test::SetHeader(list_.get(), "Connection", "close"), 1);
  EXPECT_EQ(list_->names[0], "Connection");
  EXPECT_EQ(list_->values[0], "close");
  EXPECT_TRUE(list_->names[1].empty());
  EXPECT_STREQ(HttpHeaderGetStandard(list_.get(), HttpStandardHeaderName("CONNECTION")), "close");
  EXPECT_EQ(HttpHeaderGetStandard(list_.get(), HttpStandardHeaderName("Host")), nullptr);

  EXPECT_EQ(test::SetHeader(list_.get(), "x-Trace", "1"), 1);
  EXPECT_EQ(test::SetHeader(list_.get(), "X-TRACE", "2"), 1);
  EXPECT_EQ(list_->names[1], "x-Trace");  // not standard: kept as first given
  EXPECT_STREQ(test::GetHeader(list_.get(), "X-trace"), "2");
}

TEST_F(HttpHeaderListTest, KeepsFirstSetOrderAndEmptyValues) {
  test::SetHeader(list_.get(), "B", "1");
  test::SetHeader(list_.get(), "A", "");
  test::SetHeader(list_.get(), "b", "3");
  EXPECT_EQ(list_->names[0], "B");
  EXPECT_EQ(list_->values[0], "3");
  EXPECT_EQ(list_->names[1], "A");
  EXPECT_STREQ(test::GetHeader(list_.get(), "a"), "");
  EXPECT_EQ(test::GetHeader(list_.get(), "C"), nullptr);
  EXPECT_EQ(test::GetHeader(list_.get(), nullptr), nullptr);
}

TEST_F(HttpHeaderListTest, RefusesMissingArgumentsAndEmptyNames) {
  EXPECT_EQ(test::SetHeader(nullptr, "A", "1"), 0);
  EXPECT_EQ(test::SetHeader(list_.get(), nullptr, "1"), 0);
  EXPECT_EQ(test::SetHeader(list_.get(), "A", nullptr), 0);
  EXPECT_EQ(test::SetHeader(list_.get(), "", "1"), 0);
  EXPECT_EQ(HttpHeaderSetCounted(list_.get(), "A", 0, "1", 1), 0);
  EXPECT_TRUE(list_->names[0].empty());
}

TEST_F(HttpHeaderListTest, HoldsAtMost256Names) {
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(test::SetHeader(list_.get(), ("H" + std::to_string(i)).c_str(), "v"), 1);
  }
  EXPECT_EQ(test::SetHeader(list_.get(), "One-Too-Many", "v"), 0);
  EXPECT_EQ(test::GetHeader(list_.get(), "One-Too-Many"), nullptr);
  EXPECT_EQ(test::SetHeader(list_.get(), "h255", "replaced"), 1);  // replacing still works
  EXPECT_STREQ(test::GetHeader(list_.get(), "H255"), "replaced");
}

TEST_F(HttpHeaderListTest, CountedRunsNeedNoTerminator) {
  const char line[] = "content-typeXtext/xmlY";
  EXPECT_EQ(HttpHeaderSetCounted(list_.get(), line, 12, line + 13, 8), 1);
  EXPECT_EQ(HttpHeaderSetCounted(list_.get(), "Empty", 5, "", 0), 1);
  // A zero byte ends a run, as it ends the run's zero-terminated copy.
  EXPECT_EQ(HttpHeaderSetCounted(list_.get(), "empty\0X", 7, "a\0b", 3), 1);
  EXPECT_EQ(HttpHeaderSetCounted(list_.get(), "\0X", 2, "v", 1), 0);
  EXPECT_EQ(list_->names[0], "Content-Type");
  EXPECT_EQ(list_->values[0], "text/xml");
  EXPECT_EQ(list_->names[1], "Empty");
  EXPECT_STREQ(test::GetHeader(list_.get(), "EMPTY"), "a");
  EXPECT_TRUE(list_->names[2].empty());
}

}  // namespace
}  // namespace zcv
