// Binding a card to an account and removing the binding again.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"
#include "service/text_limits.h"

namespace zcv {

ResultCode op::Binding(Client* c, int cardNo, int dynpasswd, int appNo, int appNo2,
                       const char* account, char* resvPassWord, Size resvBytes) {
  return CallService(
      c, kBinding,
      {Output(resvPassWord, resvBytes, kResvPassWordBytes), RequiredText(account, kAccountLimit)},
      ReservedPassword(resvPassWord), cardNo, dynpasswd, appNo, appNo2, account);
}

ResultCode op::Binding2(Client* c, int cardNo, int dynpasswd, int appNo, int appNo2,
                        const char* account, char* resvPassWord, Size resvBytes) {
  return CallService(
      c, kBinding2,
      {Output(resvPassWord, resvBytes, kResvPassWordBytes), RequiredText(account, kAccountLimit)},
      ReservedPassword(resvPassWord), cardNo, dynpasswd, appNo, appNo2, account);
}

ResultCode op::Binding2Next(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, int appNo,
                            int appNo2, const char* account, char* resvPassWord, Size resvBytes) {
  return CallService(
      c, kBinding2Next,
      {Output(resvPassWord, resvBytes, kResvPassWordBytes), RequiredText(account, kAccountLimit)},
      ReservedPassword(resvPassWord), cardNo, dynpasswd1, dynpasswd2, appNo, appNo2, account);
}

// The unbinding operations take the service number second but send it last.
ResultCode op::UnBinding(Client* c, int cardNo, const char* serviceNo, int dynpasswd, int appNo,
                         int appNo2, const char* account) {
  return CallService(c, kUnBinding, {RequiredText(account, kAccountLimit), OptionalText(serviceNo)},
                     ResultOnly(), cardNo, dynpasswd, appNo, appNo2, account, serviceNo);
}

ResultCode op::UnBinding2(Client* c, int cardNo, const char* serviceNo, int dynpasswd, int appNo,
                          int appNo2, const char* account) {
  return CallService(c, kUnBinding2,
                     {RequiredText(account, kAccountLimit), OptionalText(serviceNo)}, ResultOnly(),
                     cardNo, dynpasswd, appNo, appNo2, account, serviceNo);
}

ResultCode op::UnBinding2Next(Client* c, int cardNo, const char* serviceNo, int dynpasswd1,
                              int dynpasswd2, int appNo, int appNo2, const char* account) {
  return CallService(c, kUnBinding2Next,
                     {RequiredText(account, kAccountLimit), OptionalText(serviceNo)}, ResultOnly(),
                     cardNo, dynpasswd1, dynpasswd2, appNo, appNo2, account, serviceNo);
}

ResultCode op::UnBindingEx(Client* c, int cardNo, int appNo, int appNo2, const char* account) {
  return CallService(c, kUnBindingEx, {RequiredText(account, kAccountLimit)}, ResultOnly(), cardNo,
                     appNo, appNo2, account);
}

ResultCode op::UnBindingEx2(Client* c, int cardNo, int appNo, int appNo2, const char* account,
                            const char* resvPassWord) {
  return CallService(
      c, kUnBindingEx2,
      {RequiredText(account, kAccountLimit), RequiredText(resvPassWord, kResvPassWordLimit)},
      ResultOnly(), cardNo, appNo, appNo2, account, resvPassWord);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenBinding(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2, char* sAccount,
                        char* resvPassWord) {
  return op::Binding(DefaultClient(), iCardNo, iDynpasswd, iAppNo, iAppNo2, sAccount, resvPassWord,
                     kResvPassWordBytes);
}

ResultCode TokenBinding2(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2, char* sAccount,
                         char* resvPassWord) {
  return op::Binding2(DefaultClient(), iCardNo, iDynpasswd, iAppNo, iAppNo2, sAccount, resvPassWord,
                      kResvPassWordBytes);
}

ResultCode TokenBinding2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2, int iAppNo, int iAppNo2,
                             char* sAccount, char* resvPassWord) {
  return op::Binding2Next(DefaultClient(), iCardNo, iDynpasswd1, iDynpasswd2, iAppNo, iAppNo2,
                          sAccount, resvPassWord, kResvPassWordBytes);
}

ResultCode TokenUnBinding(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo, int iAppNo2,
                          char* sAccount) {
  return op::UnBinding(DefaultClient(), iCardNo, sServiceNo, iDynpasswd, iAppNo, iAppNo2, sAccount);
}

ResultCode TokenUnBinding2(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo, int iAppNo2,
                           char* sAccount) {
  return op::UnBinding2(DefaultClient(), iCardNo, sServiceNo, iDynpasswd, iAppNo, iAppNo2,
                        sAccount);
}

ResultCode TokenUnBinding2Next(int iCardNo, char* sServiceNo, int iDynpasswd1, int iDynpasswd2,
                               int iAppNo, int iAppNo2, char* sAccount) {
  return op::UnBinding2Next(DefaultClient(), iCardNo, sServiceNo, iDynpasswd1, iDynpasswd2, iAppNo,
                            iAppNo2, sAccount);
}

ResultCode TokenUnBindingEx(int iCardNo, int iAppNo, int iAppNo2, char* sAccount) {
  return op::UnBindingEx(DefaultClient(), iCardNo, iAppNo, iAppNo2, sAccount);
}

ResultCode TokenUnBindingEx2(int iCardNo, int iAppNo, int iAppNo2, char* sAccount,
                             char* sResvPassWord) {
  return op::UnBindingEx2(DefaultClient(), iCardNo, iAppNo, iAppNo2, sAccount, sResvPassWord);
}
