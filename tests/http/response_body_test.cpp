// Body framing fed through a socket pair with receive units down to one
// byte: by length, chunked, until close, the "close" handling, refusals and
// the size bounds.
#include "http/response_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "http/response_reader.h"
#include "tests/http/fed_response.h"

namespace zcv {
namespace {

// Reads the head of the fed bytes and then the body.
struct Exchange : test::FedResponse {
  int result;

  Exchange(const std::string& bytes, int unit, bool close = true)
      : FedResponse(bytes, unit, close),
        result(HttpReadResponseHead(response.get(), connection.get())) {
    if (result == 2) result = HttpReadResponseBody(response.get(), connection.get());
  }
  std::string Body() const {
    return response->body.empty() ? "<none>"
                                  : std::string(response->body.data(), response->bodyLength);
  }
  bool SocketOpen() const { return connection->socket != platform::kNoSocket; }
};

const int kUnits[] = {1, 2, 3, 7, 1024};
const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

TEST(HttpReadResponseBodyTest, ReadsEachFraming) {
  const struct {
    std::string bytes;
    std::string body;
    bool close;       // the peer closes after the bytes
    bool socketOpen;  // the socket stays open after the body
  } cases[] = {
      {kOk + "Content-Length: 5\r\n\r\nhello", "hello", false, true},
      {kOk + "Content-Length: 5\r\nConnection: Close\r\n\r\nhello", "hello", false, false},
      {kOk + "Content-Length: 0\r\n\r\n", "<none>", false, true},
      {kOk + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\nabc", "abc", false, true},
      {kChunked + "5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n", "helloabc", false, true},
      {kOk + "Transfer-Encoding: CHUNKED\r\n\r\nA;ext=1\r\n0123456789\r\na ; "
             "x\r\nabcdefghij\r\n0\r\n\r\n",
       "0123456789abcdefghij", false, true},
      {kChunked + "0\r\n\r\n", "<none>", false, true},
      {kChunked + "3\r\nabc\r\n0\r\nTrailer: x\r\n\r\n", "abc", false, true},
      {kChunked + "3\r\nabc\r\n0\r\n", "abc", true, true},
      {kOk + "\r\nuntil the peer closes", "until the peer closes", true, false},
      {kOk + "X: y\r\n\r\n", "", true, false},  // an empty body is still stored
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(c.bytes + " unit " + std::to_string(unit));
      const Exchange exchange(c.bytes, unit, c.close);
      ASSERT_EQ(exchange.result, 2) << exchange.Reason();
      EXPECT_EQ(exchange.Body(), c.body);
      if (!exchange.response->body.empty()) {
        EXPECT_EQ(exchange.response->body.back(), '\0');
        EXPECT_EQ(exchange.response->body.size(), c.body.size() + 1);
      }
      EXPECT_EQ(exchange.SocketOpen(), c.socketOpen);
    }
  }
}

TEST(HttpReadResponseBodyTest, DeliversEverythingBufferedWithTheHead) {
  const Exchange exchange(kOk + "Content-Length: 2\r\n\r\nabcd", 1024, false);
  EXPECT_EQ(exchange.result, 2);
  EXPECT_EQ(exchange.Body(), "abcd");
}

TEST(HttpReadResponseBodyTest, RefusesBadFramingAndCutBodies) {
  const struct {
    std::string bytes;
    const char* reason;  // "" when the failure carries no reason
  } cases[] = {
      {kOk + "Content-Length: 5 \r\n\r\nhello", "Content length in http response was not a number"},
      {kOk + "Content-Length: -1\r\n\r\n", "Content length in http response was not a number"},
      {kOk + "Content-Length:\r\n\r\n", "Content length in http response was not a number"},
      {kOk + "Transfer-Encoding: gzip\r\n\r\n", "Unknown encoding type in http response"},
      {kOk + "Content-Length: 10\r\n\r\nhello", ""},
      {kChunked + "5\r\nhel", ""},
      {kChunked + "5\r\nhello\r\n3", ""},
      {kChunked + " 5\r\nhello\r\n0\r\n\r\n", ""},
      {kChunked + ";x\r\nhello\r\n0\r\n\r\n", ""},
      {kOk + "Content-Length: 11111111111\r\n\r\n", "Http response body too large"},
      {kOk + "Content-Length: 2147483648\r\n\r\n", "Http response body too large"},
      {kOk + "Content-Length: 1048577\r\n\r\n", "Http response body too large"},
      {kChunked + "100001\r\n", "Http response body too large"},
      {kChunked + "000000001\r\nx\r\n0\r\n\r\n", "Http response body too large"},
      {kChunked + "FFFFFFFF\r\n", "Http response body too large"},
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(c.bytes + " unit " + std::to_string(unit));
      const Exchange exchange(c.bytes, unit);
      EXPECT_EQ(exchange.result, -1);
      EXPECT_EQ(exchange.Reason(), c.reason);
      EXPECT_LE(exchange.connection->capacity, 2 * 1024);  // nothing sized from the announcement
    }
  }
}

TEST(HttpReadResponseBodyTest, ChunkSizeLineIsBounded) {
  const Exchange exchange(kChunked + "1;" + std::string(100 * 1024, 'x'), 1024, false);
  EXPECT_EQ(exchange.result, -1);
  EXPECT_EQ(exchange.Reason(), "Http response chunk size line too long");
}

TEST(HttpReadResponseBodyTest, SilentPeerFailsUntilCloseBody) {
  const Exchange exchange(kOk + "\r\npartial", 1024, false);
  EXPECT_EQ(exchange.result, -1);
  EXPECT_TRUE(exchange.SocketOpen());
}

TEST(IsDecimalNumberTest, DigitsOnly) {
  EXPECT_TRUE(IsDecimalNumber("0"));
  EXPECT_TRUE(IsDecimalNumber("0012"));
  EXPECT_FALSE(IsDecimalNumber(""));
  EXPECT_FALSE(IsDecimalNumber("+1"));
  EXPECT_FALSE(IsDecimalNumber("1 "));
  EXPECT_FALSE(IsDecimalNumber(" 1"));
  EXPECT_FALSE(IsDecimalNumber(nullptr));
}

}  // namespace
}  // namespace zcv
