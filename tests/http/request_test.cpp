// Whole exchanges against the scripted loopback server: the bytes on the
// wire, any complete response, time-outs, failures and their reasons, and
// the size bounds.
#include "http/request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "tests/support/script_server.h"

namespace zcv {
namespace {

using test::Close;
using test::Hang;
using test::HttpReply;
using test::Pause;
using test::Reset;
using test::Script;
using test::ScriptServer;
using test::Send;

using platform::NetKind;
using platform::NetStatus;

constexpr char kPath[] = "/TokenAuth.asp?iCardNo=1&iDynpasswd=2";

std::string Url(std::uint16_t port, const std::string& path = kPath) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

// Options as the service's request helpers set them, with 1 s time-outs.
HttpRequestOptions Options() {
  HttpRequestOptions options;
  options.connectTimeout = 1;
  options.receiveTimeout = 1;
  options.sendTimeout = 1;
  return options;
}

std::string Body(const HttpRequest& request) {
  const HttpResponse& response = request.response();
  return response.body.empty() ? "<none>" : std::string(response.body.data(), response.bodyLength);
}

TEST(HttpRequestTest, SendsTheServiceRequestAndReadsTheReply) {
  ScriptServer server(Script{Send(HttpReply("<Result>9999</Result>"))});
  HttpRequest request;
  const NetStatus status = request.Get(Url(server.port()).c_str(), Options());
  ASSERT_TRUE(status.ok()) << status.reason();
  EXPECT_EQ(Body(request), "<Result>9999</Result>");
  EXPECT_EQ(request.response().body[request.response().bodyLength], '\0');
  EXPECT_EQ(server.requests(),
            std::vector<std::string>{"GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
                                     "Connection: close\r\n"
                                     "Host: 127.0.0.1\r\n"
                                     "User-Agent: zephyrcoilvault/1.0\r\n"
                                     "\r\n"});
  EXPECT_EQ(server.paths(), std::vector<std::string>{kPath});
  // One request, one exchange.
  EXPECT_EQ(request.Get(Url(server.port()).c_str(), Options()).kind(), NetKind::kUri);
}

TEST(HttpRequestTest, AnyCompleteResponseCounts) {
  const struct {
    std::string reply;
    std::string body;
  } cases[] = {
      {HttpReply("not here", 404), "not here"},
      {HttpReply("broken", 500), "broken"},
      {HttpReply(""), "<none>"},
      {"HTTP/1.1 100 Continue\r\n\r\n" + HttpReply("final"), "final"},
      {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\nuntil close", "until close"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    ScriptServer server(Script{Send(c.reply)});
    HttpRequest request;
    const NetStatus status = request.Get(Url(server.port()).c_str(), Options());
    EXPECT_TRUE(status.ok()) << status.reason();
    EXPECT_EQ(Body(request), c.body);
  }
}

TEST(HttpRequestTest, ReadsAResponseArrivingByteByByte) {
  const std::string reply =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n";
  ScriptServer server(test::Trickle(reply, 1, 1));
  HttpRequest request;
  const NetStatus status = request.Get(Url(server.port()).c_str(), Options());
  ASSERT_TRUE(status.ok()) << status.reason();
  EXPECT_EQ(Body(request), "helloabc");
}

// Each phase's time-out bounds the phase as a whole, and the cut-off ends
// every wait: a server that trickles, one that never reads a request too
// large for the socket buffers, and one that stalls. Without the bounds
// each row would take ten seconds or more.
TEST(HttpRequestTest, PhasesAreBoundedAsAWhole) {
  using Clock = std::chrono::steady_clock;
  const std::string reply = HttpReply("<Result>9999</Result>");
  const std::string longPath = "/" + std::string(32 << 20, 'p');
  const struct {
    const char* name;
    Script script;
    test::HeadRead headRead;
    bool longRequest;  // to fill the send path
    int cutoffMillis;  // from the start; 0 none
    NetKind kind;
    const char* reason;
  } cases[] = {
      {"trickle", test::Trickle(reply, 1, 200), test::HeadRead::kRead, false, 0, NetKind::kReceive,
       "reply not complete within 1 s"},
      {"at once", Script{Send(reply)}, test::HeadRead::kRead, false, 0, NetKind::kOk, ""},
      {"never reads", Script{Hang()}, test::HeadRead::kSkip, true, 0, NetKind::kSend,
       "request not sent within 1 s"},
      {"cut-off", Script{Hang()}, test::HeadRead::kRead, false, 300, NetKind::kReceive,
       "no reply within 1 s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server(c.script, c.headRead);
    HttpRequestOptions options = Options();
    if (c.cutoffMillis > 0) {
      options.receiveTimeout = 10;
      options.cutoff = platform::MonotonicMilliseconds() + c.cutoffMillis;
    }
    HttpRequest request;
    const Clock::time_point start = Clock::now();
    const NetStatus status =
        request.Get(Url(server.port(), c.longRequest ? longPath : kPath).c_str(), options);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(status.kind(), c.kind);
    EXPECT_STREQ(status.reason(), c.reason);
  }
}

TEST(HttpRequestTest, FailuresBeforeAnyReplyAreTold) {
  ScriptServer server(Script{Send(HttpReply("x"))});
  const std::string port = std::to_string(server.port());
  const struct {
    std::string uri;
    std::int64_t cutoff;
    NetKind kind;
    const char* reason;
  } cases[] = {
      {Url(server.port()), platform::MonotonicMilliseconds() - 1, NetKind::kConnect,
       "the call's time ran out before the connect"},
      {"no uri", 0, NetKind::kUri, "malformed URI"},
      {"https://127.0.0.1:" + port + "/", 0, NetKind::kUri, "scheme is not http"},
      {"http://[127.0.0.1]:" + port + "/", 0, NetKind::kUri,
       "bracketed host is not an IPv6 address"},
      {"http://zcv-no-such-host.invalid/x", 0, NetKind::kLookup, "no address (no resolver)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uri);
    HttpRequestOptions options = Options();
    options.cutoff = c.cutoff;
    HttpRequest request;
    const NetStatus status = request.Get(c.uri.c_str(), options);
    EXPECT_EQ(status.kind(), c.kind);
    EXPECT_STREQ(status.reason(), c.reason);
  }
  EXPECT_EQ(server.connections(), 0);
}

TEST(HttpRequestTest, RefusedAndResetAreTold) {
  HttpRequest refused;
  const NetStatus status = refused.Get(Url(test::UnusedPort()).c_str(), Options());
  EXPECT_EQ(status.kind(), NetKind::kConnect);
  EXPECT_STREQ(status.reason(), "connection refused");

  ScriptServer server(Script{Send("HTTP/1.1 200"), Reset()});
  HttpRequest reset;
  const NetStatus cut = reset.Get(Url(server.port()).c_str(), Options());
  EXPECT_EQ(cut.kind(), NetKind::kReceive);
  // Wine reports some resets as an orderly end of the stream.
  EXPECT_THAT(cut.reason(),
              ::testing::AnyOf(::testing::StrEq("reply cut off: connection reset"),
                               ::testing::StrEq("connection closed before the reply head ended")));
}

TEST(HttpRequestTest, BodiesAreBoundedInEveryFraming) {
  const std::string mib(1024 * 1024, 'b');
  const std::string half(512 * 1024, 'h');
  const struct {
    std::string reply;
    bool accepted;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\n" + mib, true},
      {"HTTP/1.1 200 OK\r\n\r\n" + mib + "b", false},
      {HttpReply(mib), true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000\r\n" + half + "\r\n80000\r\n" +
           half + "\r\n0\r\n\r\n",
       true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000\r\n" + half + "\r\n80001\r\n" +
           half + "h\r\n0\r\n\r\n",
       false},
  };
  for (const auto& c : cases) {
    ScriptServer server(Script{Send(c.reply)});
    HttpRequest request;
    const NetStatus status = request.Get(Url(server.port()).c_str(), Options());
    if (c.accepted) {
      EXPECT_TRUE(status.ok()) << status.reason();
      EXPECT_EQ(request.response().bodyLength, 1024 * 1024);
    } else {
      EXPECT_EQ(status.kind(), NetKind::kProtocol);
      EXPECT_STREQ(status.reason(), "reply body larger than 1 MiB");
    }
  }
}

}  // namespace
}  // namespace zcv
