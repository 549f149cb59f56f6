// Connection: opening (refused, unknown host, unbound), the buffer growth
// rule, single receive and send steps, consume, find and the lookup texts.
#include "http/connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "tests/support/script_server.h"
#include "tests/support/socket_pair.h"

namespace zcv {
namespace {

struct ConnectionDeleter {
  void operator()(HttpConnection* connection) const { HttpConnectionDestroy(connection); }
};
using ConnectionPtr = std::unique_ptr<HttpConnection, ConnectionDeleter>;

class HttpConnectionTest : public ::testing::Test {
 protected:
  HttpConnectionTest() {
    HttpConnectionAttach(connection_.get(), pair_.ReleaseLocal());
    HttpConnectionStartPhase(connection_.get(), 1);
  }

  std::string Buffered() const { return std::string(connection_->buffer.get(), connection_->used); }

  test::SocketPair pair_;
  ConnectionPtr connection_{HttpConnectionCreate()};
};

TEST(HttpConnectionCreateTest, StartsIdleWithOneUnit) {
  const ConnectionPtr connection(HttpConnectionCreate());
  EXPECT_EQ(connection->socket, platform::kNoSocket);
  EXPECT_EQ(connection->port, 80);
  EXPECT_EQ(connection->unit, 1024);
  EXPECT_EQ(connection->capacity, 1024);
  EXPECT_EQ(connection->used, 0);
  EXPECT_EQ(connection->remaining, 0);
}

TEST(HttpConnectionOpenTest, ConnectsToListeningServer) {
  test::ScriptServer server(test::Script{});
  const ConnectionPtr connection(HttpConnectionCreate());
  connection->host = "127.0.0.1";
  connection->port = server.port();
  connection->connectTimeout = 1;
  ASSERT_EQ(HttpConnectionOpen(connection.get()), 0);
  EXPECT_NE(connection->socket, platform::kNoSocket);
  EXPECT_TRUE(server.WaitForConnections(1, std::chrono::seconds(1)));
}

TEST(HttpConnectionOpenTest, RefusedConnectionIsASocketFailure) {
  const ConnectionPtr connection(HttpConnectionCreate());
  connection->host = "127.0.0.1";
  connection->port = test::UnusedPort();
  connection->connectTimeout = 1;
  EXPECT_EQ(HttpConnectionOpen(connection.get()), -1);
  EXPECT_EQ(connection->failureKind, kFailureSocket);
  EXPECT_NE(connection->failureCode, 0);
}

TEST(HttpConnectionOpenTest, UnknownHostIsALookupFailure) {
  const ConnectionPtr connection(HttpConnectionCreate());
  connection->failureKind = kFailureSocket;
  connection->host = "no-such-host.invalid";
  EXPECT_EQ(HttpConnectionOpen(connection.get()), -1);
  EXPECT_EQ(connection->failureKind, kFailureLookup);
  EXPECT_THAT(connection->failureCode,
              ::testing::AnyOf(platform::kLookupHostNotFound, platform::kLookupTryAgain));
  EXPECT_FALSE(connection->resolved);
}

TEST(HttpConnectionOpenTest, UnboundConnectionFailsWithoutRecording) {
  const ConnectionPtr connection(HttpConnectionCreate());
  connection->failureKind = 7;
  EXPECT_EQ(HttpConnectionOpen(connection.get()), -1);
  connection->host = "";
  EXPECT_EQ(HttpConnectionOpen(connection.get()), -1);
  EXPECT_EQ(connection->failureKind, 7);
  EXPECT_EQ(HttpConnectionOpen(nullptr), -1);
}

TEST_F(HttpConnectionTest, AppendGrowsByExactlyTheMissingLength) {
  const std::string bytes(1500, 'x');
  HttpConnectionAppend(connection_.get(), "ab", 2);
  HttpConnectionAppend(connection_.get(), bytes.data(), 1500);
  EXPECT_EQ(connection_->capacity, 1024 + 1500);
  EXPECT_EQ(connection_->used, 1502);
  EXPECT_EQ(Buffered(), "ab" + bytes);
}

TEST_F(HttpConnectionTest, ReceiveTellsTargetReachedFromPeerClosed) {
  pair_.Write(std::string(1024, 'a'));
  EXPECT_EQ(HttpConnectionReceive(connection_.get()), 2);
  EXPECT_EQ(connection_->lastCount, 1024);
  EXPECT_EQ(connection_->used, 1024);

  pair_.Write("tail");
  pair_.CloseRemote();
  EXPECT_EQ(HttpConnectionReceive(connection_.get()), 1);  // 4 of a new unit
  EXPECT_EQ(connection_->capacity, 2048);                  // grown by the whole target
  EXPECT_EQ(connection_->remaining, 1020);
  EXPECT_EQ(HttpConnectionReceive(connection_.get()), 2);
  EXPECT_EQ(connection_->lastCount, 0);
  EXPECT_EQ(Buffered(), std::string(1024, 'a') + "tail");
}

TEST_F(HttpConnectionTest, ReceiveTimeOutChangesNothing) {
  pair_.Write("ab");
  ASSERT_EQ(HttpConnectionReceive(connection_.get()), 1);
  HttpConnectionStartPhase(connection_.get(), 0);
  EXPECT_EQ(HttpConnectionReceive(connection_.get()), -1);
  EXPECT_EQ(connection_->used, 2);
  EXPECT_EQ(connection_->lastCount, 2);
}

TEST_F(HttpConnectionTest, SendMovesTheWholeBufferThenFailsOnClosedPeer) {
  HttpConnectionAppend(connection_.get(), "hello", 5);
  EXPECT_EQ(HttpConnectionSend(connection_.get()), 2);
  EXPECT_EQ(connection_->done, 5);
  EXPECT_EQ(pair_.ReadAvailable(), "hello");

  pair_.CloseRemote();
  connection_->remaining = 0;
  EXPECT_EQ(HttpConnectionSend(connection_.get()), -1);
}

TEST_F(HttpConnectionTest, ConsumeDropsTheFrontAndEndsTheOperation) {
  HttpConnectionAppend(connection_.get(), "headbody", 8);
  connection_->remaining = 5;
  connection_->done = 3;
  HttpConnectionConsume(connection_.get(), 4);
  EXPECT_EQ(Buffered(), "body");
  EXPECT_EQ(connection_->remaining, 0);
  EXPECT_EQ(connection_->done, 0);
  HttpConnectionConsume(connection_.get(), 0);
  EXPECT_EQ(Buffered(), "body");

  HttpConnectionResetBuffer(connection_.get());
  EXPECT_EQ(connection_->used, 0);
  EXPECT_EQ(connection_->capacity, 1024);
}

TEST(HttpFindBytesTest, FindsFirstOccurrence) {
  const char data[] = "ab\r\n\r\ncd\r\n\r\n";
  EXPECT_EQ(HttpFindBytes(data, 12, "\r\n\r\n", 4), 2);
  EXPECT_EQ(HttpFindBytes(data, 5, "\r\n\r\n", 4), -1);  // cut before its end
  EXPECT_EQ(HttpFindBytes(data, 2, "abc", 3), -1);       // pattern longer than data
  EXPECT_EQ(HttpFindBytes(data, 12, "cd", 2), 6);
}

TEST(HttpLookupErrorTextTest, MapsTheFourLookupCodes) {
  EXPECT_STREQ(HttpLookupErrorText(11001), "Host not found");
  EXPECT_STREQ(
      HttpLookupErrorText(11002),
      "A temporary error occurred on an authoritative name server.  Please try again later.");
  EXPECT_STREQ(HttpLookupErrorText(11003), "An unrecoverable name server error occured");
  EXPECT_STREQ(HttpLookupErrorText(11004), "An address is not associated with that host");
  for (int other : {0, -1, 11000, 11005, 10035}) {
    EXPECT_STREQ(HttpLookupErrorText(other), "No error or error not known.");
  }
}

}  // namespace
}  // namespace zcv
