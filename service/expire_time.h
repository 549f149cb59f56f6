// Formatting of the expiry times that replies carry as epoch seconds.
#pragma once

#include "log/service_mutex.h"

namespace zcv {

// Writes `expire` (seconds since 1970-01-01 UTC) into expireText as local
// "%Y-%m-%d %H:%M:%S", at most 20 bytes with the NUL, under the service
// mutex. Throws when the time has no local representation, leaving
// expireText untouched.
void FormatExpireTime(ServiceMutex& mutex, int expire, char* expireText);

}  // namespace zcv
