// HttpHeaderList: the header store of up to 256 headers shared by requests
// and responses, and the standard header names that give headers their
// spelling.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <string_view>
#include <vector>

namespace zcv {

constexpr std::size_t kMaxHeaders = 256;

// One stored header. A standard name is the table's own text; any other
// name, and every value, is a zero-terminated copy in the list's arena.
struct HttpHeaderSlot {
  const char* name;
  std::size_t nameLength;
  char* value;
  std::size_t valueLength;
  std::size_t valueRoom;  // bytes the value's copy can hold, its zero included
};

// Slots 0 to n-1 are occupied in the order the headers were first set, and
// headers are never removed. Slots and texts are carved from an arena whose
// first kInlineArenaBytes sit inside the list and which grows on demand, so
// a list costs what its headers cost. A list lives for one exchange: a value
// replaced by a longer one leaves its old copy in the arena until then.
struct HttpHeaderList {
  // Enough for the headers of a request or a reply of this service.
  static constexpr std::size_t kInlineArenaBytes = 1024;

  // Slot-indexed reading of the names and the values: a free slot (index n
  // to kMaxHeaders - 1, or beyond) reads as the empty text.
  struct NameColumn {
    const HttpHeaderList& list;
    std::string_view operator[](std::size_t slot) const {
      if (slot >= list.slots.size()) return std::string_view();
      return std::string_view(list.slots[slot].name, list.slots[slot].nameLength);
    }
  };
  struct ValueColumn {
    const HttpHeaderList& list;
    std::string_view operator[](std::size_t slot) const {
      if (slot >= list.slots.size()) return std::string_view();
      return std::string_view(list.slots[slot].value, list.slots[slot].valueLength);
    }
  };

  HttpHeaderList() = default;
  HttpHeaderList(const HttpHeaderList&) = delete;
  HttpHeaderList& operator=(const HttpHeaderList&) = delete;

  // Left unset: the arena hands out only bytes that are then written.
  // Aligned for the slots, which the arena carves first. Not for
  // std::max_align_t: the 32-bit Windows toolchain gives that 8 or 16
  // depending on which headers came first, so translation units would
  // disagree on this record's layout.
  alignas(HttpHeaderSlot) char inlineArena[kInlineArenaBytes];
  std::pmr::monotonic_buffer_resource arena{inlineArena, sizeof inlineArena};
  std::pmr::vector<HttpHeaderSlot> slots{&arena};
  const NameColumn names{*this};
  const ValueColumn values{*this};
};

// The table's spelling of `name` (compared without regard to ASCII case),
// or nullptr when it is not a standard name.
const char* HttpStandardHeaderName(const char* name);

// Stores a copy of the value under the name; a name already present (any
// case) keeps its slot and spelling and takes the new value. Each run ends
// at its first zero byte, as its zero-terminated copy would. 1 stored; 0
// missing argument, empty name, or all slots taken.
int HttpHeaderSetCounted(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                         int valueLength);
// As HttpHeaderSetCounted for runs already known to hold no zero byte,
// with a name of one byte or more: the header scan has looked for zero
// bytes across the whole head at once.
int HttpHeaderSetRuns(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                      int valueLength);
// The value stored under a name that HttpStandardHeaderName returned, or
// nullptr: such a header is stored under that very text, so slots are told
// apart by address alone. Valid until the list is next changed.
const char* HttpHeaderGetStandard(const HttpHeaderList* list, const char* standardName);

// True when the two texts are equal without regard to ASCII letter case.
bool EqualsIgnoringCase(const char* a, const char* b);
// The same for two runs of `length` bytes each.
bool EqualRunsIgnoringCase(const char* a, const char* b, std::size_t length);

}  // namespace zcv
