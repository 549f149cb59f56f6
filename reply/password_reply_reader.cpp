// The reader of the binding replies: the service's verdict and, on success,
// the reserved password of the new binding.
#include <cstring>

#include "platform/com_apartment.h"
#include "reply/reply_document.h"
#include "reply/reply_number.h"
#include "reply/reply_readers.h"

namespace zcv {

int PasswordReplyReader(const char* body, unsigned* code, char* resvPassWord) {
  try {
    // Declared first so that the document is released before COM is left.
    platform::ComApartment com;
    if (!com.entered()) throw ReplyError("Initialize failed");
    ReplyDocument document;
    document.Load(body);
    *code = ParseReplyCode(document.SelectText("//Result"));
    if (*code == kAccepted && resvPassWord != nullptr) {
      std::string password = document.SelectText("//ResvPassWord");
      // The caller's buffer has room for a six-character password only.
      if (password.size() >= kResvPassWordBytes) throw ReplyError("reserved password too long");
      std::memcpy(resvPassWord, password.c_str(), password.size() + 1);
    }
    return 1;
  } catch (...) {
    *code = kNoAnswer;
    return 0;
  }
}

}  // namespace zcv
