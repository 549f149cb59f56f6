// Header lines are "name: value"; a line starting with a blank continues the
// previous header and replaces its value, a repeated name keeps its last
// value.
#include "http/header_scan.h"

#include <algorithm>
#include <cstring>

namespace zcv {
namespace {

enum class ScanState { kName, kBlank, kValue, kLineEnd };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Runs are searched a window at a time, so that a stop byte that comes late
// or never is not searched for beyond the window the other one ends.
constexpr int kSearchWindow = 64;

// The end of the run from `from` that holds none of the two stop bytes.
// memchr keeps the search out of per-byte code.
int RunEnd(const char* bytes, int from, int length, char stop1, char stop2) {
  while (from < length) {
    const std::size_t window = static_cast<std::size_t>(std::min(kSearchWindow, length - from));
    const char* start = bytes + from;
    const auto* first = static_cast<const char*>(std::memchr(start, stop1, window));
    const std::size_t before = first != nullptr ? static_cast<std::size_t>(first - start) : window;
    const auto* second = static_cast<const char*>(std::memchr(start, stop2, before));
    if (second != nullptr) return static_cast<int>(second - bytes);
    if (first != nullptr) return static_cast<int>(first - bytes);
    from += static_cast<int>(window);
  }
  return length;
}

}  // namespace

// A name or a value is taken as one run rather than byte by byte.
const char* HttpScanHeaderLines(HttpHeaderList* headers, const char* bytes, int length) {
  ScanState state = ScanState::kName;
  const char* name = nullptr;  // the most recent line's own name
  int nameLength = 0;
  bool stored = false;
  int i = 0;
  while (i < length) {
    switch (state) {
      case ScanState::kName: {
        if (IsBlank(bytes[i])) {
          if (!stored) return "The first http response header began with whitespace";
          state = ScanState::kBlank;
          ++i;
          break;
        }
        const int end = RunEnd(bytes, i, length, ':', '\r');
        if (end == length) return nullptr;
        if (bytes[end] == '\r') return "Failed to find seperator in http response headers";
        if (end == i) return "An http response header was zero length";
        name = bytes + i;
        nameLength = end - i;
        state = ScanState::kBlank;
        i = end + 1;
        break;
      }
      case ScanState::kBlank:
        if (IsBlank(bytes[i])) {
          ++i;
        } else {
          state = ScanState::kValue;
        }
        break;
      case ScanState::kValue: {
        const int end = RunEnd(bytes, i, length, '\r', '\n');
        if (end == length) return nullptr;
        HttpHeaderSetCounted(headers, name, nameLength, bytes + i, end - i);
        stored = true;
        state = ScanState::kLineEnd;
        i = end + 1;
        break;
      }
      case ScanState::kLineEnd:
        if (bytes[i] == '\r' || bytes[i] == '\n') {
          ++i;
        } else {
          state = ScanState::kName;
        }
        break;
    }
  }
  return nullptr;
}

}  // namespace zcv
