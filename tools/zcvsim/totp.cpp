// One-time passwords through liboath; secrets in hexadecimal through its
// codec, and fresh ones from OpenSSL's random generator.
#include "zcvsim/totp.h"

#include <liboath/oath.h>
#include <openssl/rand.h>

#include <cstdio>
#include <stdexcept>

namespace zcv::sim {
namespace {

constexpr std::size_t kMaxOtpDigits = 8;

// liboath wants one oath_init before its first use. It holds nothing that
// needs oath_done, and threads may still compute codes while the process
// exits, so it is never shut down.
void InitOath() {
  static const int status = oath_init();
  if (status != OATH_OK) throw std::runtime_error(oath_strerror(status));
}

const char* KeyBytes(const Secret& secret) {
  return secret.empty() ? "" : reinterpret_cast<const char*>(secret.data());
}

}  // namespace

std::uint32_t Totp(const Secret& secret, std::int64_t now, unsigned step_seconds, unsigned digits) {
  InitOath();
  char otp[kMaxOtpDigits + 1] = {};
  int status = oath_totp_generate(KeyBytes(secret), secret.size(), static_cast<time_t>(now),
                                  step_seconds, 0, digits, otp);
  if (status != OATH_OK) throw std::invalid_argument(oath_strerror(status));
  return static_cast<std::uint32_t>(std::stoul(otp));
}

std::int64_t OtpStep(std::int64_t now) {
  // Floor division, so instants before 1970 do not share step 0.
  std::int64_t step = now / kOtpStepSeconds;
  if (now % kOtpStepSeconds < 0) --step;
  return step;
}

std::uint32_t OtpAtStep(const Secret& secret, std::int64_t step) {
  return Totp(secret, step * kOtpStepSeconds, kOtpStepSeconds, kOtpDigits);
}

bool VerifyOtp(const Secret& secret, std::int64_t now, std::int64_t code) {
  std::int64_t step = OtpStep(now);
  for (std::int64_t d = -kOtpDriftSteps; d <= kOtpDriftSteps; ++d) {
    if (OtpAtStep(secret, step + d) == code) return true;
  }
  return false;
}

bool VerifyOtpPair(const Secret& secret, std::int64_t now, std::int64_t first,
                   std::int64_t second) {
  std::int64_t step = OtpStep(now);
  for (std::int64_t d = -kOtpDriftSteps; d <= kOtpDriftSteps; ++d) {
    if (OtpAtStep(secret, step + d) == first && OtpAtStep(secret, step + d + 1) == second) {
      return true;
    }
  }
  return false;
}

std::string FormatOtp(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*u", kOtpDigits, code);
  return text;
}

std::string SecretToHex(const Secret& secret) {
  std::string hex(2 * secret.size() + 1, '\0');
  oath_bin2hex(KeyBytes(secret), secret.size(), hex.data());
  hex.pop_back();
  return hex;
}

std::optional<Secret> SecretFromHex(const std::string& hex) {
  // The codec reads up to a NUL, which would cut the text short unseen.
  if (hex.empty() || hex.find('\0') != std::string::npos) return std::nullopt;
  Secret secret(hex.size() / 2 + 1);
  std::size_t size = secret.size();
  if (oath_hex2bin(hex.c_str(), reinterpret_cast<char*>(secret.data()), &size) != OATH_OK) {
    return std::nullopt;
  }
  secret.resize(size);
  return secret;
}

Secret GenerateSecret() {
  Secret secret(kGeneratedSecretBytes);
  if (RAND_bytes(secret.data(), static_cast<int>(secret.size())) != 1) {
    throw std::runtime_error("no random bytes for a secret");
  }
  return secret;
}

}  // namespace zcv::sim
