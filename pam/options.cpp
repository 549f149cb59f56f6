// Parses the module's arguments: name=value options and flags.
#include "pam/options.h"

#include <security/pam_ext.h>
#include <syslog.h>

#include <cstring>

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

}  // namespace

bool ParseOptions(pam_handle_t* pamh, int argc, const char** argv, Options* options) {
  bool usable = true;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = nullptr;
    if ((value = ValueOf(arg, "config")) != nullptr) {
      usable = SetPath(pamh, "config", value, &options->config) && usable;
    } else if ((value = ValueOf(arg, "authfile")) != nullptr) {
      usable = SetPath(pamh, "authfile", value, &options->authfile) && usable;
    } else if ((value = ValueOf(arg, "prompt")) != nullptr) {
      options->prompt = value;
    } else if ((value = ValueOf(arg, "digits")) != nullptr) {
      usable = SetDigits(pamh, value, &options->digits) && usable;
    } else if (std::strcmp(arg, "use_first_pass") == 0) {
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
  return usable;
}

}  // namespace zcv::pam
