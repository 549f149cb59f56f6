// Reading and rewriting INI text with the behaviour hosts expect of Windows
// profile files: case-blind names, trimmed blanks, quoted values, first wins.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zcv::platform {

// The value of `key` in the first section named `section`, as a profile
// reader with a buffer of `bufferBytes` gives it: blanks around it dropped,
// one pair of matching quotes removed, cut to bufferBytes - 1 bytes. A
// missing key reads as the empty text, exactly like an empty value.
std::string ReadIniValue(const std::string& text, const std::string& section,
                         const std::string& key, std::size_t bufferBytes);

// Whether `key` appears in the first section named `section`, even with an
// empty value: what tells an optional key left out from one given empty.
bool HasIniKey(const std::string& text, const std::string& section, const std::string& key);

struct IniValue {
  std::string key;
  std::string value;
};

// Writes into *out the text with the values of the given keys of `section`
// replaced in place; every other byte (comments, other sections, line ends)
// is kept. False, with *out unspecified, when a key is missing, named twice,
// or its value cannot be written on one line.
bool ReplaceIniValues(const std::string& text, const std::string& section,
                      const std::vector<IniValue>& values, std::string* out);

}  // namespace zcv::platform
