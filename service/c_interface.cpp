// The C interface: each function hands its client and arguments to the
// operation written once in the service (service/operations.h). A null
// client is refused with 1011 before anything else happens.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/file.h"
#include "platform/text_encoding.h"
#include "service/client.h"
#include "service/operations.h"
#include "zephyrcoilvault.h"
#include "zephyrcoilvault/client.h"

struct zcv_client {
  explicit zcv_client(const zcv::ClientOptions& options) : client(options) {}
  zcv::Client client;
};

static_assert(sizeof(zcv_bind_info) == sizeof(pTokenBindInfo), "one binding row, two names");
static_assert(offsetof(zcv_bind_info, account) == offsetof(pTokenBindInfo, Account),
              "accounts at the same place");
static_assert(offsetof(zcv_bind_info, bind_time) == offsetof(pTokenBindInfo, Bindtime),
              "binding times at the same place");
static_assert(ZCV_ACCEPTED == zcv::kAccepted && ZCV_ARGUMENT_REFUSED == zcv::kArgumentRefused &&
                  ZCV_NO_ANSWER == zcv::kNoAnswer,
              "one set of result codes");

namespace {

using zcv::Client;

#define ZCV_TEXT(x) #x
#define ZCV_VERSION_TEXT(major, minor, patch) \
  ZCV_TEXT(major) "." ZCV_TEXT(minor) "." ZCV_TEXT(patch)

// Writes `reason` into the caller's buffer, cut to fit with its NUL.
void WriteError(char* error, std::size_t size, const std::string& reason) {
  if (error == nullptr || size == 0) return;
  const std::size_t kept = std::min(reason.size(), size - 1);
  std::memcpy(error, reason.data(), kept);
  error[kept] = '\0';
}

template <typename... Params, typename... Args>
unsigned On(zcv_client* c, ResultCode (*operation)(Client*, Params...), Args... args) {
  return c == nullptr ? ZCV_ARGUMENT_REFUSED : operation(&c->client, args...);
}

void DeleteClient(void* client) { delete static_cast<zcv_client*>(client); }

// The most a caller's struct may declare beyond this version's fields; the
// bytes beyond must all be zero (fields this library does not know, unset).
constexpr std::size_t kMaxOptionsSize = 4096;
constexpr unsigned kKnownFlags = ZCV_WRITE_BACK | ZCV_UTF8_MESSAGES;

bool TimeoutInRange(unsigned seconds) {
  return seconds == 0 || (seconds >= static_cast<unsigned>(zcv::kMinTimeoutSeconds) &&
                          seconds <= static_cast<unsigned>(zcv::kMaxTimeoutSeconds));
}

// Checks the host's options and fills *out; the reason when refused.
const char* ReadOptions(const zcv_options* given, zcv::ClientOptions* out) {
  if (given == nullptr) return "no options given";
  if (given->size < sizeof(zcv_options)) return "options: size smaller than any zcv_options";
  if (given->size > kMaxOptionsSize) return "options: size larger than any zcv_options";
  const unsigned char* tail = reinterpret_cast<const unsigned char*>(given) + sizeof(zcv_options);
  for (std::size_t i = 0; i < given->size - sizeof(zcv_options); ++i) {
    if (tail[i] != 0) return "options: fields set that this library does not know";
  }
  const zcv_options& o = *given;
  if ((o.config_path != nullptr) == (o.config_data != nullptr)) {
    return "options: give exactly one of config_path and config_data";
  }
  if (o.config_data == nullptr && o.config_size != 0) return "options: config_size without data";
  if (o.config_size > zcv::platform::kMaxReadFileBytes) {
    return "options: config_data larger than 1048576 bytes";
  }
  if (o.ca_data == nullptr && o.ca_size != 0) return "options: ca_size without ca_data";
  if (o.ca_size > zcv::platform::kMaxReadFileBytes) {
    return "options: ca_data larger than 1048576 bytes";
  }
  const struct {
    unsigned value;
    const char* reason;
  } timeouts[] = {
      {o.connect_timeout_s, "options: connect_timeout_s out of range (0, or 1 to 600)"},
      {o.send_timeout_s, "options: send_timeout_s out of range (0, or 1 to 600)"},
      {o.receive_timeout_s, "options: receive_timeout_s out of range (0, or 1 to 600)"},
      {o.call_timeout_s, "options: call_timeout_s out of range (0, or 1 to 600)"},
  };
  for (const auto& timeout : timeouts) {
    if (!TimeoutInRange(timeout.value)) return timeout.reason;
  }
  if ((o.flags & ~kKnownFlags) != 0) return "unknown flags";
  if ((o.flags & ZCV_WRITE_BACK) != 0 && o.config_data != nullptr) {
    return "options: ZCV_WRITE_BACK needs config_path, not config_data";
  }
  if (o.config_path != nullptr) {
    out->configPath = o.config_path;
  } else {
    out->configText.emplace(static_cast<const char*>(o.config_data), o.config_size);
  }
  if (o.ca_data != nullptr) out->caPem.emplace(static_cast<const char*>(o.ca_data), o.ca_size);
  out->timeouts = {static_cast<int>(o.connect_timeout_s), static_cast<int>(o.send_timeout_s),
                   static_cast<int>(o.receive_timeout_s), static_cast<int>(o.call_timeout_s)};
  out->logPath = o.log_path != nullptr ? o.log_path : "";
  out->logSink = o.log_fn;
  out->logContext = o.log_ctx;
  out->writeBack = (o.flags & ZCV_WRITE_BACK) != 0;
  if ((o.flags & ZCV_UTF8_MESSAGES) != 0) out->logText = zcv::LogFile::Text::kUtf8;
  return nullptr;
}

// A binding query of the C interface: the rows and count are read into a
// copy and reach the caller's storage only on ZCV_ACCEPTED.
template <typename Query>
unsigned StagedRows(zcv_client* c, int* row_count, zcv_bind_info* rows, size_t row_capacity,
                    Query query) {
  if (c == nullptr || row_count == nullptr || rows == nullptr ||
      row_capacity < static_cast<size_t>(zcv::kMaxBindRows)) {
    return ZCV_ARGUMENT_REFUSED;
  }
  int count = *row_count;
  pTokenBindInfo staged[zcv::kMaxBindRows];
  std::memcpy(staged, rows, sizeof staged);
  const unsigned code = query(&c->client, &count, staged);
  if (code == ZCV_ACCEPTED) {
    *row_count = count;
    std::memcpy(rows, staged, sizeof staged);
  }
  return code;
}

}  // namespace

