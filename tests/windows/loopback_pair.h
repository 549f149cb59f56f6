// Two connected loopback TCP sockets: Windows has no socketpair(), and the
// Windows test support needs such pairs for wake-ups and for SocketPair.
#pragma once

namespace zcv::test {

// *first and *second become the two ends; false when the pair cannot be made.
bool MakeLoopbackPair(int* first, int* second);

}  // namespace zcv::test
