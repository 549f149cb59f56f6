// The shared library's dynamic symbol table holds exactly the exported
// operations, under the names their signatures mangle to, and the Java
// native methods under their JNI names, all in the first version node, and
// nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

constexpr char kVersionNode[] = "ZEPHYRCOILVAULT_1.0";

// Names as nm prints them, "name@@node"; the node's own absolute symbol is
// left out.
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only " + library;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::set<std::string> names;
  if (!pipe) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (!name.empty() && type != "A") names.insert(name);
  }
  return names;
}

TEST(ExportsTest, ExactlyTheOperationsAreExported) {
  std::set<std::string> expected = {
      "_Z9TokenAuthiiPc",
      "_Z10TokenAuth2iiPc",
      "_Z14TokenAuth2NextiiiPc",
      "_Z12TokenBindingiiiiPcS_",
      "_Z13TokenBinding2iiiiPcS_",
      "_Z17TokenBinding2NextiiiiiPcS_",
      "_Z14TokenUnBindingiPciiiS_",
      "_Z15TokenUnBinding2iPciiiS_",
      "_Z19TokenUnBinding2NextiPciiiiS_",
      "_Z16TokenUnBindingExiiiPc",
      "_Z17TokenUnBindingEx2iiiPcS_",
      "_Z11TokenEnablePciS_iS_S_S_S_S_S_S_",
      "_Z15TokenEnableNextPciiS_iS_S_S_S_S_S_S_",
      "_Z12TokenDisableiPcS_iiS_S_",
      "_Z9TokenLossiPciiiS_S_",
      "_Z11TokenUnLossiPciS_",
      "_Z15TokenUnLossNextiPciiS_",
      "_Z18TokenBindInfoQueryiiPiP14pTokenBindInfo",
      "_Z22TokenBindInfoQueryNextiiiPiP14pTokenBindInfo",
      "_Z11TokenStatusiRiPc",
      "_Z11TokenChangeiPcS_i",
      "_Z15TokenChangeNextiPcS_ii",
      "_Z15TokenModifyInfoiiPciS_S_S_S_S_S_",
      "_Z19TokenModifyInfoNextiiiPciS_S_S_S_S_S_",
      "_Z14TokenBindEsaleiiPc",
      "_Z18TokenBindEsaleNextiiiPc",
      "_Z14TokenBindOtheriiPc",
      "_Z18TokenBindOtherNextiiiPc",
  };
#ifdef ZCV_JAVA_BRIDGE
  expected.insert({
      "Java_vantor_mira_Zephyrcoilvault_TokenAuth2",
      "Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next",
      "Java_vantor_mira_Zephyrcoilvault_TokenBindOther",
      "Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext",
  });
#endif
  std::set<std::string> versioned;
  for (const std::string& name : expected) versioned.insert(name + "@@" + kVersionNode);
  EXPECT_EQ(DefinedDynamicSymbols(ZCV_SHARED_LIBRARY), versioned);
}

}  // namespace
