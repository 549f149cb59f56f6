// Longest texts, in bytes before the NUL, that the operations accept.
#pragma once

namespace zcv {

constexpr int kAccountLimit = 20;
constexpr int kServiceNoLimit = 20;
constexpr int kIdCodeLimit = 20;
constexpr int kResvPassWordLimit = 6;
// The holder's profile.
constexpr int kUserNameLimit = 20;
constexpr int kIdLimit = 20;
constexpr int kMobileLimit = 20;
constexpr int kTelLimit = 20;
constexpr int kPostLimit = 10;
constexpr int kEmailLimit = 40;
constexpr int kAddressLimit = 100;

}  // namespace zcv
