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

// The next place of one byte at or after a position, asked for positions
// that never go back. A place found is kept until the scan passes it: each
// byte value is looked for across the block once at most, so the scan is
// linear however far apart its stop bytes are, and a line costs one or two
// memchr calls rather than one per run end and stop byte.
class NextPlace {
 public:
  NextPlace(const char* bytes, int length, char byte)
      : bytes_(bytes), length_(length), byte_(byte) {}

  // The place, or the block's length when the byte does not come again.
  int From(int from) {
    if (at_ < from) {
      const void* found =
          std::memchr(bytes_ + from, byte_, static_cast<std::size_t>(length_ - from));
      at_ = found != nullptr ? static_cast<int>(static_cast<const char*>(found) - bytes_) : length_;
    }
    return at_;
  }

 private:
  const char* bytes_;
  int length_;
  char byte_;
  int at_ = -1;
};

}  // namespace

// A name or a value is taken as one run rather than byte by byte.
const char* HttpScanHeaderLines(HttpHeaderList* headers, const char* bytes, int length) {
  ScanState state = ScanState::kName;
  const char* name = nullptr;  // the most recent line's own name
  int nameLength = 0;
  bool stored = false;
  NextPlace colon(bytes, length, ':');
  NextPlace cr(bytes, length, '\r');
  NextPlace lf(bytes, length, '\n');
  NextPlace zero(bytes, length, '\0');
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
        const int end = std::min(colon.From(i), cr.From(i));
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
        const int end = std::min(cr.From(i), lf.From(i));
        if (end == length) return nullptr;
        // Runs with no zero byte in them, as nearly all are, are stored
        // without each being searched for one again.
        if (zero.From(static_cast<int>(name - bytes)) >= end) {
          HttpHeaderSetRuns(headers, name, nameLength, bytes + i, end - i);
        } else {
          HttpHeaderSetCounted(headers, name, nameLength, bytes + i, end - i);
        }
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
