// The forms a ServerIP<i> and a ServerPort<i> may take, checked at load so
// that no value is guessed at, cut or wrapped when a call dials it.
#pragma once

#include <string>

namespace zcv {

enum class AddressForm { kNone, kIpv4, kIpv6, kName };

// Which form the text has: a dotted-quad IPv4 address (four decimal
// numbers 0 to 255, no leading zeros); an IPv6 address in its text form
// (hexadecimal groups and colons, "::" at most once, no zone index, no
// embedded dotted quad, and not an IPv4 address written as IPv6, ::ffff:
// followed by an IPv4 address: that one is given as the dotted quad); a
// host name (letters, digits, hyphens and dots, no empty label) not made of
// digits and dots alone; or none of these.
AddressForm ServerAddressForm(const std::string& text);

// Whether the text has one of the three forms above.
bool IsServerAddress(const std::string& text);

// One to five decimal digits giving 1 to 65535.
bool IsServerPort(const std::string& text);

}  // namespace zcv
