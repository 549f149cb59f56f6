// The binding information reader: which records it writes, how it copies the
// two text fields, and what it leaves alone.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "reply/reply_readers.h"

namespace zcv {
namespace {

constexpr unsigned char kFill = 0xAB;
constexpr int kUntouchedCount = -777;

struct Row {
  std::string appNo, appNo2, account, bindtime;
};

std::string RowElements(const Row& row) {
  return "<AppNo>" + row.appNo + "</AppNo><AppNo2>" + row.appNo2 + "</AppNo2><Account>" +
         row.account + "</Account><Bindtime>" + row.bindtime + "</Bindtime>";
}

// A reply with the rows either in one container each or all flat under the root.
std::string Reply(const std::string& result, const std::string& rowCount,
                  const std::vector<Row>& rows, bool nested = true) {
  std::string body = "<Reply><Result>" + result + "</Result><RowCount>" + rowCount + "</RowCount>";
  for (const Row& row : rows)
    body += nested ? "<Row>" + RowElements(row) + "</Row>" : RowElements(row);
  return body + "</Reply>";
}

std::vector<Row> Rows(int n) {
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) {
    std::string k = std::to_string(i);
    rows.push_back({"1" + k, "2" + k, "acct" + k, "2024-01-0" + k});
  }
  return rows;
}

class BindInfoReplyReaderTest : public testing::Test {
 protected:
  BindInfoReplyReaderTest() { std::memset(rows_.data(), kFill, sizeof rows_); }

  int Read(const std::string& body) {
    return BindInfoReplyReader(body.c_str(), &code_, &rowCount_, rows_.data());
  }
  bool Untouched(int from, int to = kMaxBindRows) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&rows_[from]);
    for (std::size_t i = 0; i < sizeof(pTokenBindInfo) * (to - from); ++i) {
      if (bytes[i] != kFill) return false;
    }
    return true;
  }
  // Row i as Rows() makes it.
  void ExpectRow(int i) const {
    std::string k = std::to_string(i);
    EXPECT_EQ(rows_[i].AppNo, std::stoi("1" + k));
    EXPECT_EQ(rows_[i].AppNo2, std::stoi("2" + k));
    EXPECT_STREQ(rows_[i].Account, ("acct" + k).c_str());
    EXPECT_STREQ(rows_[i].Bindtime, ("2024-01-0" + k).c_str());
    EXPECT_EQ(static_cast<unsigned>(rows_[i].Reserved), 0xABABABABu);
  }

  unsigned code_ = 0;
  int rowCount_ = kUntouchedCount;
  std::array<pTokenBindInfo, kMaxBindRows> rows_;
};

TEST_F(BindInfoReplyReaderTest, WritesTheRowsReceived) {
  EXPECT_EQ(Read(Reply("9999", "3", Rows(3))), 1);
  EXPECT_EQ(code_, 9999u);
  EXPECT_EQ(rowCount_, 3);
  for (int i = 0; i < 3; ++i) ExpectRow(i);
  EXPECT_TRUE(Untouched(3));
}

TEST_F(BindInfoReplyReaderTest, NestedAndFlatRowsGiveTheSameRecords) {
  Read(Reply("9999", "3", Rows(3), true));
  auto nested = rows_;
  std::memset(rows_.data(), kFill, sizeof rows_);
  Read(Reply("9999", "3", Rows(3), false));
  EXPECT_EQ(std::memcmp(nested.data(), rows_.data(), sizeof rows_), 0);
}

