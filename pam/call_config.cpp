// Finds [ServerSet] and its CallTimeout the way the library's INI reader
// does (case-blind names, blanks trimmed, comments skipped, first wins).
#include "pam/call_config.h"

#include "platform/ini_file.h"

namespace zcv::pam {
namespace {

constexpr char kSection[] = "ServerSet";
constexpr char kKey[] = "CallTimeout";
// The library's limits on its time-out keys, and its value buffer.
constexpr int kMinSeconds = 1;
constexpr int kMaxSeconds = 600;
constexpr std::size_t kValueReadBytes = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Where the body of the first [ServerSet] section starts: just after its
// header line (at the end of a text whose last line is the header).
std::size_t FindSectionBody(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] != '[') continue;
    const std::size_t close = line.find(']');
    if (SameName(Trim(line.substr(1, close == std::string::npos ? close : close - 1)), kSection)) {
      return end == text.size() ? end : end + 1;
    }
  }
  return std::string::npos;
}

// Whole seconds from 1 to 600 written in decimal digits only; 0 otherwise.
int ParseSeconds(const std::string& value) {
  if (value.empty() || value.size() >= kValueReadBytes - 1) return 0;
  int seconds = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + (c - '0');
    if (seconds > kMaxSeconds) return 0;
  }
  return seconds >= kMinSeconds ? seconds : 0;
}

}  // namespace

bool ReadCallConfig(std::string text, CallConfig* out) {
  out->bound_seconds = kDefaultCallTimeoutSeconds;
  if (platform::HasIniKey(text, kSection, kKey)) {
    out->bound_seconds =
        ParseSeconds(platform::ReadIniValue(text, kSection, kKey, kValueReadBytes));
    if (out->bound_seconds == 0) return false;
  }
  out->insert_at = FindSectionBody(text);
  out->text = std::move(text);
  return true;
}

std::string WithCallTimeout(const CallConfig& config, int seconds) {
  if (config.insert_at == std::string::npos) return config.text;
  std::string line = std::string(kKey) + "=" + std::to_string(seconds) + "\n";
  if (config.insert_at == config.text.size() && !config.text.empty() &&
      config.text.back() != '\n') {
    line.insert(0, "\n");
  }
  std::string text = config.text;
  text.insert(config.insert_at, line);
  return text;
}

}  // namespace zcv::pam
