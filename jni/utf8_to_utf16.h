// Turns the bytes a service sent into UTF-16 for a Java string. The bytes
// are not trusted to be UTF-8, so every byte sequence has to decode.
#pragma once

#include <string>
#include <string_view>

namespace zcv {

// Decodes UTF-8; each maximal ill-formed part of the input (a stray byte, an
// overlong form, a surrogate, a truncated sequence) becomes one U+FFFD.
// Characters above U+FFFF become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view bytes);

}  // namespace zcv
