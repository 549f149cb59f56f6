// Many threads logging at once: every entry arrives whole and exactly once.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "log/log_file.h"
#include "tests/log/log_test_util.h"

namespace zcv {
namespace {

constexpr int kThreads = 4;
constexpr int kEntriesPerThread = 250;

std::time_t TestClock() { return 1704164645; }

TEST(LogFileConcurrencyTest, EntriesFromManyThreadsStayWhole) {
  testing_log::ScratchDir dir;
  testing_log::ScopedTimeZone zone("UTC0");
  ServiceMutex mutex;
  LogFile log(dir.File("log.txt"), mutex, TestClock);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kEntriesPerThread; ++i) {
        std::string message =
            "thread " + std::to_string(t) + " entry " + std::to_string(i) + " connect error\n";
        log.WriteLog(message.c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::multiset<std::string> expected;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kEntriesPerThread; ++i) {
      expected.insert("thread " + std::to_string(t) + " entry " + std::to_string(i) +
                      " connect error");
    }
  }
  std::istringstream lines(testing_log::ReadLog(dir.File("log.txt")));
  std::multiset<std::string> seen;
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (line == " " && lines.peek() == EOF) break;  // the last entry's trailing blank
    const std::string prefix = first ? "20240102.03:04:05 : " : " 20240102.03:04:05 : ";
    first = false;
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    seen.insert(line.substr(prefix.size()));
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace zcv
