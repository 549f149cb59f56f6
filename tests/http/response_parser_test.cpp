// The response parser fed directly, in receive units down to one byte so
// that every head, line and chunk is split at every point: heads with 100
// skips, each framing, each refusal and the size bounds.
#include "http/response_parser.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "http/header_list.h"
#include "tests/http/fed_response.h"
#include "tests/http/header_test_util.h"

namespace zcv {
namespace {

using test::FedResponse;

const int kUnits[] = {1, 2, 3, 7, 1024};
const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

std::string Trace(const std::string& bytes, int unit) {
  return bytes.substr(0, 200) + " unit " + std::to_string(unit);
}

TEST(HttpParseResponseTest, ReadsHeadsSplitAnywhere) {
  const struct {
    std::string bytes;
    int status;
    const char* header;  // a header expected with value "1", or nullptr
    std::string rest;    // the body bytes behind the head
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX: 1\r\n\r\nabc", 200, "X", "abc"},
      {"HTTP/1.0 404 Not Found\r\n\r\n", 404, nullptr, ""},
      {"HTTP/2.0 500 \r\nX: 1\r\n\r\nrest", 500, "X", "rest"},
      {"HTTP/1.1 204 No Content\r\r\n\nX: 1\r\n\r\n", 204, "X", ""},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nX: 1\r\n\r\nbody", 200, "X", "body"},
      {"HTTP/1.1 100 Continue\r\nY: 2\r\n\r\nHTTP/1.1 100 Again\r\n\r\nHTTP/1.1 201 Made\r\nX: "
       "1\r\n\r\n",
       201, "X", ""},
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(Trace(c.bytes, unit));
      const FedResponse fed(c.bytes, unit, true, true);
      ASSERT_EQ(fed.result, HttpParse::kHeadComplete) << fed.Reason();
      EXPECT_EQ(fed.response.statusCode, c.status);
      if (c.header != nullptr) {
        EXPECT_NE(test::GetHeader(&fed.response.headers, c.header), nullptr);
      }
      EXPECT_EQ(test::GetHeader(&fed.response.headers, "Y"), nullptr);  // only in 100 heads
      // Reading stops once the head is complete: at most the body's start is left.
      const std::string buffered = c.bytes.substr(fed.taken, fed.received - fed.taken);
      EXPECT_EQ(c.rest.substr(0, buffered.size()), buffered);
    }
  }
}

TEST(HttpParseResponseTest, FinalHeadBufferedBehind100NeedsNoMoreData) {
  const FedResponse fed("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", 1024, false, true);
  EXPECT_EQ(fed.result, HttpParse::kHeadComplete);
  EXPECT_EQ(fed.response.statusCode, 200);
}

TEST(HttpParseResponseTest, ReadsEachFraming) {
  const struct {
    std::string bytes;
    std::string body;
    bool close;  // the peer closes after the bytes
  } cases[] = {
      {kOk + "Content-Length: 5\r\n\r\nhello", "hello", false},
      {kOk + "Content-Length: 0\r\n\r\n", "<none>", false},
      {kOk + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\nabc", "abc", false},
      {kChunked + "5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n", "helloabc", false},
      {kOk + "Transfer-Encoding: CHUNKED\r\n\r\nA;ext=1\r\n0123456789\r\na ; "
             "x\r\nabcdefghij\r\n0\r\n\r\n",
       "0123456789abcdefghij", false},
      {kChunked + "0\r\n\r\n", "<none>", false},
      {kChunked + "3\r\nabc\r\n0\r\nTrailer: x\r\n\r\n", "abc", false},
      {kChunked + "3\r\nabc\r\n0\r\n", "abc", true},
      {kOk + "\r\nuntil the peer closes", "until the peer closes", true},
      {kOk + "X: y\r\n\r\n", "", true},  // an empty body is still stored
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(Trace(c.bytes, unit));
      const FedResponse fed(c.bytes, unit, c.close);
      ASSERT_EQ(fed.result, HttpParse::kComplete) << fed.Reason();
      EXPECT_EQ(fed.Body(), c.body);
      if (!fed.response.body.empty()) {
        EXPECT_EQ(fed.response.body.back(), '\0');
        EXPECT_EQ(fed.response.body.size(), c.body.size() + 1);
      }
    }
    // Cuts at every byte split the receives as one-byte units do.
    std::vector<std::size_t> everyByte(c.bytes.size());
    std::iota(everyByte.begin(), everyByte.end(), 0);
    const FedResponse cut(c.bytes, 1024, c.close, false, {everyByte.data(), everyByte.size()});
    EXPECT_EQ(cut.Body(), c.body) << c.bytes;
  }
}

// Whether the connection may carry another request after this response.
TEST(HttpParseResponseTest, EndsTheConnectionUnlessTheResponseKeepsIt) {
  const struct {
    std::string head;
    bool close;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n", false},
      {"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n", false},
      {"HTTP/1.1 200 OK\r\nConnection: closed, x-close\r\n", false},
      {"HTTP/1.1 200 OK\r\nConnection: close\r\n", true},
      {"HTTP/1.1 200 OK\r\nConnection: Keep-Alive,\tCLOSE \r\n", true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", true},  // two framings
      {"HTTP/1.0 200 OK\r\n", true},
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\n", false},
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive, close\r\n", true},
      {"HTTP/2.0 200 OK\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head);
    const FedResponse fed(c.head + "Content-Length: 2\r\n\r\nok", 1024, false);
    ASSERT_EQ(fed.result, HttpParse::kComplete) << fed.Reason();
    EXPECT_EQ(fed.parser.closeAfterBody, c.close);
  }
}

TEST(HttpParseResponseTest, DeliversEverythingBufferedWithTheHead) {
  const std::string bytes = kOk + "Content-Length: 2\r\n\r\nabcd";
  const FedResponse fed(bytes, 1024, false);
  EXPECT_EQ(fed.result, HttpParse::kComplete);
  EXPECT_EQ(fed.Body(), "abcd");
  // A cut where the head ends leaves the receive after it to what is due.
  const std::size_t headEnd = bytes.size() - 4;
  EXPECT_EQ(FedResponse(bytes, 1024, false, false, {&headEnd, 1}).Body(), "ab");
}

// An announcement alone takes bounded room; the body grows as it arrives.
TEST(HttpParseResponseTest, RoomForALargeAnnouncedBodyGrowsWithItsBytes) {
  const std::string head = kOk + "Content-Length: 1048576\r\n\r\n";
  const std::string body(1024 * 1024, 'b');
  EXPECT_LE(FedResponse(head, 1024, false).response.body.capacity(), 64u * 1024);
  const FedResponse fed(head + body, 1024, false);
  EXPECT_EQ(fed.result, HttpParse::kComplete);
  EXPECT_EQ(fed.Body(), body);
  EXPECT_EQ(fed.response.body.capacity(), body.size() + 1);  // grown no further than announced
}

TEST(HttpParseResponseTest, RefusesMalformedCutAndOversizedResponses) {
  const std::string status = "HTTP/1.1 200 OK\r\nX: ";
  const auto head_of = [&](std::size_t size) {
    return status + std::string(size - status.size() - 4, 'a') + "\r\n\r\n";
  };
  const struct {
    std::string bytes;
    const char* reason;  // "" when the failure carries no reason
  } cases[] = {
      {"", "Short read while reading http response headers"},
      {"HTTP/1.1 200 OK\r\nA: 1\r\n", "Short read while reading http response headers"},
      {"HTTP/1.1\r\n\r\n", "The http response line was too short."},
      {"HTTX/1.1 200 OK\r\n\r\n", "The http response line did not begin with \"HTTP\""},
      {"http/1.1 200 OK\r\n\r\n", "The http response line did not begin with \"HTTP\""},
      {"HTTP/1.1 200OK\r\n\r\n", "Error parsing http response line"},
      {"HTTP/1.x 200 OK\r\n\r\n", "Error parsing http response line"},
      {"HTTP/11 200 OK\r\n\r\n", "Error parsing http response line"},
      {"HTTP/1.1 2x0 OK\r\n\r\n", "Error parsing http response line"},
      {"HTTP/1.1 200 OK\r\n A: 1\r\n\r\n", "The first http response header began with whitespace"},
      {"HTTP/1.1 200 OK\r\n: 1\r\n\r\n", "An http response header was zero length"},
      {"HTTP/1.1 200 OK\r\nA\r\n\r\n", "Failed to find seperator in http response headers"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n",
       "Short read while reading http response headers"},
      {head_of(64 * 1024 + 1), "Http response headers too large"},
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
      {kChunked + "1;" + std::string(100 * 1024, 'x'), "Http response chunk size line too long"},
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(Trace(c.bytes, unit));
      const FedResponse fed(c.bytes, unit, true);
      EXPECT_EQ(fed.result, HttpParse::kFailed);
      EXPECT_EQ(fed.Reason(), c.reason);
      EXPECT_LE(fed.response.body.capacity(), 1024u);  // nothing sized from the announcement
    }
  }
  EXPECT_EQ(FedResponse(head_of(64 * 1024) + "body", 1024, true).result, HttpParse::kComplete);
}

TEST(HttpFindBytesTest, FindsFirstOccurrence) {
  const char data[] = "ab\r\n\r\ncd\r\n\r\n";
  EXPECT_EQ(HttpFindBytes(data, 12, "\r\n\r\n", 4), 2);
  EXPECT_EQ(HttpFindBytes(data, 5, "\r\n\r\n", 4), -1);  // cut before its end
  EXPECT_EQ(HttpFindBytes(data, 2, "abc", 3), -1);       // pattern longer than data
  EXPECT_EQ(HttpFindBytes(data, 12, "cd", 2), 6);
  EXPECT_EQ(HttpFindBytes("\r\r\r\n", 4, "\r\n", 2), 2);  // a near match first
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
