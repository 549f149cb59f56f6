// The configuration files with a slip in them, and the log lines (GBK for
// [ServerSet], as the log keeps them) that loading each one writes; shared
// by the configuration tests and zcvctl's.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zcv::test {

// Two servers on loopback; <p0> and <p1> stand for their ports.
inline constexpr char kServers[] =
    "[ServerSet]\nServerNumber=2\nServerIP0=127.0.0.1\nServerPort0=<p0>\n"
    "ServerIP1=127.0.0.1\nServerPort1=<p1>\n";
inline constexpr char kBom[] = "\xef\xbb\xbf";

// The [ServerSet] messages, GBK: "读<key>参数配置文件错误，" and why.
inline std::string Refused(const std::string& key, const std::string& why) {
  return "\xb6\xc1" + key +
         "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac" + why + "\n";
}
inline const std::string kLong =
    "\xb3\xa4\xd3\xda"
    "28\xb8\xf6\xd7\xd6\xb7\xfb";         // 长于28个字符
inline const std::string kNotAnAddress =  // 须为点分IPv4地址、IPv6地址或主机名
    "\xd0\xeb\xce\xaa\xb5\xe3\xb7\xd6IPv4\xb5\xd8\xd6\xb7\xa1\xa2IPv6\xb5\xd8\xd6\xb7\xbb\xf2"
    "\xd6\xf7\xbb\xfa\xc3\xfb";
// "读KeepAlive参数配置文件错误，须为0至300的整数秒\n"
inline const std::string kBadKeepAlive =
    "\xb6\xc1"
    "KeepAlive"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb\xce\xaa"
    "0\xd6\xc1"
    "300\xb5\xc4\xd5\xfb\xca\xfd\xc3\xeb\n";
inline const std::string kNotOfTheFamily =  // 地址与AddressFamily不符
    "\xb5\xd8\xd6\xb7\xd3\xeb"
    "AddressFamily\xb2\xbb\xb7\xfb";
// "读AddressFamily参数配置文件错误，须为any、ipv4或ipv6\n"
inline const std::string kBadFamily =
    "\xb6\xc1"
    "AddressFamily"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3"
    "\xa3\xac\xd0\xeb\xce\xaa"
    "any\xa1\xa2ipv4\xbb\xf2ipv6\n";
inline const std::string kNotAPort =  // 须为1至65535的十进制整数
    "\xd0\xeb\xce\xaa"
    "1\xd6\xc1"
    "65535\xb5\xc4\xca\xae\xbd\xf8\xd6\xc6\xd5\xfb\xca\xfd";
// "读ServerNumber参数配置文件错误 \n"
inline const std::string kNoNumber =
    "\xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "警告：ServerNumber参数（只读前4个字符）须为正整数，未配置服务器\n"
inline const std::string kNoServer =
    "\xbe\xaf\xb8\xe6\xa3\xbaServerNumber\xb2\xce\xca\xfd\xa3\xa8\xd6\xbb\xb6\xc1\xc7\xb0"
    "4\xb8\xf6\xd7\xd6\xb7\xfb\xa3\xa9\xd0\xeb\xce\xaa\xd5\xfd\xd5\xfb\xca\xfd\xa3\xac\xce\xb4"
    "\xc5\xe4\xd6\xc3\xb7\xfe\xce\xf1\xc6\xf7\n";
// "警告：配置文件[ServerSet]中的<key>参数" and what is wrong with it.
inline std::string Warned(const std::string& key, const std::string& why) {
  return "\xbe\xaf\xb8\xe6\xa3\xba\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe[ServerSet]\xd6\xd0\xb5\xc4" +
         key + "\xb2\xce\xca\xfd" + why + "\xa3\xac\xd2\xd1\xba\xf6\xc2\xd4\n";
}
inline const std::string kUnknown = "\xce\xb4\xd6\xaa";  // 未知
inline const std::string kRepeatedOnLine7 =
    "\xd6\xd8\xb8\xb4\xa3\xa8\xb5\xda"
    "7\xd0\xd0\xa3\xa9";  // 重复（第7行）

struct FileCase {
  const char* name;
  std::string text;
  bool accepted;  // the first server got the call and accepted it; else 1012, nothing sent
  std::vector<std::string> log;
};

// Test names in the output of a test that runs each case.
inline void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

