// Time-based one-time passwords as the simulated token cards show them,
// computed by liboath: HMAC-SHA1 over the 60-second step counter, six digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zcv::sim {

using Secret = std::vector<std::uint8_t>;

constexpr int kOtpDigits = 6;
constexpr std::int64_t kOtpStepSeconds = 60;
// Steps of clock drift between card and service accepted either way.
constexpr std::int64_t kOtpDriftSteps = 1;
constexpr std::size_t kGeneratedSecretBytes = 20;

// The TOTP value at the instant `now` (seconds since 1970) with steps of
// `step_seconds` and `digits` decimal digits (6 to 8).
std::uint32_t Totp(const Secret& secret, std::int64_t now, unsigned step_seconds, unsigned digits);

// The step that contains the instant `now` (seconds since 1970).
std::int64_t OtpStep(std::int64_t now);

// The six-digit code of `step`.
std::uint32_t OtpAtStep(const Secret& secret, std::int64_t step);

// True when `code` is the code of a step within the drift allowance of now.
// Codes are compared as numbers, so 012345 may arrive as 12345.
bool VerifyOtp(const Secret& secret, std::int64_t now, std::int64_t code);

// True when `first` and `second` are the codes of two consecutive steps t
// and t+1, with t within the drift allowance of now.
bool VerifyOtpPair(const Secret& secret, std::int64_t now, std::int64_t first, std::int64_t second);

// A code as the card shows it: zero-padded to six digits.
std::string FormatOtp(std::uint32_t code);

std::string SecretToHex(const Secret& secret);
// Accepts an even number of hexadecimal digits, at least one byte.
std::optional<Secret> SecretFromHex(const std::string& hex);
Secret GenerateSecret();

}  // namespace zcv::sim
