// The operation table of zcvctl: its rows are written from the library's
// operation table by tools/bindgen/bindgen.py.
#include "zcvctl/operations.h"

#include <limits>

#include "service/operation_table.h"

namespace zcv::ctl {
namespace {

Param I(const char* option) { return Param{option, ParamKind::kInt}; }
Param T(const char* option) { return Param{option, ParamKind::kText}; }
Param O(const char* option) { return Param{option, ParamKind::kOptText}; }

zcv_bind_info* Rows(pTokenBindInfo* rows) { return reinterpret_cast<zcv_bind_info*>(rows); }

std::vector<Operation> BuildTable() {
  using K = OutputKind;
  return {
#include "zcvctl_operations.inc"
  };
}

}  // namespace

std::optional<int> ParseDecimalInt(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

// Each request template comes from the library's own table.
std::vector<Operation> WithRequests(std::vector<Operation> table) {
  for (Operation& op : table) op.request = zcv::FindOperation(op.function)->operation.pathTemplate;
  return table;
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> table = WithRequests(BuildTable());
  return table;
}

std::string OptionHelp(const std::string& option) {
  static const std::map<std::string, std::string> help = {
      {"card", "card number"},
      {"old-card", "number of the card being replaced"},
      {"password", "one-time password shown by the card"},
      {"password2", "the one-time password that follows --password"},
      {"app-no", "first application number of the account"},
      {"app-no2", "second application number of the account"},
      {"account", "account name (at most 20 bytes)"},
      {"service-no", "service number of the card (at most 20 bytes)"},
      {"old-service-no", "service number of the card being replaced (at most 20 bytes)"},
      {"new-service-no", "service number of the new card (at most 20 bytes)"},
      {"resv-password", "reserved password the binding returned (at most 6 bytes)"},
      {"user-name", "holder's name (at most 20 bytes)"},
      {"id-type", "type of the identity document, as the service numbers them"},
      {"id", "identity document number (at most 20 bytes)"},
      {"mobile", "mobile telephone number (at most 20 bytes)"},
      {"tel", "fixed telephone number (at most 20 bytes)"},
      {"post", "postcode (at most 10 bytes)"},
      {"email", "e-mail address (at most 40 bytes)"},
      {"address", "postal address (at most 100 bytes)"},
      {"id-code", "identity code (at most 20 bytes)"},
      {"type", "loss report type, passed on to the service"},
      {"operator", "name of the operator performing the action"},
  };
  auto it = help.find(option);
  return it == help.end() ? option : it->second;
}

}  // namespace zcv::ctl
