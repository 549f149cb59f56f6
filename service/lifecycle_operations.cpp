// Card lifecycle: put a card into service with its holder's profile, take it
// out of service, report it lost and withdraw the report.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"
#include "service/text_limits.h"

namespace zcv {

ResultCode op::Enable(Client* c, const char* serviceNo, int dynpasswd, const char* userName,
                      int idType, const char* id, const char* mobile, const char* tel,
                      const char* post, const char* email, const char* address, char* expireText,
                      Size expireBytes) {
  return CallService(
      c, kEnable,
      {Output(expireText, expireBytes, kExpireTextBytes), OptionalText(serviceNo, kServiceNoLimit),
       OptionalText(userName, kUserNameLimit), OptionalText(id, kIdLimit),
       OptionalText(mobile, kMobileLimit), OptionalText(tel, kTelLimit),
       OptionalText(post, kPostLimit), OptionalText(email, kEmailLimit),
       OptionalText(address, kAddressLimit)},
      Expiry(expireText), serviceNo, dynpasswd, userName, idType, id, mobile, tel, post, email,
      address);
}

ResultCode op::EnableNext(Client* c, const char* serviceNo, int dynpasswd1, int dynpasswd2,
                          const char* userName, int idType, const char* id, const char* mobile,
                          const char* tel, const char* post, const char* email, const char* address,
                          char* expireText, Size expireBytes) {
  return CallService(
      c, kEnableNext,
      {Output(expireText, expireBytes, kExpireTextBytes), OptionalText(serviceNo, kServiceNoLimit),
       OptionalText(userName, kUserNameLimit), OptionalText(id, kIdLimit),
       OptionalText(mobile, kMobileLimit), OptionalText(tel, kTelLimit),
       OptionalText(post, kPostLimit), OptionalText(email, kEmailLimit),
       OptionalText(address, kAddressLimit)},
      Expiry(expireText), serviceNo, dynpasswd1, dynpasswd2, userName, idType, id, mobile, tel,
      post, email, address);
}

// The operator name has no limit of its own: the path is cut to fit instead.
ResultCode op::Disable(Client* c, int cardNo, const char* serviceNo, const char* idCode, int appNo,
                       int appNo2, const char* account, const char* operatorName) {
  return CallService(c, kDisable,
                     {RequiredText(serviceNo, kServiceNoLimit), RequiredText(idCode, kIdCodeLimit),
                      OptionalText(account, kAccountLimit), OptionalText(operatorName)},
                     ResultOnly(), cardNo, serviceNo, idCode, appNo, appNo2, account, operatorName);
}

ResultCode op::Loss(Client* c, int cardNo, const char* serviceNo, int type, int appNo, int appNo2,
                    const char* account, const char* operatorName) {
  return CallService(c, kLoss,
                     {RequiredText(serviceNo, kServiceNoLimit),
                      OptionalText(account, kAccountLimit), OptionalText(operatorName)},
                     ResultOnly(), cardNo, serviceNo, type, appNo, appNo2, account, operatorName);
}

ResultCode op::UnLoss(Client* c, int cardNo, const char* serviceNo, int dynpasswd,
                      const char* operatorName) {
  return CallService(c, kUnLoss,
                     {RequiredText(serviceNo, kServiceNoLimit), OptionalText(operatorName)},
                     ResultOnly(), cardNo, serviceNo, dynpasswd, operatorName);
}

ResultCode op::UnLossNext(Client* c, int cardNo, const char* serviceNo, int dynpasswd1,
                          int dynpasswd2, const char* operatorName) {
  return CallService(c, kUnLossNext,
                     {RequiredText(serviceNo, kServiceNoLimit), OptionalText(operatorName)},
                     ResultOnly(), cardNo, serviceNo, dynpasswd1, dynpasswd2, operatorName);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenEnable(char* sServiceNo, int iDynPasswd, char* strUserName, int iIDType,
                       char* strID, char* strMobile, char* strTel, char* strPost, char* strEmail,
                       char* strAddress, char* expireText) {
  return op::Enable(DefaultClient(), sServiceNo, iDynPasswd, strUserName, iIDType, strID, strMobile,
                    strTel, strPost, strEmail, strAddress, expireText, kExpireTextBytes);
}

ResultCode TokenEnableNext(char* sServiceNo, int iDynPasswd1, int iDynPasswd2, char* strUserName,
                           int iIDType, char* strID, char* strMobile, char* strTel, char* strPost,
                           char* strEmail, char* strAddress, char* expireText) {
  return op::EnableNext(DefaultClient(), sServiceNo, iDynPasswd1, iDynPasswd2, strUserName, iIDType,
                        strID, strMobile, strTel, strPost, strEmail, strAddress, expireText,
                        kExpireTextBytes);
}

ResultCode TokenDisable(int iCardNo, char* sServiceNo, char* sIdCode, int iAppNo, int iAppNo2,
                        char* sAccount, char* sOperator) {
  return op::Disable(DefaultClient(), iCardNo, sServiceNo, sIdCode, iAppNo, iAppNo2, sAccount,
                     sOperator);
}

ResultCode TokenLoss(int iCardNo, char* sServiceNo, int iType, int iAppNo, int iAppNo2,
                     char* sAccount, char* sOperator) {
  return op::Loss(DefaultClient(), iCardNo, sServiceNo, iType, iAppNo, iAppNo2, sAccount,
                  sOperator);
}

ResultCode TokenUnLoss(int iCardNo, char* sServiceNo, int iDynPasswd, char* sOperator) {
  return op::UnLoss(DefaultClient(), iCardNo, sServiceNo, iDynPasswd, sOperator);
}

ResultCode TokenUnLossNext(int iCardNo, char* sServiceNo, int iDynPasswd1, int iDynPasswd2,
                           char* sOperator) {
  return op::UnLossNext(DefaultClient(), iCardNo, sServiceNo, iDynPasswd1, iDynPasswd2, sOperator);
}
