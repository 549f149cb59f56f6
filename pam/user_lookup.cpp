// User and group look-ups through libpam's thread-safe wrappers and
// getgrouplist.
#include "pam/user_lookup.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_ext.h>
#include <security/pam_modutil.h>
#include <syslog.h>

#include <algorithm>
#include <vector>

#include "pam/authfile.h"

namespace zcv::pam {
namespace {

// The most groups a user is looked up in; Linux's NGROUPS_MAX.
constexpr int kMaxUserGroups = 65536;
constexpr int kFirstGroupGuess = 64;

// The user's groups, or false when they cannot be read.
bool GroupsOf(const SystemUser& user, std::vector<gid_t>* groups) {
  int count = kFirstGroupGuess;
  // getgrouplist says how many there are when the room is too small; the
  // count may grow between two calls, so try a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    groups->assign(static_cast<std::size_t>(count), 0);
    int room = count;
    if (::getgrouplist(user.name.c_str(), user.gid, groups->data(), &room) >= 0) {
      groups->resize(static_cast<std::size_t>(std::max(room, 0)));
      return true;
    }
    if (room <= count || room > kMaxUserGroups) return false;
    count = room;
  }
  return false;
}

}  // namespace

int LookUpUser(pam_handle_t* pamh, const char* typed, SystemUser* out) {
  const struct passwd* entry = pam_modutil_getpwnam(pamh, typed);
  if (entry == nullptr) {
    pam_syslog(pamh, LOG_NOTICE, "user %s is not known to the system", typed);
    return PAM_USER_UNKNOWN;
  }
  if (!IsValidUserName(entry->pw_name)) {
    pam_syslog(pamh, LOG_NOTICE,
               "user %s: the system's name for the user is not one the authfile can hold", typed);
    return PAM_USER_UNKNOWN;
  }
  out->name = entry->pw_name;
  out->gid = entry->pw_gid;
  return PAM_SUCCESS;
}

int ApplyGroupRule(pam_handle_t* pamh, const Options& options, const SystemUser& user) {
  if (options.groups.empty()) return PAM_SUCCESS;
  std::vector<gid_t> listed;
  for (const std::string& name : options.groups) {
    const struct group* entry = pam_modutil_getgrnam(pamh, name.c_str());
    if (entry == nullptr) {
      pam_syslog(pamh, LOG_ERR, "groups=: unknown group %s", name.c_str());
      return PAM_SERVICE_ERR;
    }
    listed.push_back(entry->gr_gid);
  }
  std::vector<gid_t> groups;
  if (!GroupsOf(user, &groups)) {
    pam_syslog(pamh, LOG_ERR, "user %s: the user's groups cannot be read", user.name.c_str());
    return PAM_SERVICE_ERR;
  }
  const bool member = std::any_of(groups.begin(), groups.end(), [&](gid_t gid) {
    return std::find(listed.begin(), listed.end(), gid) != listed.end();
  });
  if (member != options.groups_negated) return PAM_SUCCESS;
  if (options.debug) {
    pam_syslog(pamh, LOG_DEBUG, "user %s: %s the groups of groups=: ignored", user.name.c_str(),
               member ? "in" : "not in");
  }
  return PAM_IGNORE;
}

}  // namespace zcv::pam
