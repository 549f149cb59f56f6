// The 28 operations as zcvctl offers them: one table row per exported
// function with its subcommand, the request it sends, its parameters in
// signature order and the output it fills.
#pragma once

#include <zephyrcoilvault.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zcv::ctl {

enum class ParamKind {
  kInt,      // a signed decimal, required
  kText,     // a text the library requires
  kOptText,  // a text that may be left out; the library then sends "(null)"
};

struct Param {
  std::string option;  // without the leading "--"
  ParamKind kind;
};

enum class OutputKind { kNone, kExpire, kResvPassWord, kRows, kStatus };

// The library is not told the size of the reserved-password buffer; room
// beyond the protocol's seven bytes keeps a longer reply from overrunning.
constexpr std::size_t kResvBufferBytes = 64;

struct Outputs {
  char expire_text[zcv::kExpireTextBytes] = "";
  char resv_password[kResvBufferBytes] = "";
  int card_status = 0;
  int row_count = 0;
  pTokenBindInfo rows[zcv::kMaxBindRows] = {};
};

// The values of one invocation, by option name.
class Call {
 public:
  std::map<std::string, int> ints;
  std::map<std::string, std::optional<std::string>> texts;
  Outputs out;

  int Int(const std::string& option) const { return ints.at(option); }
  // The text's own storage, or null when the option was not given.
  char* Text(const std::string& option) {
    std::optional<std::string>& text = texts.at(option);
    return text ? text->data() : nullptr;
  }
};

struct Operation {
  const char* command;   // subcommand name, e.g. "bind-info"
  const char* function;  // exported function, e.g. "TokenBindInfoQuery"
  const char* request;   // the request path template it sends
  const char* summary;
  std::vector<Param> params;
  OutputKind output;
  ResultCode (*invoke)(Call&);
};

const std::vector<Operation>& Operations();

// A signed decimal int as typed: "097221" is 97221 (one-time passwords keep
// their leading zeros on the card), never octal. Empty when not a number
// or out of range.
std::optional<int> ParseDecimalInt(const std::string& text);

// Help text of an option, shared by every operation that takes it.
std::string OptionHelp(const std::string& option);

}  // namespace zcv::ctl
