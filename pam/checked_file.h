// Reading a file the module trusts: the authfile and the configuration may
// only be changed by root, as sshd demands of its host keys.
#pragma once

#include <cstddef>
#include <string>

namespace zcv::pam {

// The largest file read: far beyond any authfile or configuration.
constexpr std::size_t kMaxCheckedFileBytes = 1024 * 1024;

// Reads the whole file at path into *out when it is a regular file (a
// symbolic link is followed), owned by root, not writable by group or
// others, and at most kMaxCheckedFileBytes long. The checks are made on the
// open descriptor the bytes are then read from, so the file cannot be
// swapped in between. Returns an empty text on success, else the reason,
// e.g. "is writable by group or others".
std::string ReadCheckedFile(const char* path, std::string* out);

}  // namespace zcv::pam
