// A host of the installed library: authenticates a card and prints the
// result code. With --check it only proves that the library loads and
// answers with one of its own codes, through a call whose null output buffer
// keeps anything from being sent (1011, or 1012 without a server list).
#include <zephyrcoilvault.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kUsageExit = 64;

int Check() {
  ResultCode code = TokenAuth(1, 1, nullptr);  // a null output buffer is refused
  std::printf("zephyrcoilvault %d.%d.%d: %u\n", ZCV_VERSION_MAJOR, ZCV_VERSION_MINOR,
              ZCV_VERSION_PATCH, code);
  return code == zcv::kArgumentRefused || code == zcv::kNoAnswer ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--check") == 0) return Check();
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CARD PASSWORD | --check\n", argv[0]);
    return kUsageExit;
  }
  char expireText[zcv::kExpireTextBytes] = {};
  ResultCode code = TokenAuth(std::atoi(argv[1]), std::atoi(argv[2]), expireText);
  if (code == zcv::kAccepted) {
    std::printf("%u valid until %s\n", code, expireText);
    return EXIT_SUCCESS;
  }
  std::printf("%u refused\n", code);
  return EXIT_FAILURE;
}
