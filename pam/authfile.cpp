// Looks a user up in the authfile's text and validates the card numbers.
#include "pam/authfile.h"

#include <cstring>
#include <string_view>

namespace zcv::pam {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A card number: 1 to 9 decimal digits and nothing else.
bool ParseCard(std::string_view text, int* card) {
  if (text.empty() || text.size() > kMaxCardDigits) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *card = value;
  return true;
}

CardLookup ParseCards(std::string_view list, std::vector<int>* cards) {
  cards->clear();
  for (;;) {
    const std::size_t comma = list.find(',');
    int card = 0;
    if (!ParseCard(Trim(list.substr(0, comma)), &card)) return CardLookup::kMalformed;
    if (cards->size() == kMaxCardsPerUser) return CardLookup::kMalformed;
    cards->push_back(card);
    if (comma == std::string_view::npos) return CardLookup::kFound;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace

bool IsValidUserName(const char* user) {
  if (user == nullptr || user[0] == '\0' || user[0] == '#') return false;
  const std::size_t length = std::strlen(user);
  if (length > kMaxUserNameBytes) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(user[i]);
    if (c <= ' ' || c == 0x7f || c == ':') return false;
  }
  return true;
}

CardLookup FindCards(const std::string& text, const std::string& user, std::vector<int>* cards) {
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || Trim(line.substr(0, colon)) != user) continue;
    return ParseCards(line.substr(colon + 1), cards);
  }
  return CardLookup::kAbsent;
}

}  // namespace zcv::pam
