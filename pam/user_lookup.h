// The PAM user as the system's user directory knows them, and whether the
// module's group rule applies to them.
#pragma once

#include <security/pam_modules.h>
#include <sys/types.h>

#include <string>

#include "pam/options.h"

namespace zcv::pam {

struct SystemUser {
  std::string name;  // the directory's own spelling, e.g. "alice" for "Alice"
  gid_t gid = 0;     // the primary group
};

// Looks `typed` up with getpwnam (through libpam). PAM_SUCCESS with *out
// filled; PAM_USER_UNKNOWN, logged, when the directory has no such user or
// gives a name the authfile could not hold.
int LookUpUser(pam_handle_t* pamh, const char* typed, SystemUser* out);

// Whether the module applies to `user` under options.groups: PAM_SUCCESS
// when it does (always, without a group rule), PAM_IGNORE when it does not
// (so the rest of the stack decides), PAM_SERVICE_ERR, logged, when a group
// is unknown or the user's groups cannot be read. Membership is what
// getgrouplist gives for the user's name, the primary group included.
int ApplyGroupRule(pam_handle_t* pamh, const Options& options, const SystemUser& user);

}  // namespace zcv::pam