extern "C" {

const char* zcv_version(void) {
  return ZCV_VERSION_TEXT(ZCV_VERSION_MAJOR, ZCV_VERSION_MINOR, ZCV_VERSION_PATCH);
}

const char* zcv_result_text(unsigned code) {
  switch (code) {
    case ZCV_ACCEPTED:
      return "accepted by the service";
    case ZCV_ARGUMENT_REFUSED:
      return "an argument was refused; nothing was sent";
    case ZCV_NO_ANSWER:
      return "no usable answer from any server";
    default:
      return "the service's own verdict";
  }
}

zcv_client* zcv_client_open_options(const zcv_options* options, char* error, size_t error_size) {
  WriteError(error, error_size, "");
  try {
    zcv::ClientOptions clientOptions;
    const char* refused = ReadOptions(options, &clientOptions);
    if (refused != nullptr) {
      WriteError(error, error_size, refused);
      return nullptr;
    }
    auto opened = std::make_unique<zcv_client>(clientOptions);
    std::string refusal = opened->client.Refusal(error_size);
    if (!refusal.empty()) {
      // The reason is the log's line, in the log's text.
      if (clientOptions.logText == zcv::LogFile::Text::kUtf8) {
        refusal = zcv::platform::GbkToUtf8(refusal);
      }
      WriteError(error, error_size, refusal);
      return nullptr;
    }
    return opened.release();
  } catch (const std::bad_alloc&) {
    WriteError(error, error_size, "out of memory");
  } catch (...) {
    WriteError(error, error_size, "exception catched in read config file");
  }
  return nullptr;
}

zcv_client* zcv_client_open(const char* config_path, const char* log_path, unsigned flags,
                            char* error, size_t error_size) {
  if ((flags & ~ZCV_WRITE_BACK) != 0) {
    WriteError(error, error_size, "unknown flags");
    return nullptr;
  }
  zcv_options options = ZCV_OPTIONS_INIT;
  options.config_path = config_path;
  options.log_path = log_path;
  options.flags = flags;
  if (config_path == nullptr) {
    WriteError(error, error_size, "no configuration file given");
    return nullptr;
  }
  return zcv_client_open_options(&options, error, error_size);
}

void zcv_client_close(zcv_client* client) {
  // Close never throws; the client's storage is freed once no call is left
  // inside it, by this thread or by the last call to leave.
  if (client == nullptr) return;
  client->client.Close(&DeleteClient, client);
}

void zcv_client_set_log(zcv_client* client, void (*fn)(void* ctx, const char* message), void* ctx) {
  if (client == nullptr) return;
  // Counted as a call, so that a close cannot free the log under it.
  const zcv::AdmittedCall call(client->client.admission());
  if (call.admitted()) client->client.log().SetSink(fn, ctx);
}

// One function per operation, written from the operation table.
#include "c_functions.inc"

}  // extern "C"
