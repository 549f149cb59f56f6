// One attempt of an operation against one server: fetch the reply
// over HTTP and hand its body to the operation's reply reader. Each returns
// 1 when a reply was read and 0 otherwise (with 1012 in *code); every
// failure is logged. None retries: retrying belongs to the call frame.
// `cutoffMs` (on platform::MonotonicMilliseconds(), 0 for none) is the end
// of the call's time: the attempt is cut there.
#pragma once

#include <cstdint>

#include "service/service_context.h"
#include "zephyrcoilvault.h"

namespace zcv {

constexpr int kMaxReplyBodyBytes = 2048;

// What one attempt sends where: the server is the caller's snapshot, the
// one whose failure the caller then rotates away from.
struct Attempt {
  ServiceContext& context;
  const ServerEntry& server;
  const char* path;
  std::int64_t cutoffMs;
};

// Reads Result and, with a non-null expire, ExpireTime.
int RequestHelper(const Attempt& attempt, unsigned* code, int* expire);
// Reads Result and, on 9999, ResvPassWord into resvPassWord.
int PasswordRequestHelper(const Attempt& attempt, unsigned* code, char* resvPassWord);
// Reads Result, RowCount and the binding rows straight into the caller's storage.
int BindInfoRequestHelper(const Attempt& attempt, unsigned* code, int* rowCount,
                          pTokenBindInfo* rows);
// Reads Result and, on 9999, ExpireTime and CardStatus.
int StatusRequestHelper(const Attempt& attempt, unsigned* code, int* expire, int* status);

}  // namespace zcv
