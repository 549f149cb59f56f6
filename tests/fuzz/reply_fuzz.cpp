// Fuzz target: every reply reader on an arbitrary body of the accepted size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "reply/reply_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;
  const std::string body(reinterpret_cast<const char*>(data), size);
  unsigned code = 0;
  int expire = 0;
  int status = 0;
  int rowCount = 0;
  char resvPassWord[zcv::kResvPassWordBytes] = {};
  pTokenBindInfo rows[zcv::kMaxBindRows] = {};
  zcv::ResultReplyReader(body.c_str(), &code, &expire);
  zcv::PasswordReplyReader(body.c_str(), &code, resvPassWord);
  zcv::BindInfoReplyReader(body.c_str(), &code, &rowCount, rows);
  zcv::StatusReplyReader(body.c_str(), &code, &expire, &status);
  return 0;
}
