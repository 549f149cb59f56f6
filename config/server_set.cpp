// The [ServerSet] servers. The four messages of a missing file or value are
// the library's original GBK texts; the later checks name the key in the
// same style.
#include "config/server_set.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "config/server_address.h"

namespace zcv {
namespace {

constexpr char kNumberKey[] = "ServerNumber";
constexpr std::size_t kNumberReadChars = 4;
constexpr std::size_t kIPChars = kServerIPBytes - 2;  // 28
constexpr std::size_t kMessageBytes = 256;
constexpr char kFamilyKey[] = "AddressFamily";
constexpr char kKeepAliveKey[] = "KeepAlive";
constexpr const char* kOtherKeys[] = {"ServerNumber",   "ConnectTimeout", "SendTimeout",
                                      "ReceiveTimeout", "CallTimeout",    kFamilyKey,
                                      kKeepAliveKey};
constexpr int kMaxKeepAliveSeconds = 300;
constexpr std::size_t kMaxKeepAliveChars = 30;

// "读ServerNumber参数配置文件错误 \n"
constexpr char kNoNumberMessage[] =
    "\xb6\xc1"
    "ServerNumber"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读ServerIp参数配置文件错误 \n"
constexpr char kNoIPMessage[] =
    "\xb6\xc1"
    "ServerIp"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读ServerPort参数配置文件错误\n " (the blank follows the line feed)
constexpr char kNoPortMessage[] =
    "\xb6\xc1"
    "ServerPort"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\n ";
// "读%s参数配置文件错误，长于28个字符\n"
constexpr char kLongIPTemplate[] =
    "\xb6\xc1%s\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb3\xa4"
    "\xd3\xda"
    "28\xb8\xf6\xd7\xd6\xb7\xfb\n";
// "读%s参数配置文件错误，须为点分IPv4地址、IPv6地址或主机名\n"
constexpr char kBadIPTemplate[] =
    "\xb6\xc1%s\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb"
    "\xce\xaa\xb5\xe3\xb7\xd6IPv4\xb5\xd8\xd6\xb7\xa1\xa2IPv6\xb5\xd8\xd6\xb7\xbb\xf2\xd6\xf7\xbb"
    "\xfa"
    "\xc3\xfb\n";
// "读AddressFamily参数配置文件错误，须为any、ipv4或ipv6\n"
constexpr char kBadFamilyMessage[] =
    "\xb6\xc1"
    "AddressFamily"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb\xce\xaa"
    "any\xa1\xa2ipv4\xbb\xf2ipv6\n";
// "读KeepAlive参数配置文件错误，须为0至300的整数秒\n"
constexpr char kBadKeepAliveMessage[] =
    "\xb6\xc1"
    "KeepAlive"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb\xce\xaa"
    "0\xd6\xc1"
    "300\xb5\xc4\xd5\xfb\xca\xfd\xc3\xeb\n";
// "读%s参数配置文件错误，地址与AddressFamily不符\n"
constexpr char kFamilyMismatchTemplate[] =
    "\xb6\xc1%s\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb5\xd8"
    "\xd6\xb7\xd3\xeb"
    "AddressFamily"
    "\xb2\xbb\xb7\xfb\n";
// "读%s参数配置文件错误，须为1至65535的十进制整数\n"
constexpr char kBadPortTemplate[] =
    "\xb6\xc1%s\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb"
    "\xce\xaa"
    "1\xd6\xc1"
    "65535\xb5\xc4\xca\xae\xbd\xf8\xd6\xc6\xd5\xfb\xca\xfd\n";
// "警告：ServerNumber参数（只读前4个字符）须为正整数，未配置服务器\n"
constexpr char kNoServerMessage[] =
    "\xbe\xaf\xb8\xe6\xa3\xbaServerNumber\xb2\xce\xca\xfd\xa3\xa8\xd6\xbb\xb6\xc1\xc7\xb0"
    "4\xb8\xf6\xd7\xd6\xb7\xfb\xa3\xa9\xd0\xeb\xce\xaa\xd5\xfd\xd5\xfb\xca\xfd\xa3\xac\xce\xb4"
    "\xc5\xe4\xd6\xc3\xb7\xfe\xce\xf1\xc6\xf7\n";
// "警告：配置文件[ServerSet]中的%s参数未知，已忽略\n"
constexpr char kUnknownKeyTemplate[] =
    "\xbe\xaf\xb8\xe6\xa3\xba\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe[ServerSet]\xd6\xd0\xb5\xc4%s\xb2"
    "\xce\xca\xfd\xce\xb4\xd6\xaa\xa3\xac\xd2\xd1\xba\xf6\xc2\xd4\n";
// "警告：配置文件[ServerSet]中的%s参数重复（第%s行），已忽略\n"
constexpr char kRepeatedKeyTemplate[] =
    "\xbe\xaf\xb8\xe6\xa3\xba\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe[ServerSet]\xd6\xd0\xb5\xc4%s\xb2"
    "\xce\xca\xfd\xd6\xd8\xb8\xb4\xa3\xa8\xb5\xda%s\xd0\xd0\xa3\xa9\xa3\xac\xd2\xd1\xba\xf6\xc2"
    "\xd4\n";
// "警告：配置文件第%s行的[ServerSet]节重复，已忽略\n"
constexpr char kRepeatedSectionTemplate[] =
    "\xbe\xaf\xb8\xe6\xa3\xba\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb5\xda%s\xd0\xd0\xb5\xc4[ServerSet]"
    "\xbd\xda\xd6\xd8\xb8\xb4\xa3\xac\xd2\xd1\xba\xf6\xc2\xd4\n";
// "警告：配置文件[ServerSet]第%s行不是参数，已忽略\n"
constexpr char kNotAKeyTemplate[] =
    "\xbe\xaf\xb8\xe6\xa3\xba\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe[ServerSet]\xb5\xda%s\xd0\xd0\xb2"
    "\xbb\xca\xc7\xb2\xce\xca\xfd\xa3\xac\xd2\xd1\xba\xf6\xc2\xd4\n";

std::string IndexedKey(const char* prefix, int i) { return prefix + std::to_string(i); }

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char message[kMessageBytes] = {};
  std::snprintf(message, sizeof message, format, args...);
  return message;
}

// Whether `key` is `prefix` and a server number as "%d" forms it.
bool IsIndexedKey(const std::string& key, const std::string& prefix) {
  if (key.size() <= prefix.size() || !platform::SameIniName(key.substr(0, prefix.size()), prefix))
    return false;
  const std::string digits = key.substr(prefix.size());
  if (digits.size() > 1 && digits[0] == '0') return false;
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsKnownKey(const std::string& key) {
  for (const char* known : kOtherKeys) {
    if (platform::SameIniName(key, known)) return true;
  }
  return IsIndexedKey(key, "ServerIP") || IsIndexedKey(key, "ServerPort");
}

// A key as the reader compares it: ASCII letters folded to lower case.
std::string FoldedKey(std::string key) {
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

// Unknown keys, keys given again and lines no reader looks at: warnings.
void WarnOfUnread(const platform::IniSection& section, ConfigFindings* findings) {
  std::set<std::string> seen;
  for (const platform::IniEntry& entry : section.entries) {
    const std::string shown = ShownText(entry.key);
    if (!IsKnownKey(entry.key)) {
      findings->push_back({entry.line, false, Format(kUnknownKeyTemplate, shown.c_str())});
    } else if (!seen.insert(FoldedKey(entry.key)).second) {
      findings->push_back(
          {entry.line, false,
           Format(kRepeatedKeyTemplate, shown.c_str(), std::to_string(entry.line).c_str())});
    }
  }
  for (std::size_t line : section.otherLines) {
    findings->push_back({line, false, Format(kNotAKeyTemplate, std::to_string(line).c_str())});
  }
  for (std::size_t line : section.laterHeaders) {
    findings->push_back(
        {line, false, Format(kRepeatedSectionTemplate, std::to_string(line).c_str())});
  }
}

const platform::IniEntry* Find(const platform::IniSection& section, const std::string& key) {
  for (const platform::IniEntry& entry : section.entries) {
    if (platform::SameIniName(entry.key, key)) return &entry;
  }
  return nullptr;
}

// Checks one server's address; false after adding its finding.
bool CheckIP(const platform::IniSection& section, const std::string& key,
             ConfigFindings* findings) {
  const platform::IniEntry* entry = Find(section, key);
  if (entry == nullptr || entry->value.empty()) {
    findings->push_back({section.line, true, kNoIPMessage, true});
    return false;
  }
  const char* problem = entry->value.size() > kIPChars   ? kLongIPTemplate
                        : !IsServerAddress(entry->value) ? kBadIPTemplate
                                                         : nullptr;
  if (problem != nullptr) findings->push_back({entry->line, true, Format(problem, key.c_str())});
  return problem == nullptr;
}

bool CheckPort(const platform::IniSection& section, const std::string& key,
               ConfigFindings* findings) {
  const platform::IniEntry* entry = Find(section, key);
  if (entry == nullptr || entry->value.empty()) {
    findings->push_back({section.line, true, kNoPortMessage, true});
    return false;
  }
  if (IsServerPort(entry->value)) return true;
  findings->push_back({entry->line, true, Format(kBadPortTemplate, key.c_str())});
  return false;
}

// AddressFamily: absent means any; otherwise one of the three words, in
// any letter case. False after adding its finding.
bool ReadFamily(const platform::IniSection& section, platform::AddressFamily* family,
                ConfigFindings* findings) {
  const platform::IniEntry* entry = Find(section, kFamilyKey);
  *family = platform::AddressFamily::kAny;
  if (entry == nullptr) return true;
  const struct {
    const char* word;
    platform::AddressFamily family;
  } kWords[] = {{"any", platform::AddressFamily::kAny},
                {"ipv4", platform::AddressFamily::kIpv4},
                {"ipv6", platform::AddressFamily::kIpv6}};
  for (const auto& word : kWords) {
    if (platform::SameIniName(entry->value, word.word)) {
      *family = word.family;
      return true;
    }
  }
  findings->push_back({entry->line, true, kBadFamilyMessage});
  return false;
}

// KeepAlive: absent or 0 keeps no connection; otherwise the idle seconds,
// 1 to 300, in decimal digits. False after adding its finding.
bool ReadKeepAlive(const platform::IniSection& section, int* seconds, ConfigFindings* findings) {
  const platform::IniEntry* entry = Find(section, kKeepAliveKey);
  *seconds = 0;
  if (entry == nullptr) return true;
  const std::string& value = entry->value;
  int parsed = 0;
  bool valid = !value.empty() && value.size() <= kMaxKeepAliveChars;
  for (std::size_t i = 0; valid && i < value.size(); ++i) {
    valid = value[i] >= '0' && value[i] <= '9';
    parsed = valid ? parsed * 10 + (value[i] - '0') : parsed;
    valid = valid && parsed <= kMaxKeepAliveSeconds;
  }
  if (!valid) {
    findings->push_back({entry->line, true, kBadKeepAliveMessage});
    return false;
  }
  *seconds = parsed;
  return true;
}

// An address of the family the file excludes could never be dialed.
bool CheckFamily(const platform::IniSection& section, const std::string& key,
                 platform::AddressFamily family, ConfigFindings* findings) {
  const platform::IniEntry* entry = Find(section, key);
  const AddressForm form = ServerAddressForm(entry->value);
  const bool excluded = (form == AddressForm::kIpv6 && family == platform::AddressFamily::kIpv4) ||
                        (form == AddressForm::kIpv4 && family == platform::AddressFamily::kIpv6);
  if (excluded)
    findings->push_back({entry->line, true, Format(kFamilyMismatchTemplate, key.c_str())});
  return !excluded;
}

template <std::size_t N>
void Store(char (&slot)[N], const std::string& value) {
  std::memset(slot, 0, N);
  std::memcpy(slot, value.data(), std::min(value.size(), N - 1));
}

}  // namespace

void ReadServerSet(const platform::IniSection& section, ServerSetReading* out,
                   ConfigFindings* findings) {
  WarnOfUnread(section, findings);
  const platform::IniEntry* number = Find(section, kNumberKey);
  if (number == nullptr || number->value.empty()) {
    findings->push_back({section.line, true, kNoNumberMessage, true});
    return;
  }
  out->number = number->value;
  // As the original reader saw it: the first four characters, converted
  // with a sign and trailing text allowed.
  out->count = std::min(std::atoi(number->value.substr(0, kNumberReadChars).c_str()), kMaxServers);
  if (out->count <= 0) {
    findings->push_back({number->line, false, kNoServerMessage});
    return;
  }
  bool filling = ReadFamily(section, &out->family, findings);
  filling = ReadKeepAlive(section, &out->keepAlive, findings) && filling;
  for (int i = 0; i < out->count; ++i) {
    const std::string ipKey = IndexedKey("ServerIP", i);
    const std::string portKey = IndexedKey("ServerPort", i);
    filling = CheckIP(section, ipKey, findings) &&
              CheckFamily(section, ipKey, out->family, findings) && filling;
    if (filling) Store(out->servers[i].ip, Find(section, ipKey)->value);
    filling = CheckPort(section, portKey, findings) && filling;
    if (filling) Store(out->servers[i].port, Find(section, portKey)->value);
  }
}

}  // namespace zcv
