// The receive loop around the parser, over a local socket pair: a peer that
// goes silent, the socket closed or kept after the body, and the buffer
// bounded while a head grows without end.
#include "http/response_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/http/attached_connection.h"

namespace zcv {
namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\n";

// Reads the head and then the body of the bytes written to the socket, with
// a deadline already past: every byte is there, or the read fails at once.
struct Exchange {
  test::SocketPair pair;
  std::unique_ptr<HttpResponse> response = std::make_unique<HttpResponse>();
  std::unique_ptr<HttpConnection> connection = std::make_unique<HttpConnection>();
  platform::NetStatus head;
  platform::NetStatus body;

  Exchange(const std::string& bytes, bool close) {
    pair.Write(bytes);
    if (close) pair.CloseRemote();
    test::Attach(connection.get(), pair.ReleaseLocal(), 0);
    head = HttpReadResponseHead(response.get(), connection.get());
    if (head.ok()) body = HttpReadResponseBody(response.get(), connection.get());
  }
  std::string Reason() const { return head.ok() ? body.reason() : head.reason(); }
  bool SocketOpen() const { return connection->socket != platform::kNoSocket; }
};

// Each way a reply can fail, with the words the attempt's log line ends in.
TEST(HttpReadResponseTest, EveryFailureSaysWhy) {
  const struct {
    std::string bytes;
    bool close;
    platform::NetKind kind;
    const char* reason;
  } cases[] = {
      {"", false, platform::NetKind::kReceive, "no reply within 0 s"},
      {"HTTP/1.1 100 Continue\r\n\r\n", false, platform::NetKind::kReceive,
       "reply not complete within 0 s"},
      {kOk + "Content-Length: 9\r\n\r\ncut", true, platform::NetKind::kReceive,
       "connection closed before the reply ended"},
      {"HTTP/1.1 200", true, platform::NetKind::kReceive,
       "connection closed before the reply head ended"},
      {"HTTX/1.1 200 OK\r\n\r\n", false, platform::NetKind::kProtocol,
       "malformed reply (The http response line did not begin with \"HTTP\")"},
      {kOk + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", false, platform::NetKind::kProtocol,
       "malformed reply (chunk size line)"},
      {kOk + "Content-Length: 2000000\r\n\r\n", false, platform::NetKind::kProtocol,
       "reply body larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const Exchange exchange(c.bytes, c.close);
    const platform::NetStatus& status = exchange.head.ok() ? exchange.body : exchange.head;
    EXPECT_EQ(status.kind(), c.kind);
    EXPECT_EQ(exchange.Reason(), c.reason);
  }
}

TEST(HttpReadResponseTest, ClosesTheSocketAsTheFramingSays) {
  const struct {
    std::string bytes;
    bool close;  // the peer closes after the bytes
    bool body;
    bool socketOpen;
  } cases[] = {
      {kOk + "Content-Length: 5\r\n\r\nhello", false, true, true},
      {kOk + "Content-Length: 5\r\nConnection: Close\r\n\r\nhello", false, true, false},
      {kOk + "Content-Length: 9\r\nConnection: close\r\n\r\ncut", true, false, false},
      {kOk + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", false, true, true},
      {kOk + "\r\nuntil the peer closes", true, true, false},
      {kOk + "\r\nthe peer goes silent", false, false, true},
      // A refused framing was never read: "close" is not acted on.
      {kOk + "Content-Length: x\r\nConnection: close\r\n\r\n", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const Exchange exchange(c.bytes, c.close);
    ASSERT_TRUE(exchange.head.ok());
    EXPECT_EQ(exchange.body.ok(), c.body) << exchange.Reason();
    EXPECT_EQ(exchange.SocketOpen(), c.socketOpen);
  }
}

TEST(HttpReadResponseTest, EndlessHeadKeepsTheBufferBounded) {
  const Exchange endless(kOk + "X: " + std::string(100 * 1024, 'a'), false);
  EXPECT_EQ(endless.Reason(), "reply head larger than 64 KiB");
  EXPECT_EQ(endless.head.kind(), platform::NetKind::kProtocol);
  EXPECT_LE(endless.connection->capacity, 64 * 1024 + 1024);
}

}  // namespace
}  // namespace zcv
