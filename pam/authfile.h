// The authfile: which token cards each user may log in with.
//   # comment
//   alice:1001
//   bob:1002,1003      (tried in this order)
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zcv::pam {

constexpr std::size_t kMaxUserNameBytes = 256;
constexpr std::size_t kMaxCardsPerUser = 16;
// Card numbers travel as C ints: nine digits always fit.
constexpr std::size_t kMaxCardDigits = 9;

enum class CardLookup {
  kFound,      // *cards holds the user's cards, at least one
  kAbsent,     // no line names the user
  kMalformed,  // the user's line cannot be read as a list of card numbers
};

// A name the authfile can hold and a log line can show: 1 to 256 bytes,
// none of them blank, a control byte or ':', and not starting with '#'.
bool IsValidUserName(const char* user);

// The cards of the first line that names `user` (names compare exactly;
// blanks around names and numbers are ignored; a line starting with '#' is
// a comment). Lines of other users are not examined further.
CardLookup FindCards(const std::string& text, const std::string& user, std::vector<int>* cards);

}  // namespace zcv::pam
