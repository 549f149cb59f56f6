// Whole exchanges against the scripted loopback server: the bytes on the
// wire, results and body getters by phase, time-outs, failures to connect,
// the "close" handling and the size bounds.
#include "http/request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "http/request_record.h"
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

constexpr char kPath[] = "/TokenAuth.asp?iCardNo=1&iDynpasswd=2";
constexpr char kHostNotFound[] = "Host not found";
constexpr char kTryAgain[] =
    "A temporary error occurred on an authoritative name server.  Please try again later.";

struct RequestDeleter {
  void operator()(HttpRequest* request) const { HttpRequestDestroy(request); }
};
using RequestPtr = std::unique_ptr<HttpRequest, RequestDeleter>;

std::string Url(std::uint16_t port, const std::string& path = kPath) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

// A request set up as the service's request helpers do, with 1 s time-outs.
RequestPtr MakeRequest(const std::string& uri) {
  RequestPtr request(HttpRequestCreate());
  EXPECT_EQ(HttpRequestSetUri(request.get(), uri.c_str()), 0);
  HttpRequestSetConnectTimeout(request.get(), 1);
  HttpRequestSetReceiveTimeout(request.get(), 1);
  HttpRequestSetSendTimeout(request.get(), 1);
  HttpRequestSetHeader(request.get(), "Connection", "close");
  HttpRequestPrepare(request.get());
  return request;
}

std::string Body(const HttpRequest* request) {
  const char* body = HttpRequestGetBody(request);
  return body == nullptr ? "<none>" : std::string(body, HttpRequestGetBodyLength(request));
}

std::string Reason(const HttpRequest* request) {
  const char* reason = HttpRequestGetFailureReason(request);
  return reason == nullptr ? "" : reason;
}

TEST(HttpRequestTest, SendsTheServiceRequestAndReadsTheReply) {
  ScriptServer server(Script{Send(HttpReply("<Result>9999</Result>"))});
  const RequestPtr request = MakeRequest(Url(server.port()));
  ASSERT_EQ(HttpRequestExecute(request.get()), 1) << Reason(request.get());
  EXPECT_EQ(Body(request.get()), "<Result>9999</Result>");
  EXPECT_EQ(HttpRequestGetBody(request.get())[HttpRequestGetBodyLength(request.get())], '\0');
  EXPECT_EQ(server.requests(),
            std::vector<std::string>{"GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
                                     "Connection: close\r\n"
                                     "Host: 127.0.0.1\r\n"
                                     "User-Agent: zephyrcoilvault/1.0\r\n"
                                     "\r\n"});
  EXPECT_EQ(server.paths(), std::vector<std::string>{kPath});
  EXPECT_EQ(request->state, kStateIdle);
  EXPECT_EQ(request->connected, 0);  // the reply asked for "close"
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
    const RequestPtr request = MakeRequest(Url(server.port()));
    EXPECT_EQ(HttpRequestExecute(request.get()), 1) << Reason(request.get());
    EXPECT_EQ(Body(request.get()), c.body);
  }
}

TEST(HttpRequestTest, ReadsAResponseArrivingByteByByte) {
  const std::string reply =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n";
  ScriptServer server(test::Trickle(reply, 1, 1));
  const RequestPtr request = MakeRequest(Url(server.port()));
  ASSERT_EQ(HttpRequestExecute(request.get()), 1) << Reason(request.get());
  EXPECT_EQ(Body(request.get()), "helloabc");
}

