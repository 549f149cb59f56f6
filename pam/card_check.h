// Checks one code against a user's cards in order, each on a client of the
// library's C interface opened for that call alone, all within one bound.
#pragma once

#include <security/pam_modules.h>

#include <vector>

#include "pam/call_config.h"
#include "pam/options.h"

namespace zcv::pam {

// A code as typed, with its value; wiped from memory when it goes away.
class Code {
 public:
  Code() = default;
  ~Code();
  Code(const Code&) = delete;
  Code& operator=(const Code&) = delete;

  // Takes `typed` when it is exactly `digits` decimal digits; false
  // otherwise, holding nothing.
  bool Set(const char* typed, int digits);
  const char* text() const { return text_; }
  int value() const { return value_; }

 private:
  char text_[kMaxDigits + 1] = {};
  int value_ = 0;
};

class CardCheck {
 public:
  CardCheck(pam_handle_t* pamh, const Options& options, const char* user, const CallConfig& config,
            const std::vector<int>& cards)
      : pamh_(pamh), options_(options), user_(user), config_(config), cards_(cards) {}

  // Tries the code against each card until one accepts it. PAM_SUCCESS on
  // 9999; PAM_AUTHINFO_UNAVAIL as soon as a call gets no usable answer (the
  // later cards would not get one either); PAM_AUTH_ERR when every card
  // refused it or the bound was spent. The time of every call made through
  // this object counts against the configuration's bound, so a second Run
  // (after try_first_pass) gets only what is left.
  int Run(const Code& code);

 private:
  unsigned CallAuth(int card, const Code& code, int seconds);

  pam_handle_t* pamh_;
  const Options& options_;
  const char* user_;
  const CallConfig& config_;
  const std::vector<int>& cards_;
  double spent_seconds_ = 0;
};

}  // namespace zcv::pam
