// HOTP/TOTP computation through OpenSSL's HMAC-SHA1.
#include "zcvsim/totp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdio>
#include <stdexcept>

namespace zcv::sim {
namespace {

constexpr std::uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                          100000, 1000000, 10000000, 100000000, 1000000000};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::uint32_t Hotp(const Secret& secret, std::uint64_t counter, int digits) {
  if (digits < 1 || digits > 9) throw std::invalid_argument("digits must be 1 to 9");
  unsigned char message[8];
  for (int i = 7; i >= 0; --i) {
    message[i] = static_cast<unsigned char>(counter & 0xff);
    counter >>= 8;
  }
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int mac_len = 0;
  if (HMAC(EVP_sha1(), secret.data(), static_cast<int>(secret.size()), message, sizeof message, mac,
           &mac_len) == nullptr) {
    throw std::runtime_error("HMAC-SHA1 failed");
  }
  // Dynamic truncation: four bytes at the offset named by the last nibble.
  unsigned offset = mac[mac_len - 1] & 0x0f;
  std::uint32_t binary = (static_cast<std::uint32_t>(mac[offset] & 0x7f) << 24) |
                         (static_cast<std::uint32_t>(mac[offset + 1]) << 16) |
                         (static_cast<std::uint32_t>(mac[offset + 2]) << 8) |
                         static_cast<std::uint32_t>(mac[offset + 3]);
  return binary % kPowersOfTen[digits];
}

std::int64_t OtpStep(std::int64_t now) {
  // Floor division, so instants before 1970 do not share step 0.
  std::int64_t step = now / kOtpStepSeconds;
  if (now % kOtpStepSeconds < 0) --step;
  return step;
}

std::uint32_t OtpAtStep(const Secret& secret, std::int64_t step) {
  return Hotp(secret, static_cast<std::uint64_t>(step), kOtpDigits);
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
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : secret) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

std::optional<Secret> SecretFromHex(const std::string& hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  Secret secret;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigit(hex[i]);
    int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    secret.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
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
