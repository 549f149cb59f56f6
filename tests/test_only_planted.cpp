// A function that only a test would call, planted among the library's
// objects by the self-check of tools/check-test-only.sh: that check must
// name it. Its helper is reached only through it.
#include <string>

namespace zcv {
namespace {

int Weight(const std::string& text) { return static_cast<int>(text.size()) * 7 + 1; }

}  // namespace

int PlantedForTestsOnly(const std::string& text) { return Weight(text) + Weight(text + "x"); }

}  // namespace zcv
