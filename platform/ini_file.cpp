// INI text scanning shared by the reader and the in-place rewriter: both find
// a key's value the same way, so a rewrite changes exactly what a read sees.
#include "platform/ini_file.h"

#include <algorithm>
#include <optional>

namespace zcv::platform {
namespace {

struct Span {
  std::size_t begin;
  std::size_t end;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& text, Span name, const std::string& wanted) {
  if (name.end - name.begin != wanted.size()) return false;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (FoldAscii(text[name.begin + i]) != FoldAscii(wanted[i])) return false;
  }
  return true;
}

Span Trim(const std::string& text, Span span) {
  while (span.begin < span.end && IsBlank(text[span.begin])) ++span.begin;
  while (span.end > span.begin && IsBlank(text[span.end - 1])) --span.end;
  return span;
}

// Position of c within the span, or span.end.
std::size_t FindIn(const std::string& text, char c, Span span) {
  return static_cast<std::size_t>(std::find(text.begin() + span.begin, text.begin() + span.end, c) -
                                  text.begin());
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A UTF-8 byte-order mark that starts the file is not part of its first
// line, as the Windows profile functions read it.
constexpr char kByteOrderMark[] = "\xef\xbb\xbf";

// One line that is neither blank nor a comment, as both the reader and the
// section scan see it.
struct Line {
  std::size_t number;  // from 1
  Span text;           // blanks trimmed, line end dropped
  bool isHeader;
  Span name;   // a header's section name, or the key of a key=value line
  Span value;  // raw: blanks trimmed, quotes kept; empty span for other lines
  bool hasValue;
};

// Calls visit(line) for each such line in file order until it returns false.
template <typename Visit>
void ForEachLine(const std::string& text, Visit visit) {
  std::size_t pos = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  for (std::size_t number = 1; pos < text.size(); ++number) {
    std::size_t lineEnd = text.find('\n', pos);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    Span span{pos, lineEnd};
    if (span.end > span.begin && text[span.end - 1] == '\r') --span.end;
    pos = lineEnd + 1;
    span = Trim(text, span);
    if (span.begin == span.end) continue;
    const char first = text[span.begin];
    if (first == ';' || first == '#') continue;
    Line line{number, span, first == '[', {}, {span.end, span.end}, false};
    if (line.isHeader) {
      line.name = Trim(text, Span{span.begin + 1, FindIn(text, ']', span)});
    } else {
      const std::size_t equals = FindIn(text, '=', span);
      line.hasValue = equals != span.end;
      line.name = Trim(text, Span{span.begin, equals});
      if (line.hasValue) line.value = Trim(text, Span{equals + 1, span.end});
    }
    if (!visit(line)) return;
  }
}

// The raw value of the key (blanks trimmed, quotes kept) in the first section
// of that name; a later section of the same name is never looked at.
std::optional<Span> FindValue(const std::string& text, const std::string& section,
                              const std::string& key) {
  bool inSection = false;
  bool sectionSeen = false;
  std::optional<Span> found;
  ForEachLine(text, [&](const Line& line) {
    if (line.isHeader) {
      if (sectionSeen) return false;
      inSection = SameName(text, line.name, section);
      sectionSeen = inSection;
      return true;
    }
    if (!inSection || !line.hasValue || !SameName(text, line.name, key)) return true;
    found = line.value;
    return false;
  });
  return found;
}

// The value as a profile reader gives it, uncut: one pair of matching
// quotes removed.
std::string Unquote(const std::string& text, Span value) {
  if (value.end - value.begin >= 2 && IsQuote(text[value.begin]) &&
      text[value.begin] == text[value.end - 1]) {
    ++value.begin;
    --value.end;
  }
  return text.substr(value.begin, value.end - value.begin);
}

// The text to put after "key=" so that reading it back gives `value`.
std::optional<std::string> EncodeValue(const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  bool blankAtEdge = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  bool looksQuoted = value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
  if (blankAtEdge || looksQuoted) return '"' + value + '"';
  return value;
}

}  // namespace

std::string ReadIniValue(const std::string& text, const std::string& section,
                         const std::string& key, std::size_t bufferBytes) {
  std::optional<Span> found = FindValue(text, section, key);
  if (!found || bufferBytes == 0) return std::string();
  std::string value = Unquote(text, *found);
  if (value.size() > bufferBytes - 1) value.resize(bufferBytes - 1);
  return value;
}

IniSection ReadIniSection(const std::string& text, const std::string& section) {
  IniSection result;
  bool inFirst = false;
  ForEachLine(text, [&](const Line& line) {
    if (line.isHeader) {
      const bool named = SameName(text, line.name, section);
      inFirst = named && result.line == 0;
      if (inFirst) {
        result.line = line.number;
      } else if (named) {
        result.laterHeaders.push_back(line.number);
      }
    } else if (inFirst && line.hasValue) {
      result.entries.push_back(
          IniEntry{line.number, text.substr(line.name.begin, line.name.end - line.name.begin),
                   Unquote(text, line.value)});
    } else if (inFirst) {
      result.otherLines.push_back(line.number);
    }
    return true;
  });
  return result;
}

bool SameIniName(const std::string& a, const std::string& b) {
  return SameName(a, Span{0, a.size()}, b);
}

bool HasIniKey(const std::string& text, const std::string& section, const std::string& key) {
  return FindValue(text, section, key).has_value();
}

bool ReplaceIniValues(const std::string& text, const std::string& section,
                      const std::vector<IniValue>& values, std::string* out) {
  struct Edit {
    Span span;
    std::string replacement;
  };
  std::vector<Edit> edits;
  for (const IniValue& entry : values) {
    std::optional<Span> found = FindValue(text, section, entry.key);
    std::optional<std::string> encoded = EncodeValue(entry.value);
    if (!found || !encoded) return false;
    edits.push_back(Edit{*found, std::move(*encoded)});
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.span.begin < b.span.begin; });
  auto sameSpan = [](const Edit& a, const Edit& b) { return a.span.begin == b.span.begin; };
  if (std::adjacent_find(edits.begin(), edits.end(), sameSpan) != edits.end()) return false;
  out->clear();
  std::size_t copied = 0;
  for (const Edit& edit : edits) {
    out->append(text, copied, edit.span.begin - copied);
    out->append(edit.replacement);
    copied = edit.span.end;
  }
  out->append(text, copied, std::string::npos);
  return true;
}

}  // namespace zcv::platform
