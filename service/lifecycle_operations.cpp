// Card lifecycle: put a card into service with its holder's profile, take it
// out of service, report it lost and withdraw the report.
#include "service/call_frame.h"
#include "service/text_limits.h"

namespace zcv {
namespace {
constexpr Operation kEnable{
    "TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=%d&strID=%s"
    "&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenEnable  %s", kLongPathBytes, false};
constexpr Operation kEnableNext{
    "TokenEnableNext.asp?sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&strUserName=%s"
    "&iIDType=%d&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s",
    "in function TokenEnableNext  %s", kLongPathBytes, false};
constexpr Operation kDisable{
    "TokenDisable.asp?iCardNo=%d&sServiceNo=%s&sIdCode=%s&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&sOperator=%s",
    "in function TokenDisable  %s", kShortPathBytes, false};
constexpr Operation kLoss{
    "TokenLoss.asp?iCardNo=%d&sServiceNo=%s&iType=%d&iAppNo=%d&iAppNo2=%d&sAccount=%s"
    "&sOperator=%s",
    "in function TokenLoss  %s", kShortPathBytes, false};
constexpr Operation kUnLoss{"TokenUnLoss.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd=%d&sOperator=%s",
                            "in function TokenUnLoss  %s", kShortPathBytes, false};
constexpr Operation kUnLossNext{
    "TokenUnLossNext.asp?iCardNo=%d&sServiceNo=%s&iDynPasswd1=%d&iDynPasswd2=%d&sOperator=%s",
    "in function TokenUnLossNext  %s", kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenEnable(char* sServiceNo, int iDynPasswd, char* strUserName, int iIDType,
                       char* strID, char* strMobile, char* strTel, char* strPost, char* strEmail,
                       char* strAddress, char* expireText) {
  return CallService(kEnable,
                     {Output(expireText), OptionalText(sServiceNo, kServiceNoLimit),
                      OptionalText(strUserName, kUserNameLimit), OptionalText(strID, kIdLimit),
                      OptionalText(strMobile, kMobileLimit), OptionalText(strTel, kTelLimit),
                      OptionalText(strPost, kPostLimit), OptionalText(strEmail, kEmailLimit),
                      OptionalText(strAddress, kAddressLimit)},
                     Expiry(expireText), sServiceNo, iDynPasswd, strUserName, iIDType, strID,
                     strMobile, strTel, strPost, strEmail, strAddress);
}

ResultCode TokenEnableNext(char* sServiceNo, int iDynPasswd1, int iDynPasswd2, char* strUserName,
                           int iIDType, char* strID, char* strMobile, char* strTel, char* strPost,
                           char* strEmail, char* strAddress, char* expireText) {
  return CallService(kEnableNext,
                     {Output(expireText), OptionalText(sServiceNo, kServiceNoLimit),
                      OptionalText(strUserName, kUserNameLimit), OptionalText(strID, kIdLimit),
                      OptionalText(strMobile, kMobileLimit), OptionalText(strTel, kTelLimit),
                      OptionalText(strPost, kPostLimit), OptionalText(strEmail, kEmailLimit),
                      OptionalText(strAddress, kAddressLimit)},
                     Expiry(expireText), sServiceNo, iDynPasswd1, iDynPasswd2, strUserName, iIDType,
                     strID, strMobile, strTel, strPost, strEmail, strAddress);
}

// The operator name has no limit of its own: the path is cut to fit instead.
ResultCode TokenDisable(int iCardNo, char* sServiceNo, char* sIdCode, int iAppNo, int iAppNo2,
                        char* sAccount, char* sOperator) {
  return CallService(
      kDisable,
      {RequiredText(sServiceNo, kServiceNoLimit), RequiredText(sIdCode, kIdCodeLimit),
       OptionalText(sAccount, kAccountLimit), OptionalText(sOperator)},
      ResultOnly(), iCardNo, sServiceNo, sIdCode, iAppNo, iAppNo2, sAccount, sOperator);
}

ResultCode TokenLoss(int iCardNo, char* sServiceNo, int iType, int iAppNo, int iAppNo2,
                     char* sAccount, char* sOperator) {
  return CallService(kLoss,
                     {RequiredText(sServiceNo, kServiceNoLimit),
                      OptionalText(sAccount, kAccountLimit), OptionalText(sOperator)},
                     ResultOnly(), iCardNo, sServiceNo, iType, iAppNo, iAppNo2, sAccount,
                     sOperator);
}

ResultCode TokenUnLoss(int iCardNo, char* sServiceNo, int iDynPasswd, char* sOperator) {
  return CallService(kUnLoss, {RequiredText(sServiceNo, kServiceNoLimit), OptionalText(sOperator)},
                     ResultOnly(), iCardNo, sServiceNo, iDynPasswd, sOperator);
}

ResultCode TokenUnLossNext(int iCardNo, char* sServiceNo, int iDynPasswd1, int iDynPasswd2,
                           char* sOperator) {
  return CallService(kUnLossNext,
                     {RequiredText(sServiceNo, kServiceNoLimit), OptionalText(sOperator)},
                     ResultOnly(), iCardNo, sServiceNo, iDynPasswd1, iDynPasswd2, sOperator);
}
