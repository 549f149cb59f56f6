// Header storage with canonical names: lookups ignore ASCII case, and a
// standard name is stored as the table spells it.
#include "http/header_list.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace zcv {
namespace {

constexpr std::string_view kStandardHeaderNames[] = {
    "Allow",
    "Content-Encoding",
    "Content-Language",
    "Content-Length",
    "Content-Location",
    "Content-MD5",
    "Content-Range",
    "Content-Type",
    "Expires",
    "Last-Modified",
    "Cache-Control",
    "Connection",
    "Date",
    "Pragma",
    "Transfer-Encoding",
    "Update",
    "Trailer",
    "Via",
    "Accept",
    "Accept-Charset",
    "Accept-Encoding",
    "Accept-Language",
    "Authorization",
    "Expect",
    "From",
    "Host",
    "If-Modified-Since",
    "If-Match",
    "If-None-Match",
    "If-Range",
    "If-Unmodified-Since",
    "Max-Forwards",
    "Proxy-Authorization",
    "Range",
    "Referrer",
    "TE",
    "User-Agent",
    "Accept-Ranges",
    "Age",
    "ETag",
    "Location",
    "Retry-After",
    "Server",
    "Vary",
    "Warning",
    "WWW-Authenticate",
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Most names are compared on their length alone.
bool SameName(const HttpHeaderSlot& slot, const char* name, std::size_t length) {
  return slot.nameLength == length && EqualRunsIgnoringCase(slot.name, name, length);
}

// The table ordered by name length, so that a lookup compares only the
// names of its own length: order[start[n]] to order[start[n + 1] - 1] are
// the indexes of the names of n bytes.
constexpr std::size_t kStandardCount = std::size(kStandardHeaderNames);

constexpr std::size_t LongestStandard() {
  std::size_t longest = 0;
  for (const std::string_view name : kStandardHeaderNames) longest = std::max(longest, name.size());
  return longest;
}

constexpr std::size_t kLongestStandard = LongestStandard();

struct LengthIndex {
  std::size_t start[kLongestStandard + 2] = {};
  std::size_t order[kStandardCount] = {};
};

constexpr LengthIndex MakeLengthIndex() {
  LengthIndex index;
  for (const std::string_view name : kStandardHeaderNames) ++index.start[name.size() + 1];
  for (std::size_t n = 1; n < std::size(index.start); ++n) index.start[n] += index.start[n - 1];
  std::size_t next[kLongestStandard + 1] = {};
  for (std::size_t i = 0; i < kStandardCount; ++i) {
    const std::size_t n = kStandardHeaderNames[i].size();
    index.order[index.start[n] + next[n]++] = i;
  }
  return index;
}

constexpr LengthIndex kByLength = MakeLengthIndex();

const char* StandardName(const char* name, std::size_t length) {
  if (length > kLongestStandard) return nullptr;
  for (std::size_t k = kByLength.start[length]; k < kByLength.start[length + 1]; ++k) {
    const std::string_view standard = kStandardHeaderNames[kByLength.order[k]];
    // Names mostly come spelled as the table spells them.
    if (std::memcmp(standard.data(), name, length) == 0 ||
        EqualRunsIgnoringCase(standard.data(), name, length)) {
      return standard.data();
    }
  }
  return nullptr;
}

// The index of the slot holding the name, or the count of slots in use.
std::size_t FindSlot(const HttpHeaderList& list, const char* name, std::size_t length) {
  std::size_t slot = 0;
  while (slot < list.slots.size() && !SameName(list.slots[slot], name, length)) ++slot;
  return slot;
}

// The room a list takes at its first header: enough for the headers of a
// request or a reply of this service without growing again.
constexpr std::size_t kInitialSlots = 4;

// A zero-terminated copy of the run in the list's arena.
char* CopyText(HttpHeaderList* list, const char* text, std::size_t length) {
  auto* copy = static_cast<char*>(list->arena.allocate(length + 1, 1));
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void StoreValue(HttpHeaderList* list, HttpHeaderSlot* slot, const char* value, std::size_t length) {
  if (length < slot->valueRoom) {
    // Fits where the old value was: a value set again and again takes no
    // more room.
    std::memcpy(slot->value, value, length);
    slot->value[length] = '\0';
  } else {
    slot->value = CopyText(list, value, length);
    slot->valueRoom = length + 1;
  }
  slot->valueLength = length;
}

// The name and value runs hold no zero byte and the name is not empty.
int SetRuns(HttpHeaderList* list, const char* name, std::size_t nameLength, const char* value,
            std::size_t valueLength) {
  const std::size_t found = FindSlot(*list, name, nameLength);
  if (found < list->slots.size()) {
    StoreValue(list, &list->slots[found], value, valueLength);
    return 1;
  }
  if (list->slots.size() == kMaxHeaders) return 0;
  if (list->slots.empty()) list->slots.reserve(kInitialSlots);
  const char* standard = StandardName(name, nameLength);
  HttpHeaderSlot& slot = list->slots.emplace_back(
      HttpHeaderSlot{standard != nullptr ? standard : CopyText(list, name, nameLength), nameLength,
                     nullptr, 0, 0});
  StoreValue(list, &slot, value, valueLength);
  return 1;
}

// The length of a counted run up to its first zero byte.
std::size_t TextLength(const char* bytes, int length) {
  const void* zero = std::memchr(bytes, '\0', static_cast<std::size_t>(length));
  return zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes)
                         : static_cast<std::size_t>(length);
}

}  // namespace

// Names mostly arrive spelled as stored, so equal bytes are tried first.
bool EqualRunsIgnoringCase(const char* a, const char* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (a[i] != b[i] && LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

const char* HttpStandardHeaderName(const char* name) {
  if (name == nullptr) return nullptr;
  return StandardName(name, std::strlen(name));
}

const char* HttpHeaderGetStandard(const HttpHeaderList* list, const char* standardName) {
  if (list == nullptr || standardName == nullptr) return nullptr;
  for (const HttpHeaderSlot& slot : list->slots) {
    if (slot.name == standardName) return slot.value;
  }
  return nullptr;
}

int HttpHeaderSetCounted(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                         int valueLength) {
  if (list == nullptr || name == nullptr || value == nullptr || nameLength <= 0 ||
      valueLength < 0) {
    return 0;
  }
  const std::size_t nameRun = TextLength(name, nameLength);
  if (nameRun == 0) return 0;
  return SetRuns(list, name, nameRun, value, TextLength(value, valueLength));
}

int HttpHeaderSetRuns(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                      int valueLength) {
  return SetRuns(list, name, static_cast<std::size_t>(nameLength), value,
                 static_cast<std::size_t>(valueLength));
}

}  // namespace zcv
