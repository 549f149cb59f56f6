// Binding a card to an account and removing the binding again.
#include "service/call_frame.h"
#include "service/text_limits.h"

namespace zcv {
namespace {
constexpr Operation kBinding{
    "TokenBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "in function TokenBinding  %s", kShortPathBytes, false};
constexpr Operation kBinding2{
    "TokenBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
    "in function TokenBinding2  %s", kShortPathBytes, false};
constexpr Operation kBinding2Next{
    "TokenBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d"
    "&sAccount=%s",
    "in function TokenBinding2Next  %s", kShortPathBytes, false};
constexpr Operation kUnBinding{
    "TokenUnBinding.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&iServiceNo=%s",
    "in function TokenUnBinding  %s", kShortPathBytes, false};
constexpr Operation kUnBinding2{
    "TokenUnBinding2.asp?iCardNo=%d&iDynpasswd=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&iServiceNo=%s",
    "in function TokenUnBinding2  %s", kShortPathBytes, false};
constexpr Operation kUnBinding2Next{
    "TokenUnBinding2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d&iAppNo=%d&iAppNo2=%d"
    "&sAccount=%s&iServiceNo=%s",
    "in function TokenUnBinding2Next  %s", kShortPathBytes, false};
constexpr Operation kUnBindingEx{"TokenUnBindingEx.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s",
                                 "in function TokenUnBindingEx  %s", kShortPathBytes, false};
constexpr Operation kUnBindingEx2{
    "TokenUnBindingEx2.asp?iCardNo=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s&sResvPassWord=%s",
    "in function TokenUnBindingEx2  %s", kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenBinding(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2, char* sAccount,
                        char* resvPassWord) {
  return CallService(kBinding, {Output(resvPassWord), RequiredText(sAccount, kAccountLimit)},
                     ReservedPassword(resvPassWord), iCardNo, iDynpasswd, iAppNo, iAppNo2,
                     sAccount);
}

ResultCode TokenBinding2(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2, char* sAccount,
                         char* resvPassWord) {
  return CallService(kBinding2, {Output(resvPassWord), RequiredText(sAccount, kAccountLimit)},
                     ReservedPassword(resvPassWord), iCardNo, iDynpasswd, iAppNo, iAppNo2,
                     sAccount);
}

ResultCode TokenBinding2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2, int iAppNo, int iAppNo2,
                             char* sAccount, char* resvPassWord) {
  return CallService(kBinding2Next, {Output(resvPassWord), RequiredText(sAccount, kAccountLimit)},
                     ReservedPassword(resvPassWord), iCardNo, iDynpasswd1, iDynpasswd2, iAppNo,
                     iAppNo2, sAccount);
}

// The unbinding operations take the service number second but send it last.
ResultCode TokenUnBinding(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo, int iAppNo2,
                          char* sAccount) {
  return CallService(kUnBinding, {RequiredText(sAccount, kAccountLimit), OptionalText(sServiceNo)},
                     ResultOnly(), iCardNo, iDynpasswd, iAppNo, iAppNo2, sAccount, sServiceNo);
}

ResultCode TokenUnBinding2(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo, int iAppNo2,
                           char* sAccount) {
  return CallService(kUnBinding2, {RequiredText(sAccount, kAccountLimit), OptionalText(sServiceNo)},
                     ResultOnly(), iCardNo, iDynpasswd, iAppNo, iAppNo2, sAccount, sServiceNo);
}

ResultCode TokenUnBinding2Next(int iCardNo, char* sServiceNo, int iDynpasswd1, int iDynpasswd2,
                               int iAppNo, int iAppNo2, char* sAccount) {
  return CallService(
      kUnBinding2Next, {RequiredText(sAccount, kAccountLimit), OptionalText(sServiceNo)},
      ResultOnly(), iCardNo, iDynpasswd1, iDynpasswd2, iAppNo, iAppNo2, sAccount, sServiceNo);
}

ResultCode TokenUnBindingEx(int iCardNo, int iAppNo, int iAppNo2, char* sAccount) {
  return CallService(kUnBindingEx, {RequiredText(sAccount, kAccountLimit)}, ResultOnly(), iCardNo,
                     iAppNo, iAppNo2, sAccount);
}

ResultCode TokenUnBindingEx2(int iCardNo, int iAppNo, int iAppNo2, char* sAccount,
                             char* sResvPassWord) {
  return CallService(
      kUnBindingEx2,
      {RequiredText(sAccount, kAccountLimit), RequiredText(sResvPassWord, kResvPassWordLimit)},
      ResultOnly(), iCardNo, iAppNo, iAppNo2, sAccount, sResvPassWord);
}
