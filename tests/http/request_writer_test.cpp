// Request writing: the exact bytes of the one request this client sends.
#include "http/request_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/http/attached_connection.h"

namespace zcv {
namespace {

TEST(HttpWriteGetTest, WritesTheRequestOfTheService) {
  const struct {
    const char* host;
    const char* hostLine;
  } cases[] = {{"10.0.0.7", "Host: 10.0.0.7\r\n"}, {"[2001:db8::10]", "Host: [2001:db8::10]\r\n"}};
  for (const auto& c : cases) {
    test::SocketPair pair;
    HttpConnection connection;
    test::Attach(&connection, pair.ReleaseLocal(), 1);
    ASSERT_TRUE(HttpWriteGet(&connection, c.host, "/TokenAuth.asp?iCardNo=1&iDynpasswd=2").ok());
    EXPECT_EQ(pair.ReadAvailable(),
              std::string("GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
                          "Connection: close\r\n") +
                  c.hostLine + "User-Agent: zephyrcoilvault/1.0\r\n\r\n");
    EXPECT_EQ(connection.used, 0);
    EXPECT_EQ(connection.capacity, 1024);
  }
}

}  // namespace
}  // namespace zcv
