// Header line scan: stored names and values, continuation and repeated
// lines, and each refusal.
#include "http/header_scan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/http/header_test_util.h"

namespace zcv {
namespace {

using namespace std::string_view_literals;

using Headers = std::vector<std::pair<std::string, std::string>>;

// Scans `lines` as they stand in a head, i.e. followed by "\r\n\r\n", up to
// and including that "\r". Returns the reason, or "" and fills `headers`.
std::string Scan(const std::string& lines, Headers* headers) {
  auto list = std::make_unique<HttpHeaderList>();
  const std::string head = lines + "\r\n\r\n";
  const char* reason =
      HttpScanHeaderLines(list.get(), head.data(), static_cast<int>(lines.size()) + 1);
  for (std::size_t i = 0; i < kMaxHeaders && !list->names[i].empty(); ++i) {
    headers->emplace_back(list->names[i], list->values[i]);
  }
  return reason == nullptr ? "" : reason;
}

TEST(HttpScanHeaderLinesTest, StoresHeaders) {
  const struct {
    std::string_view lines;
    Headers expected;
  } cases[] = {
      {"content-length: 12", {{"Content-Length", "12"}}},
      {"A: 1\r\nB:2", {{"A", "1"}, {"B", "2"}}},
      {"A: \t  spaced  ", {{"A", "spaced  "}}},  // leading blanks skipped, trailing kept
      {"A:", {{"A", ""}}},
      {"A:\r\nB: 2", {{"A", ""}, {"B", "2"}}},
      {"A: 1\r\nB: 2\r\na: 3", {{"A", "3"}, {"B", "2"}}},  // repeated keeps the last
      {"A: first\r\n  second", {{"A", "second"}}},         // continuation replaces
      {"A: 1\r\nB: 2\r\n\tmore\r\nC: 3", {{"A", "1"}, {"B", "more"}, {"C", "3"}}},
      {"A: 1\nB: 2", {{"A", "1"}, {"B", "2"}}},  // bare line feeds end lines
      {"Odd Name: x", {{"Odd Name", "x"}}},
      {"X-Time: 12:30:00", {{"X-Time", "12:30:00"}}},
      // A zero byte ends a name or a value, in any line.
      {"A: 1\0x\r\nB: 2"sv, {{"A", "1"}, {"B", "2"}}},
      {"A: 1\r\nB\0C: x\0y\r\nD: 4"sv, {{"A", "1"}, {"B", "x"}, {"D", "4"}}},
      {"\0X: 1\r\nB: 2"sv, {{"B", "2"}}},  // a name that is empty up to its zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    Headers headers;
    EXPECT_EQ(Scan(std::string(c.lines), &headers), "");
    EXPECT_EQ(headers, c.expected);
  }
}

TEST(HttpScanHeaderLinesTest, RefusesMalformedLines) {
  const struct {
    const char* lines;
    const char* reason;
  } cases[] = {
      {" A: 1", "The first http response header began with whitespace"},
      {"\tA: 1", "The first http response header began with whitespace"},
      {": 1", "An http response header was zero length"},
      {"A: 1\r\n: 2", "An http response header was zero length"},
      {"NoColon", "Failed to find seperator in http response headers"},
      {"A: 1\r\nNoColon", "Failed to find seperator in http response headers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    Headers headers;
    EXPECT_EQ(Scan(c.lines, &headers), c.reason);
  }
}

TEST(HttpScanHeaderLinesTest, DropsNamesBeyond256WithoutFailing) {
  std::string lines;
  for (int i = 0; i < 300; ++i) lines += "H" + std::to_string(i) + ": v\r\n";
  lines += "Last: x";
  Headers headers;
  EXPECT_EQ(Scan(lines, &headers), "");
  ASSERT_EQ(headers.size(), 256u);
  EXPECT_EQ(headers.back().first, "H255");
}

}  // namespace
}  // namespace zcv
