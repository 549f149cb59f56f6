// The call frame: checks, failover loop with rotation, failure gate,
// exception path. Shared by all 28 operations.
#include "service/call_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/error_text.h"
#include "service/expire_time.h"
#include "service/request_helpers.h"
#include "service/service_context.h"

namespace zcv {
namespace {

constexpr std::size_t kExceptionMessageBytes = 300;

bool HasControlByte(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p < 0x20 || *p == 0x7F) return true;
  }
  return false;
}

bool ArgumentsAccepted(std::initializer_list<ArgumentCheck> checks) {
  for (const ArgumentCheck& check : checks) {
    if (check.pointer == nullptr) {
      if (check.required) return false;
      continue;
    }
    if (check.kind == ArgumentCheck::Kind::kText && check.limit != kNoLimit) {
      const char* text = static_cast<const char*>(check.pointer);
      if (strnlen(text, check.limit + 1) > static_cast<std::size_t>(check.limit)) return false;
    }
  }
  // A control byte (a CR or LF above all) would split the request line and
  // let a text inject headers; it is refused like an over-long text.
  for (const ArgumentCheck& check : checks) {
    if (check.kind == ArgumentCheck::Kind::kText && check.pointer != nullptr &&
        HasControlByte(static_cast<const char*>(check.pointer))) {
      return false;
    }
  }
  return true;
}

// What one attempt's reader leaves for the call to deliver.
struct ReplyValues {
  unsigned code = kNoAnswer;
  int expire = 0;
  int status = 0;
};

// The end of the time a call may spend over all its attempts, on the
// context's monotonic clock; a call without CallTimeout never passes it.
class CallDeadline {
 public:
  explicit CallDeadline(const ServiceContext& context)
      : clock_(context.monotonicMs),
        limited_(context.timeouts.call != kNoCallTimeout),
        endMs_(limited_ ? clock_() + std::int64_t{context.timeouts.call} * kMillisPerSecond : 0) {}

  bool Passed() const { return limited_ && clock_() >= endMs_; }
  // The same end on the HTTP client's clock, for an attempt starting now;
  // 0 for none, as the client takes it.
  std::int64_t cutoffMs() const {
    if (!limited_) return 0;
    return platform::MonotonicMilliseconds() + std::max<std::int64_t>(endMs_ - clock_(), 0);
  }

 private:
  static constexpr std::int64_t kMillisPerSecond = 1000;
  std::int64_t (*clock_)();
  bool limited_;
  std::int64_t endMs_;
};

int AttemptOnce(ServiceContext& context, const Outputs& outputs, const char* path,
                std::int64_t cutoffMs, ReplyValues& values) {
  switch (outputs.reply) {
    case Outputs::Reply::kPassword:
      return PasswordRequestHelper(context, path, cutoffMs, &values.code, outputs.resvPassWord);
    case Outputs::Reply::kBindInfo:
      return BindInfoRequestHelper(context, path, cutoffMs, &values.code, outputs.rowCount,
                                   outputs.rows);
    case Outputs::Reply::kStatus:
      return StatusRequestHelper(context, path, cutoffMs, &values.code, &values.expire,
                                 &values.status);
    case Outputs::Reply::kResult:
      break;
  }
  return RequestHelper(context, path, cutoffMs, &values.code,
                       outputs.expireText ? &values.expire : nullptr);
}

ResultCode RunAttempts(ServiceContext& context, const Operation& operation, const Outputs& outputs,
                       PathFormatter formatPath, bool holdsBusy) {
  char path[kLongPathBytes] = {};
  ServerEntry seen = context.servers.Current();
  formatPath(path, operation.pathBytes);

  ReplyValues values;
  bool replied = false;
  const CallDeadline deadline(context);
  for (int attempt = 0; attempt < context.servers.count() && !deadline.Passed(); ++attempt) {
    if (AttemptOnce(context, outputs, path, deadline.cutoffMs(), values) == 1) {
      replied = true;
      break;
    }
    // Rotates only when no other call has moved past this server already.
    context.servers.RotateIfCurrent(seen);
    seen = context.servers.Current();
  }

  if (replied && values.code == kAccepted) {
    if (outputs.expireText) FormatExpireTime(context.mutex, values.expire, outputs.expireText);
    if (outputs.cardStatus) *outputs.cardStatus = values.status;
  }
  if (operation.gated) {
    if (replied) {
      context.gate.RecordReply(holdsBusy);
    } else {
      context.gate.RecordRanOut(context.clock(), holdsBusy);
    }
  }
  return replied ? values.code : kNoAnswer;
}

void LogException(ServiceContext& context, const Operation& operation) {
  const std::string systemText = platform::LastErrorText();
  char message[kExceptionMessageBytes] = {};
  std::snprintf(message, sizeof message, operation.exceptionTemplate, systemText.c_str());
  context.log.WriteLog(message);
}

}  // namespace

ResultCode RunCall(const Operation& operation, std::initializer_list<ArgumentCheck> checks,
                   const Outputs& outputs, PathFormatter formatPath) noexcept {
  try {
    ServiceContext* context = ActiveContext();
    if (context == nullptr || !context->servers.valid()) return kNoAnswer;
    if (!ArgumentsAccepted(checks)) return kArgumentRefused;
    bool holdsBusy = false;
    if (operation.gated && !context->gate.Admit(context->clock(), &holdsBusy)) return kNoAnswer;
    try {
      return RunAttempts(*context, operation, outputs, formatPath, holdsBusy);
    } catch (...) {
      if (operation.gated) context->gate.RecordException(holdsBusy);
      LogException(*context, operation);
      return kNoAnswer;
    }
  } catch (...) {
    return kNoAnswer;
  }
}

}  // namespace zcv
