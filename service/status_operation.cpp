// Card status: a card's status number and expiry time.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"

namespace zcv {

ResultCode op::Status(Client* c, int cardNo, int* cardStatus, char* expireText, Size expireBytes) {
  return CallService(c, kStatus,
                     {Output(expireText, expireBytes, kExpireTextBytes), Output(cardStatus)},
                     CardStatus(cardStatus, expireText), cardNo);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenStatus(int iCardNo, int& cardStatus, char* expireText) {
  return op::Status(DefaultClient(), iCardNo, &cardStatus, expireText, kExpireTextBytes);
}
