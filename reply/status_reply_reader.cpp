// The reader of the card status reply: the verdict and, on success, the
// card's expiry and status number, stored only when both are present.
#include "platform/com_apartment.h"
#include "reply/reply_document.h"
#include "reply/reply_number.h"
#include "reply/reply_readers.h"

namespace zcv {

int StatusReplyReader(const char* body, unsigned* code, int* expire, int* status) {
  try {
    // Declared first so that the document is released before COM is left.
    platform::ComApartment com;
    if (!com.entered()) throw ReplyError("Initialize failed");
    ReplyDocument document;
    document.Load(body);
    *code = ParseReplyCode(document.SelectText("//Result"));
    if (expire != nullptr) {
      if (*code == kAccepted) {
        std::string expireText = document.SelectText("//ExpireTime");
        std::string statusText = document.SelectText("//CardStatus");
        const int expireValue = ParseReplyNumber(expireText);
        const int statusValue = ParseReplyNumber(statusText);
        *expire = expireValue;
        if (status != nullptr) *status = statusValue;
      } else {
        *expire = 0;
      }
    }
    return 1;
  } catch (...) {
    *code = kNoAnswer;
    return 0;
  }
}

}  // namespace zcv
