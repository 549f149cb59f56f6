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

// The raw value of the key (blanks trimmed, quotes kept) in the first section
// of that name; a later section of the same name is never looked at.
std::optional<Span> FindValue(const std::string& text, const std::string& section,
                              const std::string& key) {
  bool inSection = false;
  bool sectionSeen = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lineEnd = text.find('\n', pos);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    Span line{pos, lineEnd};
    if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
    pos = lineEnd + 1;
    line = Trim(text, line);
    if (line.begin == line.end) continue;
    char first = text[line.begin];
    if (first == ';' || first == '#') continue;
    if (first == '[') {
      if (sectionSeen) return std::nullopt;
      Span name{line.begin + 1, FindIn(text, ']', line)};
      inSection = SameName(text, Trim(text, name), section);
      sectionSeen = inSection;
      continue;
    }
    if (!inSection) continue;
    std::size_t equals = FindIn(text, '=', line);
    if (equals == line.end) continue;
    if (SameName(text, Trim(text, Span{line.begin, equals}), key)) {
      return Trim(text, Span{equals + 1, line.end});
    }
  }
  return std::nullopt;
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
  Span value = *found;
  if (value.end - value.begin >= 2 && IsQuote(text[value.begin]) &&
      text[value.begin] == text[value.end - 1]) {
    ++value.begin;
    --value.end;
  }
  return text.substr(value.begin, std::min(value.end - value.begin, bufferBytes - 1));
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
