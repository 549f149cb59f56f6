// The call frame every exported operation runs in: validity of the server
// list, argument checks, the failure gate, the request path, the failover
// loop over the servers, the exception path and the result code. An
// operation only describes itself (Operation, its checks and outputs) and
// calls CallService with the values that fill its path template.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "zephyrcoilvault.h"

namespace zcv {

constexpr std::size_t kShortPathBytes = 256;
constexpr std::size_t kLongPathBytes = 1024;

struct Operation {
  const char* pathTemplate;       // printf template of the server page and query
  const char* exceptionTemplate;  // log line of the exception path, with one %s
  std::size_t pathBytes;          // the path is cut to fit this many bytes with its NUL
  bool gated;                     // the authentication operations' failure gate applies
};

class Client;

// One argument check; a refused check returns 1011 before anything is sent.
struct ArgumentCheck {
  enum class Kind { kOutput, kText };
  Kind kind;
  const void* pointer;
  int limit;  // a text's bytes before the NUL; kNoLimit for none
  bool required;
  std::size_t room = 0;    // an output's size, in its own units
  std::size_t needed = 0;  // the most the operation may write there
};
constexpr int kNoLimit = -1;

// A caller buffer that must not be null and must hold `needed` units; the
// C++ functions, whose callers state no size, pass room == needed.
inline ArgumentCheck Output(const void* pointer, std::size_t room = 0, std::size_t needed = 0) {
  return {ArgumentCheck::Kind::kOutput, pointer, kNoLimit, true, room, needed};
}
// A text that must be given and at most `limit` bytes long.
inline ArgumentCheck RequiredText(const char* text, int limit) {
  return {ArgumentCheck::Kind::kText, text, limit, true};
}
// A text that may be null (sent as "(null)"); when given, at most `limit` bytes.
inline ArgumentCheck OptionalText(const char* text, int limit = kNoLimit) {
  return {ArgumentCheck::Kind::kText, text, limit, false};
}

// Which reply reader an attempt uses, and the caller's storage that the
// call fills after the service accepted the request.
struct Outputs {
  enum class Reply { kResult, kPassword, kBindInfo, kStatus };
  Reply reply = Reply::kResult;
  char* expireText = nullptr;
  char* resvPassWord = nullptr;
  int* rowCount = nullptr;
  pTokenBindInfo* rows = nullptr;
  int* cardStatus = nullptr;
};

inline Outputs ResultOnly() { return {}; }
inline Outputs Expiry(char* expireText) {
  Outputs o;
  o.expireText = expireText;
  return o;
}
inline Outputs ReservedPassword(char* resvPassWord) {
  Outputs o;
  o.reply = Outputs::Reply::kPassword;
  o.resvPassWord = resvPassWord;
  return o;
}
inline Outputs BindingRows(int* rowCount, pTokenBindInfo* rows) {
  Outputs o;
  o.reply = Outputs::Reply::kBindInfo;
  o.rowCount = rowCount;
  o.rows = rows;
  return o;
}
inline Outputs CardStatus(int* cardStatus, char* expireText) {
  Outputs o;
  o.reply = Outputs::Reply::kStatus;
  o.cardStatus = cardStatus;
  o.expireText = expireText;
  return o;
}

// Formats the request path into a buffer of the given size. A non-owning
// reference to the caller's formatter: building it never allocates, so it
// cannot throw on the way into the frame.
class PathFormatter {
 public:
  template <typename Format>
  PathFormatter(const Format& format)  // implicit: any callable formatter converts
      : format_(&format), call_([](const void* f, char* path, std::size_t size) {
          (*static_cast<const Format*>(f))(path, size);
        }) {}

  void operator()(char* path, std::size_t size) const { call_(format_, path, size); }

 private:
  const void* format_;
  void (*call_)(const void*, char*, std::size_t);
};

// Runs the frame on `client` (null: 1012). Never throws.
ResultCode RunCall(Client* client, const Operation& operation,
                   std::initializer_list<ArgumentCheck> checks, const Outputs& outputs,
                   PathFormatter formatPath) noexcept;

// One value of a template: a number, or a text (a null text as "(null)").
struct TemplateValue {
  TemplateValue(int value) : number(value) {}  // implicit: built from the call's values
  TemplateValue(const char* value) : text(value ? value : "(null)") {}
  int number = 0;
  const char* text = nullptr;  // null for a number
};

// Writes `pathTemplate` with its %d and %s conversions (the only ones the
// templates use) filled from `values` in order, byte for byte as snprintf
// would, cut to `size` bytes with the NUL. Cheaper than snprintf, which
// costs more than a tenth of a call.
void FormatTemplate(char* out, std::size_t size, const char* pathTemplate,
                    std::initializer_list<TemplateValue> values);

template <typename... Values>
ResultCode CallService(Client* client, const Operation& operation,
                       std::initializer_list<ArgumentCheck> checks, const Outputs& outputs,
                       Values... values) noexcept {
  return RunCall(client, operation, checks, outputs, [&](char* path, std::size_t size) {
    FormatTemplate(path, size, operation.pathTemplate, {TemplateValue(values)...});
  });
}

}  // namespace zcv
