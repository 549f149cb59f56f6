// The readers that turn a reply body into a result code and the operation's
// outputs. Each returns 1 when the document was read and 0 otherwise, having
// then stored 1012 in *code. Nothing they raise reaches the caller.
#pragma once

#include "zephyrcoilvault.h"

namespace zcv {

// "//Result"; with a non-null expire, "//ExpireTime" when Result is 9999
// (else 0 is stored through expire).
int ResultReplyReader(const char* body, unsigned* code, int* expire);

// "//Result"; with a non-null resvPassWord and Result 9999, "//ResvPassWord"
// copied with its NUL. A password that does not fit kResvPassWordBytes makes
// the reply unreadable instead of overrunning the caller's buffer.
int PasswordReplyReader(const char* body, unsigned* code, char* resvPassWord);

// "//Result", "//RowCount" and the row elements AppNo, AppNo2, Account,
// Bindtime into at most kMaxBindRows records.
int BindInfoReplyReader(const char* body, unsigned* code, int* rowCount, pTokenBindInfo* rows);

// "//Result"; with Result 9999 both "//ExpireTime" and "//CardStatus" must
// be present before either is stored.
int StatusReplyReader(const char* body, unsigned* code, int* expire, int* status);

}  // namespace zcv
