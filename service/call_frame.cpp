// The call frame: checks, failover loop with rotation, failure gate,
// exception path. Shared by all 28 operations.
#include "service/call_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/error_text.h"
#include "service/client.h"
#include "service/expire_time.h"
#include "service/request_helpers.h"

namespace zcv {
namespace {

constexpr std::size_t kExceptionMessageBytes = 300;
// The failure gate's two log lines: once when it closes, once when a call
// is admitted again; the refusals between them are silent.
constexpr char kGateClosedMessage[] =
    "authentication refused for 150 s after 3 calls without a server\n";
constexpr char kGateReopenedMessage[] =
    "authentication admitted again after the failure gate's wait\n";
static_assert(kGateWindowSeconds == 150, "the closing line names the window");
// Room for the decimal text of any int: a sign and ten digits.
constexpr std::size_t kIntTextBytes = 11;

// Texts go into the query as they are, unescaped. A control byte (CR or LF
// above all) would split the request line and inject headers, a blank would
// end the request-target, '&' would add a query key of the caller's choosing
// and '#' would make servers drop every key after it. Bytes of 0x80 and
// above (GBK text) and '%' (text the host escaped itself) go out as they are.
bool HasRefusedByte(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p <= 0x20 || *p == 0x7F || *p == '&' || *p == '#') return true;
  }
  return false;
}

