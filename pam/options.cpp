// Parses the module's arguments: name=value options and flags.
#include "pam/options.h"

#include <security/pam_ext.h>
#include <syslog.h>

#include <cstring>
#include <string_view>

namespace zcv::pam {
namespace {

// The value after "name=" when arg starts with it, else null.
const char* ValueOf(const char* arg, const char* name) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') return nullptr;
  return arg + length + 1;
}

bool SetPath(pam_handle_t* pamh, const char* name, const char* value, const char** out) {
  if (value[0] != '/') {
    if (pamh != nullptr) pam_syslog(pamh, LOG_ERR, "%s= needs an absolute path: %s", name, value);
    return false;
  }
  *out = value;
  return true;
}

bool SetDigits(pam_handle_t* pamh, const char* value, int* out) {
  const bool one_digit = value[0] >= '1' && value[0] <= '9' && value[1] == '\0';
  if (!one_digit || value[0] - '0' > kMaxDigits) {
    if (pamh != nullptr)
      pam_syslog(pamh, LOG_ERR, "digits= must be 1 to %d: %s", kMaxDigits, value);
    return false;
  }
  *out = value[0] - '0';
  return true;
}

// A group name as a log line can show it: 1 to 256 bytes, no blank, control
// byte, ':', ',' or '!'.
bool IsValidGroupName(std::string_view name) {
  if (name.empty() || name.size() > kMaxGroupNameBytes) return false;
  for (char byte : name) {
    const auto c = static_cast<unsigned char>(byte);
    if (c <= ' ' || c == 0x7f || c == ':' || c == ',' || c == '!') return false;
  }
  return true;
}

// "a,b" or "!a,b": '!' in front negates the whole list.
bool SetGroups(pam_handle_t* pamh, const char* value, Options* options) {
  std::string_view list(value);
  options->groups.clear();
  options->groups_negated = !list.empty() && list.front() == '!';
  if (options->groups_negated) list.remove_prefix(1);
  for (;;) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    if (!IsValidGroupName(name) || options->groups.size() == kMaxGroups) {
      if (pamh != nullptr) {
        pam_syslog(pamh, LOG_ERR,
                   "groups= must be 1 to %zu group names separated by commas, with one '!' in "
                   "front to negate them all: %s",
                   kMaxGroups, value);
      }
      options->groups.clear();
      return false;
    }
    options->groups.emplace_back(name);
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace

bool ParseOptions(pam_handle_t* pamh, int argc, const char** argv, Options* options) {
  enum { kConfig, kAuthfile, kPrompt, kDigits, kGroups, kValueOptions };
  static const char* const kNames[kValueOptions] = {"config", "authfile", "prompt", "digits",
                                                    "groups"};
  bool given[kValueOptions] = {};
  bool usable = true;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr) continue;
    const char* value = nullptr;
    int option = 0;
    while (option < kValueOptions && (value = ValueOf(arg, kNames[option])) == nullptr) ++option;
    if (option < kValueOptions && given[option]) {
      // A second value would silently win; the stack's author meant one.
      if (pamh != nullptr) pam_syslog(pamh, LOG_ERR, "%s= is given twice", kNames[option]);
      usable = false;
      continue;
    }
    if (option < kValueOptions) given[option] = true;
    switch (option) {
      case kConfig:
        usable = SetPath(pamh, "config", value, &options->config) && usable;
        break;
      case kAuthfile:
        usable = SetPath(pamh, "authfile", value, &options->authfile) && usable;
        break;
      case kPrompt:
        options->prompt = value;
        break;
      case kDigits:
        usable = SetDigits(pamh, value, &options->digits) && usable;
        break;
      case kGroups:
        usable = SetGroups(pamh, value, options) && usable;
        break;
      default:
        if (std::strcmp(arg, "use_first_pass") == 0) {
          options->use_first_pass = true;
        } else if (std::strcmp(arg, "try_first_pass") == 0) {
          options->try_first_pass = true;
        } else if (std::strcmp(arg, "nullok") == 0) {
          options->nullok = true;
        } else if (std::strcmp(arg, "debug") == 0) {
          options->debug = true;
        } else if (pamh != nullptr) {
          pam_syslog(pamh, LOG_ERR, "unknown option ignored: %s", arg);
        }
    }
  }
  return usable;
}

}  // namespace zcv::pam
