// Holder profile: change the card holder's name, identity document,
// telephone numbers, postcode, e-mail and postal address.
#include "service/call_frame.h"
#include "service/text_limits.h"

namespace zcv {
namespace {
constexpr Operation kModifyInfo{
    "TokenModifyInfo.asp?iCardNo=%d&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s"
    "&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenModifyInfo  %s", kLongPathBytes, false};
constexpr Operation kModifyInfoNext{
    "TokenModifyInfoNext.asp?iCardNo=%d&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s"
    "&iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenModifyInfoNext  %s", kLongPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenModifyInfo(int iCardNo, int iDynPasswd, char* strUserName, int iIDType, char* strID,
                           char* strMobile, char* strTel, char* strPost, char* strEmail,
                           char* strAddress) {
  return CallService(kModifyInfo,
                     {OptionalText(strUserName, kUserNameLimit), OptionalText(strID, kIdLimit),
                      OptionalText(strMobile, kMobileLimit), OptionalText(strTel, kTelLimit),
                      OptionalText(strPost, kPostLimit), OptionalText(strEmail, kEmailLimit),
                      OptionalText(strAddress, kAddressLimit)},
                     ResultOnly(), iCardNo, iDynPasswd, strUserName, iIDType, strID, strMobile,
                     strTel, strPost, strEmail, strAddress);
}

ResultCode TokenModifyInfoNext(int iCardNo, int iDynPasswd1, int iDynPasswd2, char* strUserName,
                               int iIDType, char* strID, char* strMobile, char* strTel,
                               char* strPost, char* strEmail, char* strAddress) {
  return CallService(kModifyInfoNext,
                     {OptionalText(strUserName, kUserNameLimit), OptionalText(strID, kIdLimit),
                      OptionalText(strMobile, kMobileLimit), OptionalText(strTel, kTelLimit),
                      OptionalText(strPost, kPostLimit), OptionalText(strEmail, kEmailLimit),
                      OptionalText(strAddress, kAddressLimit)},
                     ResultOnly(), iCardNo, iDynPasswd1, iDynPasswd2, strUserName, iIDType, strID,
                     strMobile, strTel, strPost, strEmail, strAddress);
}
