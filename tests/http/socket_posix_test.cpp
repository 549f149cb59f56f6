// The platform socket layer's own rules: error texts always terminated, and
// waits on no socket failing at once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"

namespace zcv::platform {
namespace {

TEST(ErrorNumberTextTest, AlwaysTerminated) {
  char buffer[256];
  EXPECT_GT(std::strlen(ErrorNumberText(ECONNREFUSED, buffer, sizeof buffer)), 0u);
  EXPECT_GT(std::strlen(ErrorNumberText(99999, buffer, sizeof buffer)), 0u);
  char tiny[4];
  EXPECT_LT(std::strlen(ErrorNumberText(ECONNREFUSED, tiny, sizeof tiny)), sizeof tiny);
}

TEST(WaitTest, NoSocketFailsAtOnce) {
  const std::int64_t later = MonotonicMilliseconds() + 5000;
  EXPECT_EQ(WaitReadable(kNoSocket, later), -1);
  EXPECT_EQ(WaitWritable(kNoSocket, later), -1);
  int error = 0;
  EXPECT_EQ(WaitConnected(kNoSocket, later, &error), -1);
}

}  // namespace
}  // namespace zcv::platform
