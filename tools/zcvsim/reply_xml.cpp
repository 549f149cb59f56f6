// Writing reply documents.
#include "zcvsim/reply_xml.h"

namespace zcv::sim {
namespace {

void Element(std::string& out, const char* name, const std::string& text) {
  out += '<';
  out += name;
  out += '>';
  out += XmlEscape(text);
  out += "</";
  out += name;
  out += '>';
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ReplyXml(const Outcome& o) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><TokenReply>";
  Element(out, "Result", std::to_string(Code(o.verdict)));
  if (o.verdict == Verdict::kAccepted) {
    if (o.expire_time) Element(out, "ExpireTime", std::to_string(*o.expire_time));
    if (o.resv_password) Element(out, "ResvPassWord", *o.resv_password);
    if (o.card_status) Element(out, "CardStatus", std::to_string(*o.card_status));
    if (o.rows) {
      Element(out, "RowCount", std::to_string(o.rows->size()));
      for (const Binding& b : *o.rows) {
        out += "<Row>";
        Element(out, "AppNo", std::to_string(b.app_no));
        Element(out, "AppNo2", std::to_string(b.app_no2));
        Element(out, "Account", b.account);
        Element(out, "Bindtime", b.bind_time);
        out += "</Row>";
      }
    }
  }
  out += "</TokenReply>";
  return out;
}

}  // namespace zcv::sim
