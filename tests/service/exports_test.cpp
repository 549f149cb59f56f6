// The shared library's dynamic symbol table holds exactly the names of the
// exports table, each under its symbol version (the C++ operations and Java
// natives under the first, the C functions under the second), and nothing
// else: no internals, no template code from the standard headers.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "exported_names.h"

namespace {

// "name@@VERSION" for each defined dynamic symbol; the version node's own
// absolute symbol is left out.
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

TEST(ExportsTest, ExactlyTheTableIsExportedUnderItsVersions) {
  std::set<std::string> expected;
  std::size_t operations = 0;
#define ZCV_EXPECT_OPERATION(name, elf, windows) \
  expected.insert(elf "@@" ZCV_SYMBOL_VERSION);  \
  ++operations;
  ZCV_EXPORTED_OPERATIONS(ZCV_EXPECT_OPERATION)
#undef ZCV_EXPECT_OPERATION
#ifdef ZCV_JAVA_BRIDGE
#define ZCV_EXPECT_NATIVE(name, elf, windows) expected.insert(elf "@@" ZCV_SYMBOL_VERSION);
  ZCV_EXPORTED_JAVA_NATIVES(ZCV_EXPECT_NATIVE)
#undef ZCV_EXPECT_NATIVE
#define ZCV_EXPECT_CLIENT_NATIVE(name, elf, windows) expected.insert(elf "@@" ZCV_SYMBOL_VERSION_C);
  ZCV_EXPORTED_JAVA_CLIENT_NATIVES(ZCV_EXPECT_CLIENT_NATIVE)
#undef ZCV_EXPECT_CLIENT_NATIVE
#define ZCV_EXPECT_LATER_CLIENT_NATIVE(name, elf, windows) \
  expected.erase(elf "@@" ZCV_SYMBOL_VERSION_C);           \
  expected.insert(elf "@@" ZCV_SYMBOL_VERSION_C2);
  ZCV_EXPORTED_JAVA_CLIENT_NATIVES_1_2(ZCV_EXPECT_LATER_CLIENT_NATIVE)
#undef ZCV_EXPECT_LATER_CLIENT_NATIVE
#endif
  std::size_t cFunctions = 0;
#define ZCV_EXPECT_C_FUNCTION(name, elf, windows) \
  expected.insert(elf "@@" ZCV_SYMBOL_VERSION_C); \
  ++cFunctions;
  ZCV_EXPORTED_C_FUNCTIONS(ZCV_EXPECT_C_FUNCTION)
#undef ZCV_EXPECT_C_FUNCTION
#define ZCV_EXPECT_LATER_C_FUNCTION(name, elf, windows) \
  expected.erase(elf "@@" ZCV_SYMBOL_VERSION_C);        \
  expected.insert(elf "@@" ZCV_SYMBOL_VERSION_C2);
  ZCV_EXPORTED_C_FUNCTIONS_1_2(ZCV_EXPECT_LATER_C_FUNCTION)
#undef ZCV_EXPECT_LATER_C_FUNCTION
  // A row lost from the table would vanish from the library and this list alike.
  EXPECT_EQ(operations, 28u);
  EXPECT_EQ(cFunctions, 34u);
  EXPECT_EQ(DefinedDynamicSymbols(ZCV_SHARED_LIBRARY), expected);
}

}  // namespace
