// The calls to the token service: one zcv_auth per card, on a client opened
// on the checked configuration's bytes, with the checked CA bytes and the
// time left as its CallTimeout.
#include "pam/card_check.h"

#include <security/pam_ext.h>
#include <string.h>
#include <syslog.h>
#include <zephyrcoilvault/client.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

namespace zcv::pam {
namespace {

// What the library's log entries need to reach syslog without the code.
struct LogForward {
  pam_handle_t* pamh;
  const Code* code;
};

// Overwrites every occurrence of `secret` in *text with '*'.
void Mask(std::string* text, const std::string& secret) {
  if (secret.empty()) return;
  for (std::size_t at = text->find(secret); at != std::string::npos;
       at = text->find(secret, at + secret.size())) {
    text->replace(at, secret.size(), secret.size(), '*');
  }
}

// Called by the library on the calling thread: one failure entry, e.g.
// "127.0.0.1  connect error". Entries never hold the code; it is masked all
// the same (as typed and as a number), and control bytes are dropped.
void ForwardLibraryLog(void* ctx, const char* message) noexcept {
  const auto* forward = static_cast<const LogForward*>(ctx);
  try {
    std::string line;
    for (const char* p = message; *p != '\0'; ++p) {
      if (static_cast<unsigned char>(*p) >= ' ' && *p != 0x7f) line.push_back(*p);
    }
    Mask(&line, forward->code->text());
    Mask(&line, std::to_string(forward->code->value()));
    pam_syslog(forward->pamh, LOG_WARNING, "library: %s", line.c_str());
  } catch (...) {
    pam_syslog(forward->pamh, LOG_WARNING, "library: an entry could not be forwarded");
  }
}

struct ClientCloser {
  void operator()(zcv_client* client) const { zcv_client_close(client); }
};

}  // namespace

Code::~Code() {
  explicit_bzero(text_, sizeof text_);
  explicit_bzero(&value_, sizeof value_);
}

bool Code::Set(const char* typed, int digits) {
  int value = 0;
  int i = 0;
  for (; i < digits; ++i) {
    if (typed[i] < '0' || typed[i] > '9') break;
    value = value * 10 + (typed[i] - '0');
  }
  const bool whole = i == digits && typed[i] == '\0';
  if (whole) {
    memcpy(text_, typed, static_cast<std::size_t>(digits));
    text_[digits] = '\0';
    value_ = value;
  }
  explicit_bzero(&value, sizeof value);
  return whole;
}

unsigned CardCheck::CallAuth(int card, const Code& code, int seconds) {
  LogForward forward{pamh_, &code};
  zcv_options options = ZCV_OPTIONS_INIT;
  options.config_data = config_.text.data();
  options.config_size = config_.text.size();
  if (!config_.ca_file.empty()) {
    options.ca_data = config_.ca_text.data();
    options.ca_size = config_.ca_text.size();
  }
  options.log_fn = ForwardLibraryLog;
  options.log_ctx = &forward;
  options.call_timeout_s = static_cast<unsigned>(seconds);
  // syslog lines in UTF-8, whatever the configuration's messages are in.
  options.flags = ZCV_UTF8_MESSAGES;
  char error[ZCV_ERROR_BYTES] = {};
  std::unique_ptr<zcv_client, ClientCloser> client(
      zcv_client_open_options(&options, error, sizeof error));
  if (!client) {
    error[strcspn(error, "\r\n")] = '\0';
    pam_syslog(pamh_, LOG_ERR, "configuration %s refused by the library: %s", options_.config,
               error);
    return ZCV_NO_ANSWER;
  }
  char expire[ZCV_EXPIRE_TEXT_BYTES] = {};
  const unsigned result = zcv_auth(client.get(), card, code.value(), expire, sizeof expire);
  if (result == ZCV_ACCEPTED && options_.debug) {
    pam_syslog(pamh_, LOG_DEBUG, "card %d is valid until %s", card, expire);
  }
  return result;
}

int CardCheck::Run(const Code& code) {
  using Clock = std::chrono::steady_clock;
  for (int card : cards_) {
    const int seconds = static_cast<int>(std::floor(config_.bound_seconds - spent_seconds_));
    if (seconds < 1) {
      pam_syslog(pamh_, LOG_NOTICE,
                 "user %s: the %d s bound on the token calls is spent; card %d not tried", user_,
                 config_.bound_seconds, card);
      return PAM_AUTH_ERR;
    }
    if (options_.debug) {
      pam_syslog(pamh_, LOG_DEBUG, "user %s: trying card %d within %d s", user_, card, seconds);
    }
    const Clock::time_point start = Clock::now();
    const unsigned result = CallAuth(card, code, seconds);
    spent_seconds_ += std::chrono::duration<double>(Clock::now() - start).count();

    if (result == ZCV_ACCEPTED) {
      pam_syslog(pamh_, LOG_INFO, "user %s: accepted by card %d", user_, card);
      return PAM_SUCCESS;
    }
    if (result == ZCV_NO_ANSWER) {
      pam_syslog(pamh_, LOG_ERR, "user %s: no usable answer from the token servers (card %d)",
                 user_, card);
      return PAM_AUTHINFO_UNAVAIL;
    }
    if (result == ZCV_ARGUMENT_REFUSED) {
      pam_syslog(pamh_, LOG_NOTICE, "user %s: card %d: the library refused the arguments", user_,
                 card);
    } else {
      pam_syslog(pamh_, LOG_NOTICE, "user %s: card %d refused: service verdict %u", user_, card,
                 result);
    }
  }
  return PAM_AUTH_ERR;
}

}  // namespace zcv::pam
