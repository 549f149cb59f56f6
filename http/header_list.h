// HttpHeaderList: the fixed 256-slot header store shared by requests and
// responses, and the standard header names that give headers their spelling.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace zcv {

constexpr std::size_t kMaxHeaders = 256;

// Slots 0 to n-1 are occupied in the order the headers were first set; an
// empty name marks a free slot. Headers are never removed.
struct HttpHeaderList {
  std::array<std::string, kMaxHeaders> names;
  std::array<std::string, kMaxHeaders> values;
};

HttpHeaderList* HttpHeaderListCreate();
void HttpHeaderListDestroy(HttpHeaderList* list);

// The table's spelling of `name` (compared without regard to ASCII case),
// or nullptr when it is not a standard name.
const char* HttpStandardHeaderName(const char* name);

// Stores a copy of the value under the name; a name already present (any
// case) keeps its slot and spelling and takes the new value. 1 stored; 0
// missing argument, empty name, or all slots taken.
int HttpHeaderSet(HttpHeaderList* list, const char* name, const char* value);
// As HttpHeaderSet for byte runs that are not zero-terminated; 0 also when
// the name length is 0.
int HttpHeaderSetCounted(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                         int valueLength);
// The value stored under `name` (any case), or nullptr. Valid until the
// header is set again or the list is destroyed.
const char* HttpHeaderGet(const HttpHeaderList* list, const char* name);

// True when the two texts are equal without regard to ASCII letter case.
bool EqualsIgnoringCase(const char* a, const char* b);

}  // namespace zcv
