// Fuzz target: every reply reader on arbitrary bytes of the accepted size.
// The readers take a NUL-terminated body (the library ends a body at its
// first NUL), so the input's NUL bytes separate several bodies and each is
// read: every byte of the input reaches the readers. Each body is read once
// for its Result alone; then every reader must agree with that reading, and
// none may write an output unless Result was 9999 (ExpireTime and the row
// count excepted, which are set to 0 on another verdict), nor any output
// when the reading fails (the rows excepted, which keep what was written
// before the failure), nor beyond the rows it was given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "reply/reply_readers.h"

namespace {

constexpr std::size_t kMaxBodyBytes = 2048;
constexpr int kUnwrittenInt = 0x5a5a5a5a;
constexpr unsigned char kUnwrittenByte = 0xa5;

void Check(bool holds) {
  if (!holds) std::abort();
}

bool Unwritten(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  return std::all_of(p, p + size, [](unsigned char b) { return b == kUnwrittenByte; });
}

// A reader's verdict: a read document gives the Result the plain reading
// found; an unread one gives 1012.
void CheckVerdict(int read, unsigned code, int plainRead, unsigned plainCode) {
  Check(read == 0 || read == 1);
  if (read == 0) {
    Check(code == zcv::kNoAnswer);
  } else {
    Check(plainRead == 1 && code == plainCode);
  }
}

void CheckBody(const char* body) {
  unsigned plainCode = 0;
  const int plainRead = zcv::ResultReplyReader(body, &plainCode, nullptr);
  Check(plainRead == 1 || plainCode == zcv::kNoAnswer);
  const bool accepted = plainRead == 1 && plainCode == zcv::kAccepted;

  unsigned code = 0;
  int expire = kUnwrittenInt;
  const int expireRead = zcv::ResultReplyReader(body, &code, &expire);
  CheckVerdict(expireRead, code, plainRead, plainCode);
  if (!accepted) Check(expire == kUnwrittenInt || expire == 0);
  if (expireRead == 0) Check(expire == kUnwrittenInt);

  char password[zcv::kResvPassWordBytes];
  std::memset(password, kUnwrittenByte, sizeof password);
  const int passwordRead = zcv::PasswordReplyReader(body, &code, password);
  CheckVerdict(passwordRead, code, plainRead, plainCode);
  if (!accepted || passwordRead == 0) Check(Unwritten(password, sizeof password));
  if (passwordRead == 1 && code == zcv::kAccepted) {
    Check(std::memchr(password, '\0', sizeof password) != nullptr);
  }

  // One record more than the reader may write, to catch a write past them.
  pTokenBindInfo rows[zcv::kMaxBindRows + 1];
  std::memset(rows, kUnwrittenByte, sizeof rows);
  int rowCount = kUnwrittenInt;
  const int rowsRead = zcv::BindInfoReplyReader(body, &code, &rowCount, rows);
  CheckVerdict(rowsRead, code, plainRead, plainCode);
  if (!accepted) {
    Check(rowCount == kUnwrittenInt || rowCount == 0);
    Check(Unwritten(rows, sizeof rows));
  } else {
    const int limit = rowCount >= 1 && rowCount <= zcv::kMaxBindRows ? rowCount : 0;
    for (int i = 0; i < zcv::kMaxBindRows + 1; ++i) {
      Check(Unwritten(&rows[i].Reserved, sizeof rows[i].Reserved));
      if (i >= limit) Check(Unwritten(&rows[i], sizeof rows[i]));
    }
  }

  int status = kUnwrittenInt;
  expire = kUnwrittenInt;
  const int statusRead = zcv::StatusReplyReader(body, &code, &expire, &status);
  CheckVerdict(statusRead, code, plainRead, plainCode);
  if (!accepted) {
    Check(status == kUnwrittenInt);
    Check(expire == kUnwrittenInt || expire == 0);
  }
  // Both or neither: a failed reading stores nothing.
  if (statusRead == 0) Check(status == kUnwrittenInt && expire == kUnwrittenInt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxBodyBytes) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (;;) {
    const std::size_t nul = input.find('\0', start);
    const std::string body(input.substr(start, nul == std::string_view::npos ? nul : nul - start));
    // The library hands a reader 1 to 2048 bytes.
    if (!body.empty()) CheckBody(body.c_str());
    if (nul == std::string_view::npos) return 0;
    start = nul + 1;
  }
}
