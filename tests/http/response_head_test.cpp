// Response head reading fed through a socket pair; a receive unit of one
// byte makes the reader see the head split at every point.
#include "http/response_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/http/fed_response.h"

namespace zcv {
namespace {

// Reads the head of the fed bytes.
struct Reader : test::FedResponse {
  int result;

  Reader(const std::string& bytes, int unit, bool close = true)
      : FedResponse(bytes, unit, close),
        result(HttpReadResponseHead(response.get(), connection.get())) {}
  std::string Buffered() const {
    return std::string(connection->buffer.get() + connection->parsed,
                       connection->used - connection->parsed);
  }
};

const int kUnits[] = {1, 2, 3, 7, 1024};

TEST(HttpReadResponseHeadTest, ReadsHeadsSplitAnywhere) {
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
      SCOPED_TRACE(c.bytes + " unit " + std::to_string(unit));
      const Reader reader(c.bytes, unit);
      ASSERT_EQ(reader.result, 2) << reader.Reason();
      EXPECT_EQ(reader.response->statusCode, c.status);
      if (c.header != nullptr) {
        EXPECT_NE(HttpHeaderGet(reader.response->headers, c.header), nullptr);
      }
      EXPECT_EQ(HttpHeaderGet(reader.response->headers, "Y"), nullptr);  // only in 100 heads
      // Reading stops once the head is complete: at most the body's start is buffered.
      EXPECT_EQ(c.rest.substr(0, reader.Buffered().size()), reader.Buffered());
    }
  }
}

TEST(HttpReadResponseHeadTest, RefusesMalformedOrShortHeads) {
  const struct {
    std::string bytes;
    const char* reason;
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
  };
  for (const auto& c : cases) {
    for (int unit : kUnits) {
      SCOPED_TRACE(c.bytes + " unit " + std::to_string(unit));
      const Reader reader(c.bytes, unit);
      EXPECT_EQ(reader.result, -1);
      EXPECT_EQ(reader.Reason(), c.reason);
    }
  }
}

TEST(HttpReadResponseHeadTest, SilentPeerFailsTheRead) {
  EXPECT_EQ(Reader("", 1024, false).Reason(), "Failed to read http response line");
  EXPECT_EQ(Reader("HTTP/1.1 100 Continue\r\n\r\n", 1024, false).Reason(),
            "Failed to read http response line");
}

TEST(HttpReadResponseHeadTest, FinalHeadBufferedBehind100NeedsNoMoreData) {
  const Reader reader("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", 1024, false);
  EXPECT_EQ(reader.result, 2);
  EXPECT_EQ(reader.response->statusCode, 200);
}

TEST(HttpReadResponseHeadTest, HeadSizeIsBounded) {
  const std::string status = "HTTP/1.1 200 OK\r\nX: ";
  const auto head_of = [&](std::size_t size) {
    return status + std::string(size - status.size() - 4, 'a') + "\r\n\r\n";
  };
  EXPECT_EQ(Reader(head_of(64 * 1024) + "body", 1024).result, 2);
  const Reader over(head_of(64 * 1024 + 1), 1024);
  EXPECT_EQ(over.result, -1);
  EXPECT_EQ(over.Reason(), "Http response headers too large");
  const Reader endless(status + std::string(100 * 1024, 'a'), 1024, false);
  EXPECT_EQ(endless.Reason(), "Http response headers too large");
  EXPECT_LE(endless.connection->capacity, 64 * 1024 + 1024);
}

}  // namespace
}  // namespace zcv
