// The 28 operations as zcvctl offers them: one table row per exported
// function with its subcommand, its parameters in signature order and the
// output it fills; the request it sends comes from the library's table.
#pragma once

#include <zephyrcoilvault.h>
#include <zephyrcoilvault/client.h>

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

// Room beyond the protocol's seven bytes for the reserved password, so
// that a report can show a longer text than the library ever writes.
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
  zcv_client* client = nullptr;
  std::map<std::string, int> ints;
  std::map<std::string, std::optional<std::string>> texts;
  Outputs out;

  int Int(const std::string& option) const { return ints.at(option); }
  // The text's own storage, or null when the option was not given.
  const char* Text(const std::string& option) const {
    const std::optional<std::string>& text = texts.at(option);
    return text ? text->c_str() : nullptr;
  }
};

struct Operation {
  const char* command;   // subcommand name, e.g. "bind-info"
  const char* function;  // exported function, e.g. "TokenBindInfoQuery"
  const char* summary;
  std::vector<Param> params;
  OutputKind output;
  ResultCode (*invoke)(Call&);    // calls the C function on Call::client
  const char* request = nullptr;  // the request path template, from the library's table
};

const std::vector<Operation>& Operations();

// A signed decimal int as typed: "097221" is 97221 (one-time passwords keep
// their leading zeros on the card), never octal. Empty when not a number
// or out of range.
std::optional<int> ParseDecimalInt(const std::string& text);

// Help text of an option, shared by every operation that takes it.
std::string OptionHelp(const std::string& option);

}  // namespace zcv::ctl
