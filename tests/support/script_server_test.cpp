// The script server itself: recorded heads and paths, per-request scripts,
// answering before the request is complete, and a bounded Stop() while
// connections hang.
#include "tests/support/script_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace zcv::test {
namespace {

// A plain client: connects, sends `request`, reads until the server closes.
std::string Exchange(std::uint16_t port, const std::string& request) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{2, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string reply;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
    char chunk[512];
    ssize_t n;
    while ((n = ::recv(socket, chunk, sizeof chunk, 0)) > 0) reply.append(chunk, n);
  }
  ::close(socket);
  return reply;
}

TEST(ScriptServerTest, RecordsHeadsAndChoosesScriptsPerRequest) {
  ScriptServer server([](const std::string& head) {
    return Script{Send(head.find("/a") != std::string::npos ? "A" : "B")};
  });
  EXPECT_EQ(Exchange(server.port(), "GET /a?x=1 HTTP/1.1\r\nHost: h\r\n\r\n"), "A");
  EXPECT_EQ(Exchange(server.port(), "GET /b HTTP/1.1\r\n\r\n"), "B");
  EXPECT_EQ(server.connections(), 2);
  EXPECT_EQ(server.requests()[0], "GET /a?x=1 HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(server.paths(), (std::vector<std::string>{"/a?x=1", "/b"}));
}

TEST(ScriptServerTest, SkippingTheHeadAnswersAtOnce) {
  ScriptServer server(Script{Send(HttpReply("early"))}, HeadRead::kSkip);
  EXPECT_EQ(Exchange(server.port(), "GET / HTT"), HttpReply("early"));
  EXPECT_EQ(server.requests(), std::vector<std::string>{""});
}

TEST(ScriptServerTest, StopEndsHangingConnections) {
  ScriptServer server(Script{Send("partial"), Hang()});
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(server.WaitForConnections(1, std::chrono::seconds(1)));
  server.Stop();  // returns although the client never sent a request
  server.Stop();
  char byte;
  while (::recv(socket, &byte, 1, 0) > 0) {
  }
  ::close(socket);
  EXPECT_EQ(server.connections(), 1);
}

}  // namespace
}  // namespace zcv::test
