// The platform socket layer's own rules: resolver errors mapped by meaning,
// error texts always terminated, and waits on no socket failing at once.
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"

namespace zcv::platform {
namespace {

TEST(MapResolverErrorTest, MapsByMeaning) {
  const struct {
    int resolver_error;
    int code;
  } cases[] = {
      {EAI_NONAME, kLookupHostNotFound}, {EAI_AGAIN, kLookupTryAgain},
      {EAI_FAIL, kLookupNoRecovery},     {EAI_NODATA, kLookupNoData},
      {EAI_ADDRFAMILY, kLookupNoData},   {EAI_MEMORY, kLookupUnknown},
      {EAI_SYSTEM, kLookupUnknown},      {EAI_SERVICE, kLookupUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapResolverError(c.resolver_error), c.code) << c.resolver_error;
  }
}

TEST(LookupIpv4Test, DottedAddressNeedsNoResolver) {
  Ipv4Address address;
  ASSERT_EQ(LookupIpv4("127.0.0.1", &address), 0);
  EXPECT_EQ(address.bytes[0], 127);
  EXPECT_EQ(address.bytes[3], 1);
}

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
