// Authentication: check one or two consecutive one-time passwords of a card.
// These three share the failure gate.
#include "service/call_frame.h"

namespace zcv {
namespace {
constexpr Operation kAuth{"TokenAuth.asp?iCardNo=%d&iDynpasswd=%d", "in function TokenAuth  %s",
                          kShortPathBytes, true};
constexpr Operation kAuth2{"TokenAuth2.asp?iCardNo=%d&iDynpasswd=%d", "in function TokenAuth2  %s",
                           kShortPathBytes, true};
constexpr Operation kAuth2Next{"TokenAuth2Next.asp?iCardNo=%d&iDynpasswd1=%d&iDynpasswd2=%d",
                               "in function TokenAuth2Next  %s", kShortPathBytes, true};
}  // namespace
}  // namespace zcv

using namespace zcv;

ResultCode TokenAuth(int iCardNo, int iDynpasswd, char* expireText) {
  return CallService(kAuth, {Output(expireText)}, Expiry(expireText), iCardNo, iDynpasswd);
}

ResultCode TokenAuth2(int iCardNo, int iDynpasswd, char* expireText) {
  return CallService(kAuth2, {Output(expireText)}, Expiry(expireText), iCardNo, iDynpasswd);
}

ResultCode TokenAuth2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2, char* expireText) {
  return CallService(kAuth2Next, {Output(expireText)}, Expiry(expireText), iCardNo, iDynpasswd1,
                     iDynpasswd2);
}
