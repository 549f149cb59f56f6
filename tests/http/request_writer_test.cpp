// Request writing: the exact bytes of the request line and header block,
// the default headers, and the method table.
#include "http/request_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/socket_pair.h"

namespace zcv {
namespace {

struct Deleter {
  void operator()(HttpOutgoingRequest* outgoing) const { HttpOutgoingRequestDestroy(outgoing); }
  void operator()(HttpConnection* connection) const { HttpConnectionDestroy(connection); }
};

class HttpWriteRequestTest : public ::testing::Test {
 protected:
  HttpWriteRequestTest() {
    HttpConnectionAttach(connection_.get(), pair_.ReleaseLocal());
    HttpConnectionStartPhase(connection_.get(), 1);
    outgoing_->host = "10.0.0.7";
    outgoing_->path = "/TokenAuth.asp?iCardNo=1&iDynpasswd=2";
  }

  test::SocketPair pair_;
  std::unique_ptr<HttpOutgoingRequest, Deleter> outgoing_{HttpOutgoingRequestCreate()};
  std::unique_ptr<HttpConnection, Deleter> connection_{HttpConnectionCreate()};
};

TEST_F(HttpWriteRequestTest, WritesTheRequestOfTheService) {
  HttpHeaderSet(&outgoing_->headers, "connection", "close");
  ASSERT_EQ(HttpAddDefaultHeaders(outgoing_.get()), 0);
  ASSERT_EQ(HttpWriteRequest(outgoing_.get(), connection_.get()), 2);
  EXPECT_EQ(pair_.ReadAvailable(),
            "GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: 10.0.0.7\r\n"
            "User-Agent: zephyrcoilvault/1.0\r\n"
            "\r\n");
  EXPECT_EQ(connection_->used, 0);
  EXPECT_EQ(connection_->capacity, 1024);
}

TEST_F(HttpWriteRequestTest, KeepsCallerSpellingUserAgentAndEmptyValues) {
  HttpHeaderSet(&outgoing_->headers, "user-agent", "probe/2");
  HttpHeaderSet(&outgoing_->headers, "X-Empty", "");
  HttpHeaderSet(&outgoing_->headers, "x-MiXed", "v");
  HttpAddDefaultHeaders(outgoing_.get());
  ASSERT_EQ(HttpWriteRequest(outgoing_.get(), connection_.get()), 2);
  EXPECT_EQ(pair_.ReadAvailable(),
            "GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
            "User-Agent: probe/2\r\n"
            "X-Empty: \r\n"
            "x-MiXed: v\r\n"
            "Host: 10.0.0.7\r\n"
            "\r\n");
}

TEST_F(HttpWriteRequestTest, FailsWithoutPathOrPeer) {
  outgoing_->path = nullptr;
  EXPECT_EQ(HttpWriteRequest(outgoing_.get(), connection_.get()), -1);
  outgoing_->path = "/";
  HttpConnectionClose(connection_.get());
  EXPECT_EQ(HttpWriteRequest(outgoing_.get(), connection_.get()), -1);
}

TEST(HttpAddDefaultHeadersTest, HostWithoutPortAndNoneWhenUnbound) {
  std::unique_ptr<HttpOutgoingRequest, Deleter> outgoing(HttpOutgoingRequestCreate());
  EXPECT_EQ(HttpAddDefaultHeaders(nullptr), -1);
  ASSERT_EQ(HttpAddDefaultHeaders(outgoing.get()), 0);
  EXPECT_EQ(HttpHeaderGet(&outgoing->headers, "Host"), nullptr);
  outgoing->host = "example.test";
  HttpAddDefaultHeaders(outgoing.get());
  EXPECT_STREQ(HttpHeaderGet(&outgoing->headers, "host"), "example.test");
  EXPECT_STREQ(HttpHeaderGet(&outgoing->headers, "User-Agent"), "zephyrcoilvault/1.0");
  EXPECT_EQ(outgoing->method, kHttpGet);
}

}  // namespace
}  // namespace zcv