bool ArgumentsAccepted(std::initializer_list<ArgumentCheck> checks) {
  for (const ArgumentCheck& check : checks) {
    if (check.pointer == nullptr) {
      if (check.required) return false;
      continue;
    }
    if (check.kind == ArgumentCheck::Kind::kOutput && check.room < check.needed) return false;
    if (check.kind == ArgumentCheck::Kind::kText && check.limit != kNoLimit) {
      const char* text = static_cast<const char*>(check.pointer);
      if (strnlen(text, check.limit + 1) > static_cast<std::size_t>(check.limit)) return false;
    }
  }
  for (const ArgumentCheck& check : checks) {
    if (check.kind == ArgumentCheck::Kind::kText && check.pointer != nullptr &&
        HasRefusedByte(static_cast<const char*>(check.pointer))) {
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

int AttemptOnce(ServiceContext& context, const ServerEntry& server, const Outputs& outputs,
                const char* path, std::int64_t cutoffMs, ReplyValues& values) {
  const Attempt attempt{context, server, path, cutoffMs};
  switch (outputs.reply) {
    case Outputs::Reply::kPassword:
      return PasswordRequestHelper(attempt, &values.code, outputs.resvPassWord);
    case Outputs::Reply::kBindInfo:
      return BindInfoRequestHelper(attempt, &values.code, outputs.rowCount, outputs.rows);
    case Outputs::Reply::kStatus:
      return StatusRequestHelper(attempt, &values.code, &values.expire, &values.status);
    case Outputs::Reply::kResult:
      break;
  }
  return RequestHelper(attempt, &values.code, outputs.expireText ? &values.expire : nullptr);
}

ResultCode RunAttempts(ServiceContext& context, const Operation& operation, const Outputs& outputs,
                       const char* path, bool holdsBusy) {
  ReplyValues values;
  bool replied = false;
  const CallDeadline deadline(context);
  for (int attempt = 0; attempt < context.servers.count() && !deadline.Passed(); ++attempt) {
    // One snapshot per attempt: the server dialled is the one whose failure
    // decides the rotation, whatever other calls rotate meanwhile.
    const ServerEntry server = context.servers.Current();
    if (AttemptOnce(context, server, outputs, path, deadline.cutoffMs(), values) == 1) {
      replied = true;
      break;
    }
    // Rotates only when no other call has moved past this server already.
    context.servers.RotateIfCurrent(server);
  }

  if (replied && values.code == kAccepted) {
    if (outputs.expireText) FormatExpireTime(context.mutex, values.expire, outputs.expireText);
    if (outputs.cardStatus) *outputs.cardStatus = values.status;
  }
  if (operation.gated) {
    if (replied) {
      context.gate.RecordReply(holdsBusy);
    } else {
      if (context.gate.RecordRanOut(context.clock(), holdsBusy)) {
        context.log.WriteLog(kGateClosedMessage);
      }
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

// Appends to a buffer of fixed size, keeping what fits and its NUL.
class BoundedWriter {
 public:
  BoundedWriter(char* out, std::size_t size)
      : out_(out), room_(size > 0 ? size - 1 : 0), cut_(size == 0) {}
  ~BoundedWriter() {
    if (out_ != nullptr) *out_ = '\0';
  }
  BoundedWriter(const BoundedWriter&) = delete;
  BoundedWriter& operator=(const BoundedWriter&) = delete;

  void Write(const char* bytes, std::size_t count) {
    if (count > room_) cut_ = true;
    if (out_ == nullptr) return;
    const std::size_t kept = std::min(count, room_);
    std::memcpy(out_, bytes, kept);
    out_ += kept;
    room_ -= kept;
  }

  bool whole() const { return !cut_; }

 private:
  char* out_;  // null when there is no room even for the NUL
  std::size_t room_;
  bool cut_;  // something did not fit, if only the NUL
};

// Decimal digits of `value`, INT_MIN included, written backwards into the
// end of `digits`; returns where they start.
char* FormatInt(int value, char (&digits)[kIntTextBytes]) {
  char* p = digits + sizeof digits;
  // Unsigned arithmetic: negating INT_MIN would overflow an int.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  return p;
}

}  // namespace

bool FormatTemplate(char* out, std::size_t size, const char* pathTemplate,
                    std::initializer_list<TemplateValue> values) {
  BoundedWriter writer(size > 0 ? out : nullptr, size);
  const TemplateValue* next = values.begin();
  const char* p = pathTemplate;
  while (*p != '\0') {
    const char* percent = std::strchr(p, '%');
    if (percent == nullptr) {
      writer.Write(p, std::strlen(p));
      break;
    }
    writer.Write(p, static_cast<std::size_t>(percent - p));
    const char conversion = percent[1];
    if ((conversion == 'd' || conversion == 's') && next != values.end()) {
      if (next->text != nullptr) {
        writer.Write(next->text, std::strlen(next->text));
      } else {
        char digits[kIntTextBytes];
        const char* start = FormatInt(next->number, digits);
        writer.Write(start, static_cast<std::size_t>(digits + sizeof digits - start));
      }
      ++next;
    } else if (conversion == '%') {
      writer.Write(percent, 1);
    }
    if (conversion == '\0') break;
    p = percent + 2;
  }
  return writer.whole();
}

ResultCode RunCall(Client* client, const Operation& operation,
                   std::initializer_list<ArgumentCheck> checks, const Outputs& outputs,
                   PathFormatter formatPath) noexcept {
  try {
    if (client == nullptr) return kNoAnswer;
    const AdmittedCall call(client->admission());
    if (!call.admitted()) return kNoAnswer;
    ServiceContext* context = &client->context();
    if (!context->servers.valid()) return kNoAnswer;
    if (!ArgumentsAccepted(checks)) return kArgumentRefused;
    // Formatting always ends the path with its NUL: no need to clear it first.
    char path[kLongPathBytes];
    bool holdsBusy = false;
    try {
      // A path cut to its buffer would send other values than the caller's.
      if (!formatPath(path, operation.pathBytes)) return kArgumentRefused;
      bool firstAfterWait = false;
      if (operation.gated && !context->gate.Admit(context->clock(), &holdsBusy, &firstAfterWait)) {
        return kNoAnswer;
      }
      if (firstAfterWait) context->log.WriteLog(kGateReopenedMessage);
      return RunAttempts(*context, operation, outputs, path, holdsBusy);
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
