// Reading and rewriting INI text with the behaviour hosts expect of Windows
// profile files: case-blind names, trimmed blanks, quoted values, first wins,
// a UTF-8 byte-order mark at the start skipped.
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

// One key=value line of a section.
struct IniEntry {
  std::size_t line;   // counted from 1
  std::string key;    // blanks trimmed, letter case as written
  std::string value;  // as ReadIniValue gives it, but never cut
};

// What a profile reader sees of one section, and what it never looks at.
struct IniSection {
  std::size_t line = 0;                   // of its header; 0 when the file has none
  std::vector<IniEntry> entries;          // of the first section of that name, in file order
  std::vector<std::size_t> otherLines;    // its lines that are neither key=value nor comments
  std::vector<std::size_t> laterHeaders;  // further sections of that name (never read)
};

// The first section named `section`, every key=value line of it (a key given
// twice appears twice; ReadIniValue gives the first), and the lines of
// further sections of the same name.
IniSection ReadIniSection(const std::string& text, const std::string& section);

// Whether two section or key names are the same to a profile reader.
bool SameIniName(const std::string& a, const std::string& b);

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
