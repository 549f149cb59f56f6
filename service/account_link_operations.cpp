// Account links: link a card to the two further account kinds the service
// knows; each link returns a reserved password.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"

namespace zcv {

ResultCode op::BindEsale(Client* c, int cardNo, int dynpasswd, char* resvPassWord, Size resvBytes) {
  return CallService(c, kBindEsale, {Output(resvPassWord, resvBytes, kResvPassWordBytes)},
                     ReservedPassword(resvPassWord), cardNo, dynpasswd);
}

ResultCode op::BindEsaleNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2,
                             char* resvPassWord, Size resvBytes) {
  return CallService(c, kBindEsaleNext, {Output(resvPassWord, resvBytes, kResvPassWordBytes)},
                     ReservedPassword(resvPassWord), cardNo, dynpasswd1, dynpasswd2);
}

ResultCode op::BindOther(Client* c, int cardNo, int dynpasswd, char* resvPassWord, Size resvBytes) {
  return CallService(c, kBindOther, {Output(resvPassWord, resvBytes, kResvPassWordBytes)},
                     ReservedPassword(resvPassWord), cardNo, dynpasswd);
}

ResultCode op::BindOtherNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2,
                             char* resvPassWord, Size resvBytes) {
  return CallService(c, kBindOtherNext, {Output(resvPassWord, resvBytes, kResvPassWordBytes)},
                     ReservedPassword(resvPassWord), cardNo, dynpasswd1, dynpasswd2);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenBindEsale(int iCardNo, int iDynpasswd, char* resvPassWord) {
  return op::BindEsale(DefaultClient(), iCardNo, iDynpasswd, resvPassWord, kResvPassWordBytes);
}

ResultCode TokenBindEsaleNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* resvPassWord) {
  return op::BindEsaleNext(DefaultClient(), iCardNo, iDynpasswd1, iDynpasswd2, resvPassWord,
                           kResvPassWordBytes);
}

ResultCode TokenBindOther(int iCardNo, int iDynpasswd, char* resvPassWord) {
  return op::BindOther(DefaultClient(), iCardNo, iDynpasswd, resvPassWord, kResvPassWordBytes);
}

ResultCode TokenBindOtherNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* resvPassWord) {
  return op::BindOtherNext(DefaultClient(), iCardNo, iDynpasswd1, iDynpasswd2, resvPassWord,
                           kResvPassWordBytes);
}
