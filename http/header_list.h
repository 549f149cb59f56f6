// HttpHeaderList: the header store of up to 256 headers shared by requests
// and responses, and the standard header names that give headers their
// spelling.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zcv {

constexpr std::size_t kMaxHeaders = 256;

// One stored header. A standard name is the table's own text; any other
// name is the list's copy, as first given.
struct HttpHeaderSlot {
  const char* standardName = nullptr;
  std::string ownName;
  std::size_t nameLength = 0;
  std::string value;

  std::string_view name() const {
    return standardName != nullptr ? std::string_view(standardName, nameLength) : ownName;
  }
};

// Slots 0 to n-1 are occupied in the order the headers were first set, and
// headers are never removed. Only the slots in use take memory: the store
// grows as headers are added, up to kMaxHeaders.
struct HttpHeaderList {
  // Slot-indexed reading of the names and the values: a free slot (index n
  // to kMaxHeaders - 1, or beyond) reads as the empty text.
  struct NameColumn {
    const HttpHeaderList& list;
    std::string_view operator[](std::size_t slot) const {
      return slot < list.slots.size() ? list.slots[slot].name() : std::string_view();
    }
  };
  struct ValueColumn {
    const HttpHeaderList& list;
    std::string_view operator[](std::size_t slot) const {
      return slot < list.slots.size() ? std::string_view(list.slots[slot].value)
                                      : std::string_view();
    }
  };

  HttpHeaderList() = default;
  HttpHeaderList(const HttpHeaderList&) = delete;
  HttpHeaderList& operator=(const HttpHeaderList&) = delete;

  std::vector<HttpHeaderSlot> slots;
  const NameColumn names{*this};
  const ValueColumn values{*this};
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
// As HttpHeaderSet for byte runs that are not zero-terminated (each run ends
// at its first zero byte, as its zero-terminated copy would); 0 also when
// the name length is 0.
int HttpHeaderSetCounted(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                         int valueLength);
// The value stored under `name` (any case), or nullptr. Valid until the
// list is next changed or destroyed.
const char* HttpHeaderGet(const HttpHeaderList* list, const char* name);

// True when the two texts are equal without regard to ASCII letter case.
bool EqualsIgnoringCase(const char* a, const char* b);

}  // namespace zcv
