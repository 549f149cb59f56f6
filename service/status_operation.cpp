// Card status: a card's status number and expiry time.
#include "service/call_frame.h"

namespace zcv {
namespace {
constexpr Operation kStatus{"TokenStatus.asp?iCardNo=%d", "in function TokenStatus  %s",
                            kShortPathBytes, false};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenStatus(int iCardNo, int& cardStatus, char* expireText) {
  return CallService(kStatus, {Output(expireText)}, CardStatus(&cardStatus, expireText), iCardNo);
}
