// Fuzz target: the PAM module's option parser over arbitrary arguments (the
// input split at NUL bytes, as many words as libpam might hand over).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pam/options.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

constexpr std::size_t kMaxArgs = 64;

// A path option holds its default or points just after "name=" in one of
// the arguments.
bool FromArgs(const char* value, const char* fallback, const char* name,
              const std::vector<const char*>& args) {
  if (value == fallback) return true;
  const std::size_t length = std::strlen(name);
  for (const char* arg : args) {
    if (value == arg + length + 1 && std::strncmp(arg, name, length) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != '\0') {
      words.back().push_back(static_cast<char>(data[i]));
    } else if (words.size() < kMaxArgs) {
      words.emplace_back();
    }
  }
  std::vector<const char*> args;
  for (const std::string& word : words) args.push_back(word.c_str());

  zcv::pam::Options options;
  const bool usable =
      zcv::pam::ParseOptions(nullptr, static_cast<int>(args.size()), args.data(), &options);
  Check(FromArgs(options.config, zcv::pam::kDefaultConfig, "config", args));
  Check(FromArgs(options.authfile, zcv::pam::kDefaultAuthfile, "authfile", args));
  Check(FromArgs(options.prompt, zcv::pam::kDefaultPrompt, "prompt", args));
  Check(options.groups.size() <= zcv::pam::kMaxGroups);
  if (!usable) return 0;
  // What a usable parse hands the module is within its limits.
  Check(options.config[0] == '/' && options.authfile[0] == '/');
  Check(options.digits >= 1 && options.digits <= zcv::pam::kMaxDigits);
  for (const std::string& group : options.groups) {
    Check(!group.empty() && group.size() <= zcv::pam::kMaxGroupNameBytes);
    Check(group.find_first_of(",!: \t") == std::string::npos);
  }
  return 0;
}
