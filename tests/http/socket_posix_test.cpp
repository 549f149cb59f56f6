// The platform socket layer's own rules: error texts always terminated, and
// waits on no socket failing at once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

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
  EXPECT_EQ(WaitReadable(kNoSocket, 5), -1);
  EXPECT_EQ(WaitWritable(kNoSocket, 5), -1);
  int error = 0;
  EXPECT_EQ(WaitConnected(kNoSocket, 5, &error), -1);
}

}  // namespace
}  // namespace zcv::platform