struct CountCase {
  const char* name;
  const char* result;
  const char* rowCount;
  int groups;
  unsigned code;
  int storedCount;
  int written;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class BindInfoCountTest : public BindInfoReplyReaderTest,
                          public testing::WithParamInterface<CountCase> {};

TEST_P(BindInfoCountTest, WritesUpToTheSmallerCount) {
  const CountCase& c = GetParam();
  EXPECT_EQ(Read(Reply(c.result, c.rowCount, Rows(c.groups))), 1);
  EXPECT_EQ(code_, c.code);
  EXPECT_EQ(rowCount_, c.storedCount);
  for (int i = 0; i < c.written; ++i) ExpectRow(i);
  EXPECT_TRUE(Untouched(c.written));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, BindInfoCountTest,
    testing::Values(CountCase{"verdict_zeroes_count", "1", "3", 3, 1, 0, 0},
                    CountCase{"zero_rows", "9999", "0", 0, 9999, 0, 0},
                    CountCase{"negative_rows", "9999", "-1", 1, 9999, -1, 0},
                    CountCase{"eleven_rows_write_none", "9999", "11", 11, 9999, 11, 0},
                    CountCase{"more_groups_than_count", "9999", "2", 3, 9999, 2, 2},
                    CountCase{"fewer_groups_than_count", "9999", "3", 2, 9999, 3, 2},
                    CountCase{"ten_rows", "9999", "10", 10, 9999, 10, 10}),
    [](const testing::TestParamInfo<CountCase>& info) { return info.param.name; });

TEST_F(BindInfoReplyReaderTest, ListThatRunsOutFailsWithEarlierFieldsWritten) {
  std::string body = "<R><Result>9999</Result><RowCount>2</RowCount>" + RowElements(Rows(1)[0]) +
                     "<AppNo>11</AppNo><AppNo2>21</AppNo2></R>";
  EXPECT_EQ(Read(body), 0);
  EXPECT_EQ(code_, 1012u);
  EXPECT_EQ(rowCount_, 2);
  ExpectRow(0);
  EXPECT_EQ(rows_[1].AppNo, 11);
  EXPECT_EQ(rows_[1].AppNo2, 21);
  EXPECT_EQ(static_cast<unsigned char>(rows_[1].Account[0]), kFill);
  EXPECT_TRUE(Untouched(2));
}

TEST_F(BindInfoReplyReaderTest, UnreadableRepliesLeaveTheCountAlone) {
  for (const char* body : {"<R><Result>9999</Result></R>", "<R><Result>9999</Result>", "text"}) {
    EXPECT_EQ(Read(body), 0) << body;
    EXPECT_EQ(code_, 1012u);
    EXPECT_EQ(rowCount_, kUntouchedCount);
    EXPECT_TRUE(Untouched(0));
  }
}

struct TextCase {
  const char* name;
  std::string text;
  std::string account;   // all 20 bytes of the field
  std::string bindtime;  // all 20 bytes of the field
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class BindInfoTextTest : public BindInfoReplyReaderTest,
                         public testing::WithParamInterface<TextCase> {};

TEST_P(BindInfoTextTest, CopiesTextFields) {
  const TextCase& c = GetParam();
  ASSERT_EQ(Read(Reply("9999", "1", {{"1", "2", c.text, c.text}})), 1);
  EXPECT_EQ(std::string(rows_[0].Account, sizeof rows_[0].Account), c.account);
  EXPECT_EQ(std::string(rows_[0].Bindtime, sizeof rows_[0].Bindtime), c.bindtime);
}

const std::string k19(19, 'a');
const std::string k20(20, 'b');
const std::string kFills(20, static_cast<char>(kFill));

INSTANTIATE_TEST_SUITE_P(
    Texts, BindInfoTextTest,
    testing::Values(TextCase{"short", "ab", std::string("ab") + std::string(18, '\0'),
                             std::string("ab") + '\0' + kFills.substr(3)},
                    TextCase{"nineteen", k19, k19 + '\0', k19 + '\0'},
                    TextCase{"twenty", k20, k20, k20},
                    TextCase{"longer_cut", k20 + "xyz", k20, k20},
                    TextCase{"empty", "", std::string(20, '\0'), '\0' + kFills.substr(1)},
                    TextCase{"high_bytes", "\xb6\xc1",
                             std::string("\xb6\xc1") + std::string(18, '\0'),
                             std::string("\xb6\xc1") + '\0' + kFills.substr(3)}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zcv
