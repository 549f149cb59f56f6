// pam_zephyrcoilvault: the auth entry points. Asks for the code of the
// user's token card (or takes the earlier module's password) and has the
// token service check it against each of the user's cards. No state is kept
// between calls; every message goes to syslog through pam_syslog.
#include <security/pam_ext.h>
#include <security/pam_modules.h>
#include <string.h>
#include <syslog.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "pam/authfile.h"
#include "pam/call_config.h"
#include "pam/card_check.h"
#include "pam/checked_file.h"
#include "pam/options.h"
#include "pam/user_lookup.h"

#define ZCV_PAM_ENTRY extern "C" __attribute__((visibility("default")))

namespace zcv::pam {
namespace {

// The conversation's reply, wiped and freed on every path.
struct Reply {
  char* text = nullptr;
  ~Reply() {
    if (text == nullptr) return;
    explicit_bzero(text, strlen(text));
    std::free(text);
  }
};

// Reads a file that must be root's; logs why it is not usable.
bool ReadTrusted(pam_handle_t* pamh, const char* what, const char* path, std::string* out) {
  const std::string why = ReadCheckedFile(path, out);
  if (why.empty()) return true;
  pam_syslog(pamh, LOG_ERR, "%s %s %s; refusing to use it", what, path, why.c_str());
  return false;
}

// The result of checking the earlier module's password when an option asks
// for it, or -1 when the user is to be prompted.
int TryEarlierPassword(pam_handle_t* pamh, const Options& options, const char* user,
                       CardCheck* check) {
  const void* item = nullptr;
  if (pam_get_item(pamh, PAM_AUTHTOK, &item) != PAM_SUCCESS) item = nullptr;
  Code code;
  if (item != nullptr && code.Set(static_cast<const char*>(item), options.digits)) {
    const int result = check->Run(code);
    if (options.use_first_pass || result != PAM_AUTH_ERR) return result;
    return -1;
  }
  if (!options.use_first_pass) return -1;
  pam_syslog(pamh, LOG_NOTICE, "user %s: %s; nothing sent", user,
             item == nullptr ? "no earlier password to use"
                             : "the earlier password is not a code of the expected length");
  return PAM_AUTH_ERR;
}

int Prompt(pam_handle_t* pamh, const Options& options, const char* user, CardCheck* check) {
  Reply reply;
  const int asked = pam_prompt(pamh, PAM_PROMPT_ECHO_OFF, &reply.text, "%s", options.prompt);
  if (asked == PAM_CONV_AGAIN) return PAM_INCOMPLETE;
  if (asked != PAM_SUCCESS || reply.text == nullptr) {
    pam_syslog(pamh, LOG_ERR, "user %s: no code from the conversation: %s", user,
               pam_strerror(pamh, asked));
    return PAM_CONV_ERR;
  }
  Code code;
  if (!code.Set(reply.text, options.digits)) {
    pam_syslog(pamh, LOG_NOTICE, "user %s: the reply is not a %d-digit code; nothing sent", user,
               options.digits);
    return PAM_AUTH_ERR;
  }
  return check->Run(code);
}

// The cards of `user` from the authfile, or the PAM result that ends the
// authentication now (-1 means the cards were found).
int ReadCards(pam_handle_t* pamh, const Options& options, int flags, const char* user,
              std::vector<int>* cards) {
  std::string authfile;
  if (!ReadTrusted(pamh, "authfile", options.authfile, &authfile)) return PAM_AUTHINFO_UNAVAIL;
  AuthfileRefusal refusal;
  switch (FindCards(authfile, user, cards, &refusal)) {
    case CardLookup::kFound:
      return -1;
    case CardLookup::kRefused:
      pam_syslog(pamh, LOG_ERR, "authfile %s line %zu %s; refusing the whole file",
                 options.authfile, refusal.line, refusal.reason.c_str());
      return PAM_AUTHINFO_UNAVAIL;
    case CardLookup::kAbsent:
      break;
  }
  // The application may forbid letting a user through without any
  // authentication token, whatever the stack says.
  if (options.nullok && (flags & PAM_DISALLOW_NULL_AUTHTOK) == 0) {
    if (options.debug) pam_syslog(pamh, LOG_DEBUG, "user %s has no token card: ignored", user);
    return PAM_IGNORE;
  }
  pam_syslog(pamh, LOG_NOTICE, "user %s has no token card in %s%s", user, options.authfile,
             options.nullok ? " (nullok does not apply: the application disallows it)" : "");
  return PAM_USER_UNKNOWN;
}

int Authenticate(pam_handle_t* pamh, int flags, int argc, const char** argv) {
  Options options;
  if (!ParseOptions(pamh, argc, argv, &options)) return PAM_SERVICE_ERR;

  const char* typed = nullptr;
  const int got_user = pam_get_user(pamh, &typed, nullptr);
  if (got_user == PAM_CONV_AGAIN) return PAM_INCOMPLETE;
  if (got_user != PAM_SUCCESS) {
    pam_syslog(pamh, LOG_ERR, "cannot get the user name: %s", pam_strerror(pamh, got_user));
    return got_user;
  }
  if (!IsValidUserName(typed)) {
    pam_syslog(pamh, LOG_NOTICE,
               "refused a user name that is empty, too long, not UTF-8, or holds a blank, a "
               "control or invisible character or ':'");
    return PAM_USER_UNKNOWN;
  }
  // Directories that ignore letter case accept "Alice" for alice: the
  // authfile and the group rule go by the directory's own name.
  SystemUser system_user;
  const int looked_up = LookUpUser(pamh, typed, &system_user);
  if (looked_up != PAM_SUCCESS) return looked_up;
  const char* user = system_user.name.c_str();
  const int applies = ApplyGroupRule(pamh, options, system_user);
  if (applies != PAM_SUCCESS) return applies;

  std::vector<int> cards;
  const int no_cards = ReadCards(pamh, options, flags, user, &cards);
  if (no_cards != -1) return no_cards;

  std::string config_text;
  if (!ReadTrusted(pamh, "configuration", options.config, &config_text)) {
    return PAM_AUTHINFO_UNAVAIL;
  }
  CallConfig config;
  const std::string why = ReadCallConfig(std::move(config_text), &config);
  if (!why.empty()) {
    pam_syslog(pamh, LOG_ERR, "configuration %s: %s", options.config, why.c_str());
    return PAM_AUTHINFO_UNAVAIL;
  }
  if (!config.ca_file.empty()) {
    if (!ReadTrusted(pamh, "CA file", config.ca_file.c_str(), &config.ca_text)) {
      return PAM_AUTHINFO_UNAVAIL;
    }
    // No bytes would leave the library to read the file itself.
    if (config.ca_text.empty()) {
      pam_syslog(pamh, LOG_ERR, "CA file %s is empty; refusing to use it", config.ca_file.c_str());
      return PAM_AUTHINFO_UNAVAIL;
    }
  }
  if (options.debug) {
    pam_syslog(pamh, LOG_DEBUG, "user %s: %zu card(s), calls bounded by %d s", user, cards.size(),
               config.bound_seconds);
  }

  CardCheck check(pamh, options, user, config, cards);
  if (options.use_first_pass || options.try_first_pass) {
    const int result = TryEarlierPassword(pamh, options, user, &check);
    if (result != -1) return result;
  }
  return Prompt(pamh, options, user, &check);
}

}  // namespace
}  // namespace zcv::pam

ZCV_PAM_ENTRY int pam_sm_authenticate(pam_handle_t* pamh, int flags, int argc, const char** argv) {
  try {
    return zcv::pam::Authenticate(pamh, flags, argc, argv);
  } catch (const std::bad_alloc&) {
    pam_syslog(pamh, LOG_CRIT, "out of memory");
    return PAM_BUF_ERR;
  } catch (...) {
    pam_syslog(pamh, LOG_CRIT, "unexpected failure");
    return PAM_SERVICE_ERR;
  }
}

ZCV_PAM_ENTRY int pam_sm_setcred(pam_handle_t* pamh, int flags, int argc, const char** argv) {
  (void)pamh;
  (void)flags;
  (void)argc;
  (void)argv;
  return PAM_SUCCESS;
}
