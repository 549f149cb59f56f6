// Sizes that bound every exchange of the HTTP client.
#pragma once

namespace zcv {

// The I/O unit: the initial buffer size and the largest single receive.
constexpr int kIoUnit = 1024;
// A response head (status line, header lines and the blank line) above this
// is refused.
constexpr int kMaxHeadBytes = 64 * 1024;
// A response body above this, announced or received, is refused.
constexpr int kMaxBodyBytes = 1024 * 1024;

}  // namespace zcv
