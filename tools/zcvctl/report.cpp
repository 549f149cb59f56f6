// Text and JSON presentation of zcvctl's results; the JSON is built with
// nlohmann-json.
#include "zcvctl/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "zcvctl/utf8_text.h"

namespace zcv::ctl {
namespace {

struct Row {
  int app_no, app_no2;
  std::string account, bind_time;
};

// An output buffer's text, never read past the buffer's end: a row's
// fields carry no NUL when their text fills all 20 bytes.
template <std::size_t N>
std::string BoundedText(const char (&buffer)[N]) {
  return std::string(buffer, strnlen(buffer, N));
}

std::vector<Row> RowsOf(const Outputs& out) {
  std::vector<Row> rows;
  int n = std::clamp(out.row_count, 0, zcv::kMaxBindRows);
  for (int i = 0; i < n; ++i) {
    const pTokenBindInfo& r = out.rows[i];
    rows.push_back(Row{r.AppNo, r.AppNo2, BoundedText(r.Account), BoundedText(r.Bindtime)});
  }
  return rows;
}

void Line(std::ostream& os, const char* label, const std::string& value) {
  char head[32];
  std::snprintf(head, sizeof head, "  %-15s ", label);
  os << head << value << '\n';
}

void RowTable(std::ostream& os, const std::vector<Row>& rows) {
  std::vector<std::vector<std::string>> cells = {
      {"#", "app-no", "app-no2", "account", "bind time"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    cells.push_back({std::to_string(i + 1), std::to_string(rows[i].app_no),
                     std::to_string(rows[i].app_no2), rows[i].account, rows[i].bind_time});
  }
  std::vector<std::size_t> width(cells[0].size(), 0);
  for (const auto& line : cells) {
    for (std::size_t c = 0; c < line.size(); ++c) width[c] = std::max(width[c], line[c].size());
  }
  for (const auto& line : cells) {
    std::string text = "  ";
    for (std::size_t c = 0; c < line.size(); ++c) {
      text += line[c];
      if (c + 1 < line.size()) text += std::string(width[c] - line[c].size() + 2, ' ');
    }
    os << text << '\n';
  }
}

void PrintTextBytes(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out) {
  os << op.function << ": " << code << " (" << ResultMeaning(code) << ")\n";
  if (code != zcv::kAccepted) return;
  switch (op.output) {
    case OutputKind::kNone:
      break;
    case OutputKind::kExpire:
      Line(os, "expire time", BoundedText(out.expire_text));
      break;
    case OutputKind::kResvPassWord:
      Line(os, "reserved pw", BoundedText(out.resv_password));
      break;
    case OutputKind::kStatus:
      Line(os, "card status", std::to_string(out.card_status));
      Line(os, "expire time", BoundedText(out.expire_text));
      break;
    case OutputKind::kRows: {
      std::string count = std::to_string(out.row_count);
      if (out.row_count > zcv::kMaxBindRows) {
        count += " (only the first " + std::to_string(zcv::kMaxBindRows) + " are delivered)";
      }
      Line(os, "bindings", count);
      std::vector<Row> rows = RowsOf(out);
      if (!rows.empty()) RowTable(os, rows);
      break;
    }
  }
}

}  // namespace

std::string ResultMeaning(ResultCode code) {
  switch (code) {
    case zcv::kAccepted:
      return "accepted";
    case zcv::kArgumentRefused:
      return "argument refused";
    case zcv::kNoAnswer:
      return "no usable answer";
    default:
      return "service verdict";
  }
}

int ExitStatus(ResultCode code) {
  if (code == zcv::kAccepted) return kExitAccepted;
  if (code == zcv::kArgumentRefused || code == zcv::kNoAnswer) return kExitNoAnswer;
  return kExitVerdict;
}

// In UTF-8: bytes of the outputs that are not appear as U+FFFD, as in JSON.
void PrintText(std::ostream& stream, const Operation& op, ResultCode code, const Outputs& out) {
  std::ostringstream os;
  PrintTextBytes(os, op, code, out);
  stream << ValidUtf8(os.str());
}

void PrintJson(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out) {
  nlohmann::ordered_json report = {
      {"operation", op.function}, {"result", code}, {"meaning", ResultMeaning(code)}};
  if (code == zcv::kAccepted) {
    switch (op.output) {
      case OutputKind::kNone:
        break;
      case OutputKind::kExpire:
        report["expireTime"] = BoundedText(out.expire_text);
        break;
      case OutputKind::kResvPassWord:
        report["resvPassWord"] = BoundedText(out.resv_password);
        break;
      case OutputKind::kStatus:
        report["cardStatus"] = out.card_status;
        report["expireTime"] = BoundedText(out.expire_text);
        break;
      case OutputKind::kRows: {
        report["rowCount"] = out.row_count;
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const Row& row : RowsOf(out)) {
          rows.push_back({{"appNo", row.app_no},
                          {"appNo2", row.app_no2},
                          {"account", row.account},
                          {"bindTime", row.bind_time}});
        }
        report["rows"] = std::move(rows);
        break;
      }
    }
  }
  // The service's bytes are not trusted to be UTF-8: each maximal ill-formed
  // sequence becomes one U+FFFD, as the Java natives decode them.
  os << report.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace zcv::ctl
