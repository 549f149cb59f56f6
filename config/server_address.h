// The forms a ServerIP<i> and a ServerPort<i> may take, checked at load so
// that no value is guessed at, cut or wrapped when a call dials it.
#pragma once

#include <string>

namespace zcv {

// A dotted-quad IPv4 address (four decimal numbers 0 to 255, no leading
// zeros) or a host name (letters, digits, hyphens and dots, no empty label)
// that is not made of digits and dots alone.
bool IsServerAddress(const std::string& text);

// One to five decimal digits giving 1 to 65535.
bool IsServerPort(const std::string& text);

}  // namespace zcv
