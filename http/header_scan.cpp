// Header lines are "name: value"; a line starting with a blank continues the
// previous header and replaces its value, a repeated name keeps its last
// value.
#include "http/header_scan.h"

namespace zcv {
namespace {

enum class ScanState { kName, kBlank, kValue, kLineEnd };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

const char* HttpScanHeaderLines(HttpHeaderList* headers, const char* bytes, int length) {
  ScanState state = ScanState::kName;
  const char* lineName = nullptr;  // the current line's name, while it is read
  int lineNameLength = 0;
  const char* name = nullptr;  // the most recent line's own name
  int nameLength = 0;
  const char* value = nullptr;
  int valueLength = 0;
  bool stored = false;
  int i = 0;
  while (i < length) {
    const char c = bytes[i];
    switch (state) {
      case ScanState::kName:
        if (lineNameLength == 0 && IsBlank(c)) {
          if (!stored) return "The first http response header began with whitespace";
          state = ScanState::kBlank;
        } else if (c == ':') {
          if (lineNameLength == 0) return "An http response header was zero length";
          name = lineName;
          nameLength = lineNameLength;
          state = ScanState::kBlank;
        } else if (c == '\r') {
          return "Failed to find seperator in http response headers";
        } else {
          if (lineNameLength == 0) lineName = bytes + i;
          ++lineNameLength;
        }
        ++i;
        break;
      case ScanState::kBlank:
        if (IsBlank(c)) {
          ++i;
        } else {
          value = bytes + i;
          valueLength = 0;
          state = ScanState::kValue;
        }
        break;
      case ScanState::kValue:
        if (c == '\r' || c == '\n') {
          HttpHeaderSetCounted(headers, name, nameLength, value, valueLength);
          stored = true;
          state = ScanState::kLineEnd;
        } else {
          ++valueLength;
        }
        ++i;
        break;
      case ScanState::kLineEnd:
        if (c == '\r' || c == '\n') {
          ++i;
        } else {
          state = ScanState::kName;
          lineNameLength = 0;
        }
        break;
    }
  }
  return nullptr;
}

}  // namespace zcv
