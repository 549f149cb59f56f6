// Binding information: list the accounts a card is bound to. Note the
// lower-case "icardno" key of these two pages.
#include "service/call_frame.h"
#include "service/default_client.h"
#include "service/operation_table.h"
#include "service/operations.h"

namespace zcv {

ResultCode op::BindInfoQuery(Client* c, int cardNo, int dynpasswd, int* rowCount,
                             pTokenBindInfo* rows, Size rowCapacity) {
  return CallService(c, kBindInfoQuery, {Output(rows, rowCapacity, kMaxBindRows), Output(rowCount)},
                     BindingRows(rowCount, rows), cardNo, dynpasswd);
}

ResultCode op::BindInfoQueryNext(Client* c, int cardNo, int dynpasswd1, int dynpasswd2,
                                 int* rowCount, pTokenBindInfo* rows, Size rowCapacity) {
  return CallService(c, kBindInfoQueryNext,
                     {Output(rows, rowCapacity, kMaxBindRows), Output(rowCount)},
                     BindingRows(rowCount, rows), cardNo, dynpasswd1, dynpasswd2);
}

}  // namespace zcv

using namespace zcv;

ResultCode TokenBindInfoQuery(int iCardNo, int iDynpasswd, int* rowCount, pTokenBindInfo* rows) {
  return op::BindInfoQuery(DefaultClient(), iCardNo, iDynpasswd, rowCount, rows, kMaxBindRows);
}

ResultCode TokenBindInfoQueryNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, int* rowCount,
                                  pTokenBindInfo* rows) {
  return op::BindInfoQueryNext(DefaultClient(), iCardNo, iDynpasswd1, iDynpasswd2, rowCount, rows,
                               kMaxBindRows);
}
