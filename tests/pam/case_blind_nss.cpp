// A user directory that ignores letter case, as some network directories
// do: nss_wrapper loads it ahead of its passwd file, and it answers any
// spelling of "dora" with the entry of dora.
#include <errno.h>
#include <nss.h>
#include <pwd.h>
#include <strings.h>

#include <cstring>

extern "C" __attribute__((visibility("default"))) enum nss_status _nss_zcvcase_getpwnam_r(
    const char* name, struct passwd* entry, char* buffer, size_t size, int* error) {
  static const char kName[] = "dora";
  if (strcasecmp(name, kName) != 0) return NSS_STATUS_NOTFOUND;
  if (size < sizeof kName + 1) {
    *error = ERANGE;
    return NSS_STATUS_TRYAGAIN;
  }
  std::memcpy(buffer, kName, sizeof kName);
  char* empty = buffer + sizeof kName;
  *empty = '\0';
  entry->pw_name = buffer;
  entry->pw_passwd = empty;
  entry->pw_uid = 2004;
  entry->pw_gid = 2004;
  entry->pw_gecos = empty;
  entry->pw_dir = empty;
  entry->pw_shell = empty;
  return NSS_STATUS_SUCCESS;
}
