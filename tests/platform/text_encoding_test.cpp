// GBK to UTF-8: the configuration messages become readable, and whatever
// bytes come in, what goes out is valid UTF-8.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace zcv::platform {
namespace {

struct Case {
  const char* name;
  std::string gbk;
  std::string utf8;
};

TEST(TextEncodingTest, ConvertsGbkAndReplacesWhatIsNot) {
  const Case cases[] = {
      {"ascii", "ServerIP1 error\n", "ServerIP1 error\n"},
      {"empty", "", ""},
      {"message", "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe",
       "\xe8\xaf\xbb\xe9\x85\x8d\xe7\xbd\xae\xe6\x96\x87\xe4\xbb\xb6"},
      {"mixed",
       "a\xa3\xac"
       "b",
       "a\xef\xbc\x8c"
       "b"},
      {"bad second byte", "\xb6\x20x", "\xef\xbf\xbd x"},
      {"lead byte cut off", "ok\xb6", "ok\xef\xbf\xbd"},
      {"byte that leads nothing",
       "\xff"
       "a",
       "\xef\xbf\xbd"
       "a"},
      {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.name;
  }
}

}  // namespace
}  // namespace zcv::platform
