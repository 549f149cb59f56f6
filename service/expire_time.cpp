// Expiry seconds to local date-time text. The fields are written by hand:
// strftime costs more than the rest of the conversion, and for the years an
// int of seconds can reach the text is the same.
#include "service/expire_time.h"

#include <cerrno>
#include <ctime>
#include <stdexcept>

#include "platform/clock.h"
#include "zephyrcoilvault.h"

namespace zcv {
namespace {

// Years whose "%Y" text has exactly four digits.
constexpr int kFirstFourDigitYear = 1000;
constexpr int kLastFourDigitYear = 9999;

// Writes `value` (not negative) as `width` zero-padded decimal digits.
char* PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

// "%Y-%m-%d %H:%M:%S" into text (kExpireTextBytes), NUL included; false when
// it does not fit.
bool FormatLocal(const std::tm& local, char* text) {
  const int year = local.tm_year + 1900;
  if (year < kFirstFourDigitYear || year > kLastFourDigitYear) {
    return std::strftime(text, kExpireTextBytes, "%Y-%m-%d %H:%M:%S", &local) != 0;
  }
  char* out = PutDigits(text, year, 4);
  *out++ = '-';
  out = PutDigits(out, local.tm_mon + 1, 2);
  *out++ = '-';
  out = PutDigits(out, local.tm_mday, 2);
  *out++ = ' ';
  out = PutDigits(out, local.tm_hour, 2);
  *out++ = ':';
  out = PutDigits(out, local.tm_min, 2);
  *out++ = ':';
  out = PutDigits(out, local.tm_sec, 2);
  *out = '\0';
  return true;
}

}  // namespace

void FormatExpireTime(ServiceMutex& mutex, int expire, char* expireText) {
  ServiceLock lock(mutex);
  std::tm local{};
  if (!platform::ToLocalTime(expire, &local)) {
    errno = EOVERFLOW;
    throw std::runtime_error("expiry time has no local time");
  }
  char text[kExpireTextBytes] = {};
  if (!FormatLocal(local, text)) {
    errno = EOVERFLOW;
    throw std::runtime_error("expiry time does not fit");
  }
  for (std::size_t i = 0; i < sizeof text; ++i) expireText[i] = text[i];
}

}  // namespace zcv
