// Reads the authfile's text line by line, refusing it on the first line
// that is not blank, a comment or a user's list of card numbers.
#include "pam/authfile.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace zcv::pam {
namespace {

constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A card number: 1 to 9 decimal digits and nothing else, not 0.
bool ParseCard(std::string_view text, int* card) {
  if (text.empty() || text.size() > kMaxCardDigits) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *card = value;
  return value != 0;
}

// The cards of one line, or the reason the list cannot be read.
std::string ParseCards(std::string_view list, std::vector<int>* cards) {
  cards->clear();
  for (;;) {
    const std::size_t comma = list.find(',');
    int card = 0;
    if (!ParseCard(Trim(list.substr(0, comma)), &card)) {
      return "has a card number that is not 1 to 9 digits, or is 0";
    }
    if (cards->size() == kMaxCardsPerUser) {
      return "has more than " + std::to_string(kMaxCardsPerUser) + " cards";
    }
    if (std::find(cards->begin(), cards->end(), card) != cards->end()) {
      return "gives card " + std::to_string(card) + " twice";
    }
    cards->push_back(card);
    if (comma == std::string_view::npos) return std::string();
    list.remove_prefix(comma + 1);
  }
}

// The next UTF-8 character of *text, taken off it; 0 for a byte that does
// not start a well-formed one (overlong forms and surrogates included).
char32_t NextCodePoint(std::string_view* text) {
  const auto lead = static_cast<unsigned char>(text->front());
  text->remove_prefix(1);
  if (lead < 0x80) return lead;
  int more = 0;
  char32_t c = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    more = 1;
    c = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    more = 2;
    c = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    more = 3;
    c = lead & 0x07;
  } else {
    return 0;
  }
  for (int i = 0; i < more; ++i) {
    if (text->empty()) return 0;
    const auto next = static_cast<unsigned char>(text->front());
    if ((next & 0xc0) != 0x80) return 0;
    text->remove_prefix(1);
    c = (c << 6) | (next & 0x3f);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[more] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return 0;
  return c;
}

// Characters that show as nothing or as a blank: a name holding one reads
// like another name, and a line with one would not name the user it seems
// to name.
bool IsInvisible(char32_t c) {
  return (c >= 0x80 && c <= 0xa0) || c == 0xad || c == 0x34f || c == 0x61c || c == 0x115f ||
         c == 0x1160 || c == 0x1680 || c == 0x180e || (c >= 0x2000 && c <= 0x200f) ||
         (c >= 0x2028 && c <= 0x202f) || (c >= 0x205f && c <= 0x206f) || c == 0x3000 ||
         c == 0x3164 || (c >= 0xfe00 && c <= 0xfe0f) || c == 0xfeff || c == 0xffa0 ||
         (c >= 0xfff0 && c <= 0xfffb) || (c >= 0xe0000 && c <= 0xe0fff);
}

CardLookup Refuse(std::size_t line, std::string reason, std::vector<int>* cards,
                  AuthfileRefusal* refusal) {
  cards->clear();
  refusal->line = line;
  refusal->reason = std::move(reason);
  return CardLookup::kRefused;
}

}  // namespace

bool IsValidUserName(std::string_view user) {
  if (user.empty() || user.front() == '#' || user.size() > kMaxUserNameBytes) return false;
  while (!user.empty()) {
    const char32_t c = NextCodePoint(&user);
    if (c <= ' ' || c == 0x7f || c == ':' || IsInvisible(c)) return false;
  }
  return true;
}

bool IsValidUserName(const char* user) {
  return user != nullptr &&
         IsValidUserName(std::string_view(user, ::strnlen(user, kMaxUserNameBytes + 1)));
}

CardLookup FindCards(std::string_view text, std::string_view user, std::vector<int>* cards,
                     AuthfileRefusal* refusal) {
  cards->clear();
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  // Where each name was first given.
  std::unordered_map<std::string_view, std::size_t> named;
  std::vector<int> found;
  std::vector<int> line_cards;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (raw.find('\0') != std::string_view::npos) {
      return Refuse(number, "holds a NUL byte", cards, refusal);
    }
    if (raw.size() > kMaxAuthfileLineBytes) {
      return Refuse(number, "is longer than " + std::to_string(kMaxAuthfileLineBytes) + " bytes",
                    cards, refusal);
    }
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      return Refuse(number, "is not a name:cards line", cards, refusal);
    }
    const std::string_view name = Trim(line.substr(0, colon));
    if (!IsValidUserName(name)) {
      return Refuse(number, "does not start with a valid user name", cards, refusal);
    }
    const auto [first, fresh] = named.emplace(name, number);
    if (!fresh) {
      return Refuse(number, "names a user line " + std::to_string(first->second) + " named already",
                    cards, refusal);
    }
    std::string why = ParseCards(line.substr(colon + 1), &line_cards);
    if (!why.empty()) return Refuse(number, std::move(why), cards, refusal);
    if (name == user) found = line_cards;
  }
  if (found.empty()) return CardLookup::kAbsent;
  *cards = std::move(found);
  return CardLookup::kFound;
}

}  // namespace zcv::pam