// Each phase's time-out bounds the phase as a whole, and the cut-off ends
// every wait: a server that trickles, one that never reads a request too
// large for the socket buffers, and one that stalls. Without the bounds
// each row would take ten seconds or more.
TEST(HttpRequestTest, PhasesAreBoundedAsAWhole) {
  using Clock = std::chrono::steady_clock;
  const std::string reply = HttpReply("<Result>9999</Result>");
  const struct {
    const char* name;
    Script script;
    test::HeadRead headRead;
    std::size_t headerBytes;  // of one request header, to fill the send path
    int cutoffMillis;         // from the start; 0 none
    int result;
    int state;  // after the execution
  } cases[] = {
      {"trickle", test::Trickle(reply, 1, 200), test::HeadRead::kRead, 0, 0, -1, kStateReadingHead},
      {"at once", Script{Send(reply)}, test::HeadRead::kRead, 0, 0, 1, kStateIdle},
      {"never reads", Script{Hang()}, test::HeadRead::kSkip, 32 << 20, 0, -1, kStateSending},
      {"cut-off", Script{Hang()}, test::HeadRead::kRead, 0, 300, -1, kStateReadingHead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server(c.script, c.headRead);
    const RequestPtr request = MakeRequest(Url(server.port()));
    if (c.headerBytes > 0) {
      const std::string value(c.headerBytes, 'v');
      HttpRequestSetHeader(request.get(), "X-Fill", value.c_str());
      HttpRequestPrepare(request.get());
    }
    if (c.cutoffMillis > 0) {
      HttpRequestSetReceiveTimeout(request.get(), 10);
      HttpRequestSetCutoff(request.get(), platform::MonotonicMilliseconds() + c.cutoffMillis);
    }
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(HttpRequestExecute(request.get()), c.result);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(request->state, c.state);
  }
}

TEST(HttpRequestTest, PassedCutoffFailsBeforeConnecting) {
  ScriptServer server(Script{Send(HttpReply("x"))});
  const RequestPtr request = MakeRequest(Url(server.port()));
  EXPECT_EQ(HttpRequestSetCutoff(request.get(), platform::MonotonicMilliseconds() - 1), 0);
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_EQ(request->connection.failureKind, kFailureSocket);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_EQ(HttpRequestSetCutoff(nullptr, 1), -1);
}

TEST(HttpRequestTest, KeepsTheSocketWithoutClose) {
  ScriptServer server(Script{Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Hang()});
  const RequestPtr request = MakeRequest(Url(server.port()));
  ASSERT_EQ(HttpRequestExecute(request.get()), 1);
  EXPECT_EQ(request->connected, 1);
  EXPECT_NE(request->connection.socket, platform::kNoSocket);
}

TEST(HttpRequestTest, SilentServerTimesOutReadingTheHead) {
  ScriptServer server(Script{Hang()});
  const RequestPtr request = MakeRequest(Url(server.port()));
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_EQ(Reason(request.get()), "Failed to read http response line");
  EXPECT_EQ(request->state, kStateReadingHead);
  EXPECT_EQ(HttpRequestGetBodyLength(request.get()), 0);
  EXPECT_EQ(HttpRequestGetBody(request.get()), nullptr);
}

TEST(HttpRequestTest, ResetBeforeTheHeadFails) {
  ScriptServer server(Script{Send("HTTP/1.1 200"), Reset()});
  const RequestPtr request = MakeRequest(Url(server.port()));
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_EQ(request->state, kStateReadingHead);
}

TEST(HttpRequestTest, PeerClosingMidBodyLeavesThePartForTheGetters) {
  ScriptServer server(Script{Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd"), Close()});
  const RequestPtr request = MakeRequest(Url(server.port()));
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_EQ(request->state, kStateReadingBody);
  EXPECT_EQ(HttpRequestGetBodyLength(request.get()), 4);
  EXPECT_EQ(std::string(HttpRequestGetBody(request.get()), 4), "abcd");
}

TEST(HttpRequestTest, RefusedConnectionFailsWhileSending) {
  const RequestPtr request = MakeRequest(Url(test::UnusedPort()));
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_EQ(request->state, kStateSending);
  EXPECT_EQ(request->connection.failureKind, kFailureSocket);
  EXPECT_FALSE(Reason(request.get()).empty());
  EXPECT_NE(Reason(request.get()), kHostNotFound);
  EXPECT_EQ(HttpRequestGetBody(request.get()), nullptr);
}

TEST(HttpRequestTest, UnknownHostGivesALookupText) {
  const RequestPtr request = MakeRequest("http://zcv-no-such-host.invalid/x");
  EXPECT_EQ(HttpRequestExecute(request.get()), -1);
  EXPECT_THAT(Reason(request.get()), ::testing::AnyOf(kHostNotFound, kTryAgain));
}

TEST(HttpRequestTest, NothingIsSentWithoutABoundHttpUri) {
  ScriptServer server(Script{Send(HttpReply("x"))});
  RequestPtr unset(HttpRequestCreate());
  EXPECT_EQ(HttpRequestPrepare(unset.get()), 0);
  EXPECT_EQ(HttpRequestExecute(unset.get()), -1);

  RequestPtr other(HttpRequestCreate());
  ASSERT_EQ(HttpRequestSetUri(other.get(),
                              ("https://127.0.0.1:" + std::to_string(server.port()) + "/").c_str()),
            0);
  EXPECT_EQ(HttpRequestPrepare(other.get()), 1);
  EXPECT_EQ(HttpRequestExecute(other.get()), -1);

  // A new URI is not used until prepared again.
  RequestPtr unprepared = MakeRequest(Url(server.port()));
  ASSERT_EQ(HttpRequestSetUri(unprepared.get(), Url(server.port(), "/other").c_str()), 0);
  EXPECT_EQ(HttpRequestExecute(unprepared.get()), -1);
  EXPECT_EQ(server.connections(), 0);
}

TEST(HttpRequestTest, PrepareBindsTheLatestUri) {
  ScriptServer server(Script{Send(HttpReply("second"))});
  const RequestPtr request = MakeRequest(Url(test::UnusedPort(), "/first"));
  EXPECT_EQ(HttpRequestSetUri(request.get(), "no uri"), -1);  // the previous one stays
  ASSERT_EQ(HttpRequestSetUri(request.get(), Url(server.port(), "/second").c_str()), 0);
  EXPECT_EQ(HttpRequestPrepare(request.get()), 0);
  ASSERT_EQ(HttpRequestExecute(request.get()), 1) << Reason(request.get());
  EXPECT_EQ(Body(request.get()), "second");
  EXPECT_EQ(server.paths(), std::vector<std::string>{"/second"});
}

TEST(HttpRequestTest, MissingRequestIsRefused) {
  EXPECT_EQ(HttpRequestSetUri(nullptr, "http://h/"), -1);
  EXPECT_EQ(HttpRequestSetConnectTimeout(nullptr, 1), -1);
  EXPECT_EQ(HttpRequestSetReceiveTimeout(nullptr, 1), -1);
  EXPECT_EQ(HttpRequestSetSendTimeout(nullptr, 1), -1);
  EXPECT_EQ(HttpRequestSetHeader(nullptr, "A", "b"), 0);
  EXPECT_EQ(HttpRequestExecute(nullptr), -1);
  EXPECT_EQ(HttpRequestGetBodyLength(nullptr), 0);
  EXPECT_EQ(HttpRequestGetBody(nullptr), nullptr);
  HttpRequestDestroy(nullptr);
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
    const RequestPtr request = MakeRequest(Url(server.port()));
    if (c.accepted) {
      EXPECT_EQ(HttpRequestExecute(request.get()), 1) << Reason(request.get());
      EXPECT_EQ(HttpRequestGetBodyLength(request.get()), 1024 * 1024);
    } else {
      EXPECT_EQ(HttpRequestExecute(request.get()), -1);
      EXPECT_EQ(Reason(request.get()), "Http response body too large");
      EXPECT_LE(request->connection.capacity, 1024 * 1024 + 2 * 1024);
    }
  }
}

}  // namespace
}  // namespace zcv
