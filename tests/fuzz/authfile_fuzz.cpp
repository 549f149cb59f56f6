// Fuzz target: the PAM module's authfile reader over an arbitrary text,
// looked up for the name its first line gives and for "alice".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "pam/authfile.h"

namespace {

using zcv::pam::AuthfileRefusal;
using zcv::pam::CardLookup;

void Check(bool holds) {
  if (!holds) std::abort();
}

// The first line's text before ':', blanks and all.
std::string FirstName(std::string_view text) {
  const std::string_view line = text.substr(0, text.find('\n'));
  const std::size_t colon = line.find(':');
  return std::string(colon == std::string_view::npos ? line : line.substr(0, colon));
}

CardLookup Look(const std::string& text, const std::string& user, std::vector<int>* cards,
                AuthfileRefusal* refusal) {
  const CardLookup lookup = zcv::pam::FindCards(text, user, cards, refusal);
  if (lookup == CardLookup::kRefused) {
    Check(cards->empty() && !refusal->reason.empty() && refusal->line >= 1);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    Check(refusal->line <= lines);
  } else if (lookup == CardLookup::kFound) {
    // A user the file names is a valid name, with 1 to 16 distinct cards.
    Check(zcv::pam::IsValidUserName(std::string_view(user)));
    Check(!cards->empty() && cards->size() <= zcv::pam::kMaxCardsPerUser);
    for (std::size_t i = 0; i < cards->size(); ++i) {
      Check((*cards)[i] >= 1 && (*cards)[i] <= 999999999);
      for (std::size_t j = 0; j < i; ++j) Check((*cards)[i] != (*cards)[j]);
    }
  } else {
    Check(cards->empty());
  }
  return lookup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const std::string& user : {FirstName(text), std::string("alice")}) {
    std::vector<int> cards;
    AuthfileRefusal refusal;
    const CardLookup lookup = Look(text, user, &cards, &refusal);

    // A comment line at the end changes nothing.
    std::vector<int> commented_cards;
    AuthfileRefusal commented_refusal;
    Check(Look(text + "\n# more\n", user, &commented_cards, &commented_refusal) == lookup);
    Check(commented_cards == cards && commented_refusal.line == refusal.line);

    // A sound file that does not name a valid user gets its line appended
    // and then gives exactly that line's card.
    if (lookup == CardLookup::kAbsent && zcv::pam::IsValidUserName(std::string_view(user))) {
      std::vector<int> added;
      AuthfileRefusal added_refusal;
      Check(Look(text + "\n" + user + ":7", user, &added, &added_refusal) == CardLookup::kFound);
      Check(added == std::vector<int>{7});
    }
  }
  return 0;
}