inline std::vector<FileCase> FileCases() {
  const std::string servers = kServers;
  auto withIP = [&servers](const std::string& ip0, const std::string& ip1) {
    std::string text = servers;
    text.replace(text.find("127.0.0.1"), 9, ip0);
    text.replace(text.rfind("127.0.0.1"), 9, ip1);
    return text;
  };
  auto withNumber = [&servers](const std::string& number) {
    std::string text = servers;
    return text.replace(text.find('2'), 1, number);
  };
  auto withPorts = [&servers](const std::string& port0, const std::string& port1) {
    std::string text = servers;
    text.replace(text.find("<p0>"), 4, port0);
    return text.replace(text.find("<p1>"), 4, port1);
  };
  return {
      {"NoTlsSectionIsPlainHttp", servers, true, {}},
      {"TlsTypoEnable",
       servers + "[TLS]\nEnable=1\n",
       false,
       {"[TLS] Enabled: missing (0 or 1)\n", "[TLS] Enable: unknown key\n"}},
      {"TlsTypoCaFile",
       servers + "[TLS]\nEnabled=0\nCA_File=/etc/ca.pem\n",
       false,
       {"[TLS] CA_File: unknown key\n"}},
      {"TlsKeyTwice",
       servers + "[TLS]\nEnabled=0\nENABLED=1\n",
       false,
       {"[TLS] Enabled: given again on line 9\n"}},
      {"TlsSecondSection",
       servers + "[TLS]\nEnabled=0\n[Other]\nx=1\n[tls]\nEnabled=1\n",
       false,
       {"[TLS] line 11: a second [TLS] section\n"}},
      {"TlsValueTooLong",
       servers + "[TLS]\nEnabled=0\nCAFile=" + std::string(1024, 'c') + "\n",
       false,
       {"[TLS] CAFile: longer than 1023 characters\n"}},
      {"TlsLineWithoutEquals",
       servers + "[TLS]\nEnabled 1\n",
       false,
       {"[TLS] Enabled: missing (0 or 1)\n", "[TLS] line 8: not a key=value line\n"}},
      {"BomBeforeServerSet", kBom + servers, true, {}},
      {"BomBeforeTls",
       kBom + std::string("[TLS]\nEnable=1\n") + servers,
       false,
       {"[TLS] Enabled: missing (0 or 1)\n", "[TLS] Enable: unknown key\n"}},
      {"IPLongerThan28",
       withIP("otp-primary.bank-example.com.cn", "127.0.0.1"),
       false,
       {Refused("ServerIP0", kLong)}},
      {"DigitsAndDotsNotADottedQuad",
       withIP("127.000000000000000000000001", "127.1"),
       false,
       {Refused("ServerIP0", kNotAnAddress), Refused("ServerIP1", kNotAnAddress)}},
      {"LeadingZeroAndEmptyLabel",
       withIP("010.1.2.3", "otp..example"),
       false,
       {Refused("ServerIP0", kNotAnAddress), Refused("ServerIP1", kNotAnAddress)}},
      // IPv6 in its usual text form, within 28 characters; the second
      // server is only loaded.
      {"Ipv6Address", withIP("127.0.0.1", "2001:DB8::10"), true, {}},
      {"Ipv6Loopback", withIP("127.0.0.1", "::1"), true, {}},
      // A zone index, brackets, an IPv4 address written as IPv6 (given as
      // its dotted quad instead), an embedded dotted quad, too many groups.
      {"Ipv6ZoneAndBrackets",
       withIP("fe80::1%eth0", "[2001:db8::10]"),
       false,
       {Refused("ServerIP0", kNotAnAddress), Refused("ServerIP1", kNotAnAddress)}},
      {"Ipv6MappedIpv4",
       withIP("::ffff:1.2.3.4", "::ffff:102:304"),
       false,
       {Refused("ServerIP0", kNotAnAddress), Refused("ServerIP1", kNotAnAddress)}},
      {"Ipv6Malformed",
       withIP("2001:db8::1::2", "1:2:3:4:5:6:7:8:9"),
       false,
       {Refused("ServerIP0", kNotAnAddress), Refused("ServerIP1", kNotAnAddress)}},
      {"Ipv6LongerThan28",
       withIP("2001:0db8:0000:0000:0000:0000:0000:0010", "::1"),
       false,
       {Refused("ServerIP0", kLong)}},
      {"KeepAliveSeconds", servers + "KeepAlive=300\n", true, {}},
      {"KeepAliveOff", servers + "KeepAlive=0\n", true, {}},
      {"KeepAliveOutOfRange", servers + "KeepAlive=301\n", false, {kBadKeepAlive}},
      {"KeepAliveNotDecimal", servers + "KeepAlive=30s\n", false, {kBadKeepAlive}},
      {"AddressFamilyInAnyCase", servers + "AddressFamily=IPv4\n", true, {}},
      {"AddressFamilyUnknown", servers + "AddressFamily=inet6\n", false, {kBadFamily}},
      {"AddressFamilyExcludesTheAddress",
       withIP("127.0.0.1", "::1") + "AddressFamily=ipv6\n",
       false,
       {Refused("ServerIP0", kNotOfTheFamily)}},
      {"PortOutOfRange",
       withPorts("0", "65616"),
       false,
       {Refused("ServerPort0", kNotAPort), Refused("ServerPort1", kNotAPort)}},
      {"PortNotDecimal",
       withPorts("+80", "80 ; web"),
       false,
       {Refused("ServerPort0", kNotAPort), Refused("ServerPort1", kNotAPort)}},
      {"UnknownServerSetKey",
       servers + "ConectTimeout=5\n",
       true,
       {Warned("ConectTimeout", kUnknown)}},
      {"ServerSetKeyTwice",
       servers + "ServerPort0=81\n",
       true,
       {Warned("ServerPort0", kRepeatedOnLine7)}},
      {"NumberEmpty", withNumber(""), false, {kNoNumber}},
      {"NumberZero", withNumber("0"), false, {kNoServer}},
      {"NumberNegative", withNumber("-3"), false, {kNoServer}},
      {"NumberNotANumber", withNumber("two"), false, {kNoServer}},
  };
}

}  // namespace zcv::test
