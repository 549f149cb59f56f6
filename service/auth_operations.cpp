// Authentication: check one or two consecutive one-time passwords of a card.
// These three share the failure gate.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"

namespace zcv {

ResultCode op::Auth(Client* c, int cardNo, int dynpasswd, char* expireText, Size expireBytes) {
  return CallService(c, kAuth, {Output(expireText, expireBytes, kExpireTextBytes)},
                     Expiry(expireText), cardNo, dynpasswd);
}

ResultCode op::Auth2(Client* c, int cardNo, int dynpasswd, char* expireText, Size expireBytes) {
  return CallService(c, kAuth2, {Output(expireText, expireBytes, kExpireTextBytes)},
                     Expiry(expireText), cardNo, dynpasswd);
}

ResultCode op::Auth2Next(Client* c, int cardNo, int dynpasswd1, int dynpasswd2, char* expireText,
                         Size expireBytes) {
  return CallService(c, kAuth2Next, {Output(expireText, expireBytes, kExpireTextBytes)},
                     Expiry(expireText), cardNo, dynpasswd1, dynpasswd2);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenAuth(int iCardNo, int iDynpasswd, char* expireText) {
  return op::Auth(DefaultClient(), iCardNo, iDynpasswd, expireText, kExpireTextBytes);
}

ResultCode TokenAuth2(int iCardNo, int iDynpasswd, char* expireText) {
  return op::Auth2(DefaultClient(), iCardNo, iDynpasswd, expireText, kExpireTextBytes);
}

ResultCode TokenAuth2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* expireText) {
  return op::Auth2Next(DefaultClient(), iCardNo, iDynpasswd1, iDynpasswd2, expireText,
                       kExpireTextBytes);
}
