// The log's entry format, its time stamps across zones and year ends, its
// line limit, that an unwritable path costs nothing but the entry, and that
// nothing but a regular file in the log's place is ever written to.
#include "log/log_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <ostream>

#include "tests/log/log_test_util.h"

namespace zcv {
namespace {

using testing_log::ReadAll;
using testing_log::ScopedTimeZone;
using testing_log::ScratchDir;

std::time_t g_now = 0;
std::time_t TestClock() { return g_now; }

class LogFileTest : public testing::Test {
 protected:
  ScratchDir dir_;
  ServiceMutex mutex_;
};

TEST_F(LogFileTest, EntriesFollowEachOtherAfterTheTrailingBlank) {
  ScopedTimeZone zone("UTC0");
  g_now = 1704164645;  // 2024-01-02 03:04:05 UTC
  LogFile log(dir_.File("log.txt"), mutex_, TestClock);
  log.WriteLog("set url error\n");
  log.WriteLog("parse xml error\n");
  EXPECT_EQ(testing_log::ReadLog(dir_.File("log.txt")),
            "20240102.03:04:05 : set url error\n 20240102.03:04:05 : parse xml error\n ");
}

struct StampCase {
  const char* zone;
  std::time_t now;
};

void PrintTo(const StampCase& c, std::ostream* os) { *os << c.zone; }

class LogStampTest : public LogFileTest, public testing::WithParamInterface<StampCase> {};

TEST_P(LogStampTest, LastSecondOfTheYearInLocalTime) {
  ScopedTimeZone zone(GetParam().zone);
  g_now = GetParam().now;
  LogFile log(dir_.File("log.txt"), mutex_, TestClock);
  log.WriteLog("x");
  EXPECT_EQ(ReadAll(dir_.File("log.txt")), "20231231.23:59:59 : x ");
}

INSTANTIATE_TEST_SUITE_P(Zones, LogStampTest,
                         testing::Values(StampCase{"UTC0", 1704067199},
                                         StampCase{"EST5", 1704085199},
                                         StampCase{"XST-9:30", 1704032999}));

TEST_F(LogFileTest, LongMessageIsCutToTheLineBuffer) {
  ScopedTimeZone zone("UTC0");
  g_now = 1704164645;
  LogFile log(dir_.File("log.txt"), mutex_, TestClock);
  log.WriteLog(std::string(700, 'x').c_str());
  // 600 bytes with the terminator: 17 + 3 for the stamp and separator.
  EXPECT_EQ(ReadAll(dir_.File("log.txt")), "20240102.03:04:05 : " + std::string(579, 'x'));
}

TEST_F(LogFileTest, UnwritablePathDropsTheEntry) {
  LogFile inMissingDir(dir_.File("missing/log.txt"), mutex_, TestClock);
  inMissingDir.WriteLog("lost\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing")));

  std::filesystem::create_directory(dir_.File("dir"));
  LogFile atDirectory(dir_.File("dir"), mutex_, TestClock);
  atDirectory.WriteLog("lost\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("dir")));
}

#ifndef _WIN32
// The log's folder may be writable by a group of hosts' users: a link or a
// FIFO put in the log's place must not carry a more privileged host's
// entries anywhere.
TEST_F(LogFileTest, NothingIsWrittenThroughALinkOrIntoAFifo) {
  const std::string target = dir_.File("target.txt");
  std::ofstream(target) << "precious";
  ASSERT_EQ(::symlink(target.c_str(), dir_.File("to-file").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.File("created").c_str(), dir_.File("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  const int reader = ::open(dir_.File("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  for (const char* name : {"to-file", "dangling", "fifo"}) {
    LogFile(dir_.File(name), mutex_, TestClock).WriteLog("entry\n");
  }
  EXPECT_EQ(ReadAll(target), "precious");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("created")));
  char byte;
  EXPECT_EQ(::read(reader, &byte, 1), 0);  // no bytes, and no writer left
  ::close(reader);
}
#endif

}  // namespace
}  // namespace zcv
