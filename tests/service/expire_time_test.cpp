// Expiry text: the hand-written fields give what strftime gives for every
// zone offset and for the ends of the range of an int of seconds.
#include "service/expire_time.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "service_fixture.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

std::string Strftime(int expire) {
  const std::time_t seconds = expire;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[kExpireTextBytes] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

TEST(FormatExpireTimeTest, MatchesStrftimeInEveryZone) {
  const int times[] = {INT_MIN, -1, 0, 951782400 /* 2000-02-29 */, 1704067199, INT_MAX};
  for (const char* zone : {"UTC", "Asia/Shanghai", "America/St_Johns", "Pacific/Kiritimati"}) {
    ScopedTimeZone scoped(zone);
    for (const int expire : times) {
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(expire));
      ServiceMutex mutex;
      char text[kExpireTextBytes + 1];
      text[kExpireTextBytes] = 'x';
      FormatExpireTime(mutex, expire, text);
      EXPECT_EQ(text, Strftime(expire));
      EXPECT_EQ(text[kExpireTextBytes], 'x');  // 20 bytes written, no more
    }
  }
}

}  // namespace
}  // namespace zcv::test
