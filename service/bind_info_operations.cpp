// Binding information: list the accounts a card is bound to. Note the
// lower-case "icardno" key of these two pages.
#include "service/call_frame.h"

namespace zcv {
namespace {
constexpr Operation kBindInfoQuery{"TokenBindInfoQuery.asp?icardno=%d&iDynpasswd=%d",
                                   "in function TokenBindInfoQuery %s", kShortPathBytes, false};
constexpr Operation kBindInfoQueryNext{
    "TokenBindInfoQueryNext.asp?icardno=%d&iDynpasswd1=%d&iDynpasswd2=%d",
    "in function TokenBindInfoQueryNext %s", kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenBindInfoQuery(int iCardNo, int iDynpasswd, int* rowCount, pTokenBindInfo* rows) {
  return CallService(kBindInfoQuery, {Output(rows), Output(rowCount)}, BindingRows(rowCount, rows),
                     iCardNo, iDynpasswd);
}

ResultCode TokenBindInfoQueryNext(int iCardNo, int iDynpasswd1, int iDynpasswd2, int* rowCount,
                                  pTokenBindInfo* rows) {
  return CallService(kBindInfoQueryNext, {Output(rows), Output(rowCount)},
                     BindingRows(rowCount, rows), iCardNo, iDynpasswd1, iDynpasswd2);
}
