// The receive loop around the parser, over a local socket pair: a peer that
// goes silent, the socket closed or kept after the body, and the buffer
// bounded while a head grows without end.
#include "http/response_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/socket_pair.h"

namespace zcv {
namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\n";

// Reads the head and then the body of the bytes written to the socket, with
// a deadline already past: every byte is there, or the read fails at once.
struct Exchange {
  struct Deleter {
    void operator()(HttpResponse* response) const { HttpResponseDestroy(response); }
    void operator()(HttpConnection* connection) const { HttpConnectionDestroy(connection); }
  };

  test::SocketPair pair;
  std::unique_ptr<HttpResponse, Deleter> response{HttpResponseCreate()};
  std::unique_ptr<HttpConnection, Deleter> connection{HttpConnectionCreate()};
  int head;
  int body = 0;

  Exchange(const std::string& bytes, bool close) {
    pair.Write(bytes);
    if (close) pair.CloseRemote();
    HttpConnectionAttach(connection.get(), pair.ReleaseLocal());
    HttpConnectionStartPhase(connection.get(), 0);
    head = HttpReadResponseHead(response.get(), connection.get());
    if (head == 2) body = HttpReadResponseBody(response.get(), connection.get());
  }
  std::string Reason() const {
    return connection->failureReason == nullptr ? "" : connection->failureReason;
  }
  bool SocketOpen() const { return connection->socket != platform::kNoSocket; }
};

TEST(HttpReadResponseTest, SilentPeerFailsTheHeadWithAReason) {
  EXPECT_EQ(Exchange("", false).Reason(), "Failed to read http response line");
  EXPECT_EQ(Exchange("HTTP/1.1 100 Continue\r\n\r\n", false).Reason(),
            "Failed to read http response line");
}

TEST(HttpReadResponseTest, ClosesTheSocketAsTheFramingSays) {
  const struct {
    std::string bytes;
    bool close;  // the peer closes after the bytes
    int body;
    bool socketOpen;
  } cases[] = {
      {kOk + "Content-Length: 5\r\n\r\nhello", false, 2, true},
      {kOk + "Content-Length: 5\r\nConnection: Close\r\n\r\nhello", false, 2, false},
      {kOk + "Content-Length: 9\r\nConnection: close\r\n\r\ncut", true, -1, false},
      {kOk + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", false, 2, true},
      {kOk + "\r\nuntil the peer closes", true, 2, false},
      {kOk + "\r\nthe peer goes silent", false, -1, true},
      // A refused framing was never read: "close" is not acted on.
      {kOk + "Content-Length: x\r\nConnection: close\r\n\r\n", false, -1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const Exchange exchange(c.bytes, c.close);
    ASSERT_EQ(exchange.head, 2);
    EXPECT_EQ(exchange.body, c.body) << exchange.Reason();
    EXPECT_EQ(exchange.SocketOpen(), c.socketOpen);
  }
}

TEST(HttpReadResponseTest, EndlessHeadKeepsTheBufferBounded) {
  const Exchange endless(kOk + "X: " + std::string(100 * 1024, 'a'), false);
  EXPECT_EQ(endless.Reason(), "Http response headers too large");
  EXPECT_LE(endless.connection->capacity, 64 * 1024 + 1024);
}

}  // namespace
}  // namespace zcv
