// Account links: link a card to the two further account kinds the service
// knows; each link returns a reserved password.
#include "service/call_frame.h"

namespace zcv {
namespace {
constexpr Operation kBindEsale{"TokenBindEsale.asp?iCardNo=%d&iDynpasswd=%d",
                               "in function TokenBindEsale  %s", kShortPathBytes, false};
constexpr Operation kBindEsaleNext{
    "TokenBindEsaleNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "in function TokenBindEsaleNext  %s", kShortPathBytes, false};
constexpr Operation kBindOther{"TokenBindOther.asp?iCardNo=%d&iDynpasswd=%d",
                               "in function TokenBindOther  %s", kShortPathBytes, false};
constexpr Operation kBindOtherNext{
    "TokenBindOtherNext.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "in function TokenBindOtherNext  %s", kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenBindEsale(int iCardNo, int iDynpasswd, char* resvPassWord) {
  return CallService(kBindEsale, {Output(resvPassWord)}, ReservedPassword(resvPassWord), iCardNo,
                     iDynpasswd);
}

ResultCode TokenBindEsaleNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* resvPassWord) {
  return CallService(kBindEsaleNext, {Output(resvPassWord)}, ReservedPassword(resvPassWord),
                     iCardNo, iDynpasswd1, iDynpasswd2);
}

ResultCode TokenBindOther(int iCardNo, int iDynpasswd, char* resvPassWord) {
  return CallService(kBindOther, {Output(resvPassWord)}, ReservedPassword(resvPassWord), iCardNo,
                     iDynpasswd);
}

ResultCode TokenBindOtherNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* resvPassWord) {
  return CallService(kBindOtherNext, {Output(resvPassWord)}, ReservedPassword(resvPassWord),
                     iCardNo, iDynpasswd1, iDynpasswd2);
}
