// Card replacement: the old card, named by number and service number, is
// replaced by the card with the new service number.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"
#include "service/text_limits.h"

namespace zcv {

ResultCode op::Change(Client* c, int cardNoOld, const char* serviceNoOld, const char* serviceNoNew,
                      int dynpasswd) {
  return CallService(
      c, kChange,
      {RequiredText(serviceNoOld, kServiceNoLimit), RequiredText(serviceNoNew, kServiceNoLimit)},
      ResultOnly(), cardNoOld, serviceNoOld, serviceNoNew, dynpasswd);
}

ResultCode op::ChangeNext(Client* c, int cardNoOld, const char* serviceNoOld,
                          const char* serviceNoNew, int dynpasswd1, int dynpasswd2) {
  return CallService(
      c, kChangeNext,
      {RequiredText(serviceNoOld, kServiceNoLimit), RequiredText(serviceNoNew, kServiceNoLimit)},
      ResultOnly(), cardNoOld, serviceNoOld, serviceNoNew, dynpasswd1, dynpasswd2);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenChange(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew, int iDynPasswd) {
  return op::Change(DefaultClient(), iCardNoOld, sServiceNoOld, sServiceNoNew, iDynPasswd);
}

ResultCode TokenChangeNext(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew,
                           int iDynPasswd1, int iDynPasswd2) {
  return op::ChangeNext(DefaultClient(), iCardNoOld, sServiceNoOld, sServiceNoNew, iDynPasswd1,
                        iDynPasswd2);
}
