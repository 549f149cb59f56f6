// Runs a fuzz target over the corpus files and folders named on the command
// line, so a build without libFuzzer still replays the corpus. It fails
// (status 1, saying why) when a path is missing, names something other than
// a regular file or a folder of them, cannot be read, or when nothing at all
// was replayed: a corpus that is not there has not been tested.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Fail(const fs::path& path, const char* why) {
  std::fprintf(stderr, "replay: %s: %s\n", path.string().c_str(), why);
  return false;
}

// Only regular files are read: a FIFO or a device would block or never end.
bool Replay(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return Fail(file, "not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) return Fail(file, "cannot be read");
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Fail(file, "cannot be read");
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

// The files of a folder in name order, so that every run replays alike.
bool Collect(const fs::path& path, std::vector<fs::path>* files) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return Fail(path, "does not exist");
  if (!fs::is_directory(status)) {
    files->push_back(path);
    return true;
  }
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  if (error) return Fail(path, "cannot be listed");
  if (entries.empty()) return Fail(path, "is an empty folder");
  std::sort(entries.begin(), entries.end());
  files->insert(files->end(), entries.begin(), entries.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <corpus file or folder>...\n", argv[0]);
    return 1;
  }
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], &files)) return 1;
  }
  for (const fs::path& file : files) {
    if (!Replay(file)) return 1;
  }
  std::printf("replayed %zu inputs\n", files.size());
  return 0;
}
