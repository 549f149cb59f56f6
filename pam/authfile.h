// The authfile: which token cards each user may log in with.
//   # comment
//   alice:1001
//   bob:1002,1003      (tried in this order)
// The whole file is read before any user is looked up, and one line that
// cannot be read refuses all of it: a login module never lets a user in
// because the line that names them was mistyped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zcv::pam {

constexpr std::size_t kMaxUserNameBytes = 256;
constexpr std::size_t kMaxCardsPerUser = 16;
// Card numbers travel as C ints: nine digits always fit.
constexpr std::size_t kMaxCardDigits = 9;
// Far beyond the longest line of 16 cards; a longer one is a damaged file.
constexpr std::size_t kMaxAuthfileLineBytes = 4096;

enum class CardLookup {
  kFound,    // *cards holds the user's cards, at least one
  kAbsent,   // the file is sound and no line names the user
  kRefused,  // a line cannot be read; *refusal says which and why
};

struct AuthfileRefusal {
  std::size_t line = 0;  // counted from 1
  std::string reason;    // e.g. "is not a name:cards line"; never quotes the line
};

// A name the authfile can hold and a log line can show: 1 to 256 bytes of
// UTF-8, not starting with '#', without ':', a blank or control character,
// or a character that shows as nothing (a byte-order mark, a zero-width or
// no-break space, and the like).
bool IsValidUserName(std::string_view user);
bool IsValidUserName(const char* user);

// Reads every line of `text`: blank lines and lines starting with '#' are
// skipped, every other line must be `name:card,card,...` with a valid user
// name, 1 to 16 distinct card numbers of 1 to 9 digits (not 0), and a name
// no earlier line gave. Blanks around names and numbers, a carriage return
// before the line feed and a UTF-8 byte-order mark at the start are
// ignored; a NUL anywhere or a line over kMaxAuthfileLineBytes refuses the
// file. Names compare exactly.
CardLookup FindCards(std::string_view text, std::string_view user, std::vector<int>* cards,
                     AuthfileRefusal* refusal);

}  // namespace zcv::pam
