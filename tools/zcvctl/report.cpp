// Text and JSON presentation of zcvctl's results.
#include "zcvctl/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zcv::ctl {
namespace {

constexpr std::size_t kRowTextBytes = 20;  // Account and Bindtime fields

struct Row {
  std::string app_no, app_no2, account, bind_time;
};

// The fields carry no NUL when their text fills all 20 bytes.
std::string FieldText(const char* field) {
  return std::string(field, strnlen(field, kRowTextBytes));
}

std::vector<Row> RowsOf(const Outputs& out) {
  std::vector<Row> rows;
  int n = std::clamp(out.row_count, 0, zcv::kMaxBindRows);
  for (int i = 0; i < n; ++i) {
    const pTokenBindInfo& r = out.rows[i];
    rows.push_back(Row{std::to_string(r.AppNo), std::to_string(r.AppNo2), FieldText(r.Account),
                       FieldText(r.Bindtime)});
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
    cells.push_back({std::to_string(i + 1), rows[i].app_no, rows[i].app_no2, rows[i].account,
                     rows[i].bind_time});
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

void PrintText(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out) {
  os << op.function << ": " << code << " (" << ResultMeaning(code) << ")\n";
  if (code != zcv::kAccepted) return;
  switch (op.output) {
    case OutputKind::kNone:
      break;
    case OutputKind::kExpire:
      Line(os, "expire time", out.expire_text);
      break;
    case OutputKind::kResvPassWord:
      Line(os, "reserved pw", out.resv_password);
      break;
    case OutputKind::kStatus:
      Line(os, "card status", std::to_string(out.card_status));
      Line(os, "expire time", out.expire_text);
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

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void PrintJson(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out) {
  os << "{\"operation\":" << JsonString(op.function) << ",\"result\":" << code
     << ",\"meaning\":" << JsonString(ResultMeaning(code));
  if (code == zcv::kAccepted) {
    switch (op.output) {
      case OutputKind::kNone:
        break;
      case OutputKind::kExpire:
        os << ",\"expireTime\":" << JsonString(out.expire_text);
        break;
      case OutputKind::kResvPassWord:
        os << ",\"resvPassWord\":" << JsonString(out.resv_password);
        break;
      case OutputKind::kStatus:
        os << ",\"cardStatus\":" << out.card_status
           << ",\"expireTime\":" << JsonString(out.expire_text);
        break;
      case OutputKind::kRows: {
        os << ",\"rowCount\":" << out.row_count << ",\"rows\":[";
        std::vector<Row> rows = RowsOf(out);
        for (std::size_t i = 0; i < rows.size(); ++i) {
          os << (i > 0 ? "," : "") << "{\"appNo\":" << rows[i].app_no
             << ",\"appNo2\":" << rows[i].app_no2 << ",\"account\":" << JsonString(rows[i].account)
             << ",\"bindTime\":" << JsonString(rows[i].bind_time) << "}";
        }
        os << "]";
        break;
      }
    }
  }
  os << "}\n";
}

}  // namespace zcv::ctl
