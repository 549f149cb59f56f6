// Setting and finding headers by zero-terminated name in tests, over the
// header list's counted interface.
#pragma once

#include <cstring>

#include "http/header_list.h"

namespace zcv::test {

inline int SetHeader(HttpHeaderList* list, const char* name, const char* value) {
  return HttpHeaderSetCounted(list, name, name != nullptr ? static_cast<int>(std::strlen(name)) : 0,
                              value, value != nullptr ? static_cast<int>(std::strlen(value)) : 0);
}

// The value stored under `name` (any case), or nullptr.
inline const char* GetHeader(const HttpHeaderList* list, const char* name) {
  if (list == nullptr || name == nullptr) return nullptr;
  for (const HttpHeaderSlot& slot : list->slots) {
    if (EqualsIgnoringCase(slot.name, name)) return slot.value;
  }
  return nullptr;
}

}  // namespace zcv::test
