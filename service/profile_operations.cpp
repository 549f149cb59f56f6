// Holder profile: change the card holder's name, identity document,
// telephone numbers, postcode, e-mail and postal address.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"
#include "service/text_limits.h"

namespace zcv {

ResultCode op::ModifyInfo(Client* c, int cardNo, int dynpasswd, const char* userName, int idType,
                          const char* id, const char* mobile, const char* tel, const char* post,
                          const char* email, const char* address) {
  return CallService(c, kModifyInfo,
                     {OptionalText(userName, kUserNameLimit), OptionalText(id, kIdLimit),
                      OptionalText(mobile, kMobileLimit), OptionalText(tel, kTelLimit),
                      OptionalText(post, kPostLimit), OptionalText(email, kEmailLimit),
                      OptionalText(address, kAddressLimit)},
                     ResultOnly(), cardNo, dynpasswd, userName, idType, id, mobile, tel, post,
                     email, address);
}

ResultCode op::ModifyInfoNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2,
                              const char* userName, int idType, const char* id, const char* mobile,
                              const char* tel, const char* post, const char* email,
                              const char* address) {
  return CallService(c, kModifyInfoNext,
                     {OptionalText(userName, kUserNameLimit), OptionalText(id, kIdLimit),
                      OptionalText(mobile, kMobileLimit), OptionalText(tel, kTelLimit),
                      OptionalText(post, kPostLimit), OptionalText(email, kEmailLimit),
                      OptionalText(address, kAddressLimit)},
                     ResultOnly(), cardNo, dynpasswd1, dynpasswd2, userName, idType, id, mobile,
                     tel, post, email, address);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenModifyInfo(int iCardNo, int iDynPasswd, char* strUserName, int iIDType, char* strID,
                           char* strMobile, char* strTel, char* strPost, char* strEmail,
                           char* strAddress) {
  return op::ModifyInfo(DefaultClient(), iCardNo, iDynPasswd, strUserName, iIDType, strID,
                        strMobile, strTel, strPost, strEmail, strAddress);
}

ResultCode TokenModifyInfoNext(int iCardNo, int iDynPasswd1, int iDynPasswd2, char* strUserName,
                               int iIDType, char* strID, char* strMobile, char* strTel,
                               char* strPost, char* strEmail, char* strAddress) {
  return op::ModifyInfoNext(DefaultClient(), iCardNo, iDynPasswd1, iDynPasswd2, strUserName,
                            iIDType, strID, strMobile, strTel, strPost, strEmail, strAddress);
}
