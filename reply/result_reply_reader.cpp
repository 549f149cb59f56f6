// The reader of the plain replies: the service's verdict and, on success,
// the card's expiry.
#include "platform/com_apartment.h"
#include "reply/reply_document.h"
#include "reply/reply_number.h"
#include "reply/reply_readers.h"

namespace zcv {

int ResultReplyReader(const char* body, unsigned* code, int* expire) {
  try {
    // Declared first so that the document is released before COM is left.
    platform::ComApartment com;
    if (!com.entered()) throw ReplyError("Initialize failed");
    ReplyDocument document;
    document.Load(body);
    *code = ParseReplyCode(document.SelectText("//Result"));
    if (expire != nullptr) {
      *expire = *code == kAccepted ? ParseReplyNumber(document.SelectText("//ExpireTime")) : 0;
    }
    return 1;
  } catch (...) {
    *code = kNoAnswer;
    return 0;
  }
}

}  // namespace zcv
