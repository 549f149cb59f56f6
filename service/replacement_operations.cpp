// Card replacement: the old card, named by number and service number, is
// replaced by the card with the new service number.
#include "service/call_frame.h"
#include "service/text_limits.h"

namespace zcv {
namespace {
constexpr Operation kChange{
    "TokenChange.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd=%d",
    "in function TokenChange  %s", kShortPathBytes, false};
constexpr Operation kChangeNext{
    "TokenChangeNext.asp?iCardNoOld=%d&sServiceNoOld=%s&sServiceNoNew=%s&iDynPasswd1=%d"
    "&iDynPasswd2=%d",
    "in function TokenChangeNext  %s", kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenChange(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew, int iDynPasswd) {
  return CallService(
      kChange,
      {RequiredText(sServiceNoOld, kServiceNoLimit), RequiredText(sServiceNoNew, kServiceNoLimit)},
      ResultOnly(), iCardNoOld, sServiceNoOld, sServiceNoNew, iDynPasswd);
}

ResultCode TokenChangeNext(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew,
                           int iDynPasswd1, int iDynPasswd2) {
  return CallService(
      kChangeNext,
      {RequiredText(sServiceNoOld, kServiceNoLimit), RequiredText(sServiceNoNew, kServiceNoLimit)},
      ResultOnly(), iCardNoOld, sServiceNoOld, sServiceNoNew, iDynPasswd1, iDynPasswd2);
}
