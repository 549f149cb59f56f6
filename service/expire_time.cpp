// Expiry seconds to local date-time text.
#include "service/expire_time.h"

#include <cerrno>
#include <ctime>
#include <stdexcept>

#include "platform/clock.h"
#include "zephyrcoilvault.h"

namespace zcv {

void FormatExpireTime(ServiceMutex& mutex, int expire, char* expireText) {
  ServiceLock lock(mutex);
  std::tm local{};
  if (!platform::ToLocalTime(expire, &local)) {
    errno = EOVERFLOW;
    throw std::runtime_error("expiry time has no local time");
  }
  char text[kExpireTextBytes] = {};
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) {
    errno = EOVERFLOW;
    throw std::runtime_error("expiry time does not fit");
  }
  for (std::size_t i = 0; i < sizeof text; ++i) expireText[i] = text[i];
}

}  // namespace zcv
