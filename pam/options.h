// The module's options, parsed once per call from the arguments of its line
// in the PAM stack into one plain struct.
#pragma once

#include <security/pam_modules.h>

#include <cstddef>
#include <string>
#include <vector>

namespace zcv::pam {

constexpr const char* kDefaultConfig = "/etc/zephyrcoilvault/cfgfile.ini";
constexpr const char* kDefaultAuthfile = "/etc/zephyrcoilvault/users";
constexpr const char* kDefaultPrompt = "Token code: ";
constexpr int kDefaultDigits = 6;
// A code travels as a C int: nine digits always fit.
constexpr int kMaxDigits = 9;
constexpr std::size_t kMaxGroups = 32;
constexpr std::size_t kMaxGroupNameBytes = 256;

struct Options {
  const char* config = kDefaultConfig;  // pointers into the module's arguments
  const char* authfile = kDefaultAuthfile;
  const char* prompt = kDefaultPrompt;
  int digits = kDefaultDigits;
  bool use_first_pass = false;
  bool try_first_pass = false;
  bool nullok = false;
  bool debug = false;
  // groups=: the module applies only to members of these groups, or, when
  // groups_negated, only to users in none of them. Empty: to everyone.
  std::vector<std::string> groups;
  bool groups_negated = false;
};

// Fills *options from argv. An unknown option is logged and ignored, as
// Linux-PAM's modules do; a known option with an unusable value (a relative
// path, digits out of 1..9, a malformed group list) or a value option given
// twice is logged and makes the result false, so that the caller refuses
// rather than guesses. pamh may be null (no logging).
bool ParseOptions(pam_handle_t* pamh, int argc, const char** argv, Options* options);

}  // namespace zcv::pam
