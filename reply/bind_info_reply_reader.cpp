// The reader of the binding information reply: the verdict, the row count and
// up to kMaxBindRows rows written straight into the caller's records.
#include <algorithm>
#include <cstring>

#include "reply/reply_document.h"
#include "reply/reply_number.h"
#include "reply/reply_readers.h"

namespace zcv {
namespace {

constexpr std::size_t kAccountBytes = sizeof(pTokenBindInfo::Account);
constexpr std::size_t kBindtimeBytes = sizeof(pTokenBindInfo::Bindtime);

// Zero-padded; an account of the field's size or more has no terminator.
void CopyAccount(char (&field)[kAccountBytes], const std::string& text) {
  std::memset(field, 0, kAccountBytes);
  std::memcpy(field, text.data(), std::min(text.size(), kAccountBytes));
}

// A bounded print: the terminator is added only when it fits, and the bytes
// after it keep what the caller had there.
void CopyBindtime(char (&field)[kBindtimeBytes], const std::string& text) {
  if (text.size() < kBindtimeBytes) {
    std::memcpy(field, text.c_str(), text.size() + 1);
  } else {
    std::memcpy(field, text.data(), kBindtimeBytes);
  }
}

}  // namespace

int BindInfoReplyReader(const char* body, unsigned* code, int* rowCount, pTokenBindInfo* rows) {
  try {
    // COM is entered by the request helper, which holds it around this call.
    ReplyDocument document;
    document.Load(body, DocumentCreation::kPlainSuccess);
    *code = ParseReplyCode(document.SelectText("//Result"));
    if (*code != kAccepted) {
      *rowCount = 0;
      return 1;
    }
    int received = ParseReplyNumber(document.SelectText("//RowCount"));
    *rowCount = received;
    if (received < 1 || received > kMaxBindRows) return 1;

    ReplyNodeList appNo = document.SelectAll("//AppNo");
    ReplyNodeList appNo2 = document.SelectAll("//AppNo2");
    ReplyNodeList account = document.SelectAll("//Account");
    ReplyNodeList bindtime = document.SelectAll("//Bindtime");
    std::size_t rowsToWrite = std::min(appNo.length(), static_cast<std::size_t>(received));
    for (std::size_t i = 0; i < rowsToWrite; ++i) {
      // Fields are stored as they are read: a list that runs out leaves the
      // earlier fields of its row written.
      rows[i].AppNo = ParseReplyNumber(appNo.NextText());
      rows[i].AppNo2 = ParseReplyNumber(appNo2.NextText());
      CopyAccount(rows[i].Account, account.NextText());
      CopyBindtime(rows[i].Bindtime, bindtime.NextText());
    }
    return 1;
  } catch (...) {
    *code = kNoAnswer;
    return 0;
  }
}

}  // namespace zcv
