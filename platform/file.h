// Whole-file access for the log and the configuration file: append one
// entry, read a file whole, and replace a file's contents atomically.
#pragma once

#include <cstddef>
#include <string>

namespace zcv::platform {

// Opens the file for appending (created when missing), writes the bytes and
// closes it again. Only a regular file is written to: a symbolic link (or,
// on Windows, any reparse point) in the file's place is not followed, and a
// FIFO, device or folder is left alone. False when the file cannot be opened
// or written, or is not a regular file. On Windows the file is a text file:
// each line feed is written as CR LF.
bool AppendToFile(const std::string& path, const char* data, std::size_t size);

// The most any configuration or trust file may hold.
constexpr std::size_t kMaxReadFileBytes = 1024 * 1024;

enum class ReadFault {
  kNone,
  kCannotOpen,  // missing, no permission, or a path with a NUL
  kNotRegular,  // a FIFO, device, socket or folder: never read
  kTooLarge,    // more than the bound, whatever its size said at open
  kCannotRead,
};

// Reads a regular file of at most `maxBytes` bytes whole into *out. Opening
// never waits (a FIFO's writer, a device), the file's kind is checked on the
// open descriptor, and no more than maxBytes + 1 bytes are ever read, so a
// file that grows while it is read is refused too. *out is unspecified on a
// fault. A symbolic link to a regular file is followed.
ReadFault ReadBoundedFile(const std::string& path, std::size_t maxBytes, std::string* out);

// ReadBoundedFile with kMaxReadFileBytes: true when the file was read.
bool ReadWholeFile(const std::string& path, std::string* out);

// Whether the path names a file without reference to a working directory:
// "/..." on POSIX; "X:\..." or "\\server\..." on Windows.
bool IsAbsolutePath(const std::string& path);

// Replaces the contents of an existing regular file: writes a temporary file
// in the same directory with the original's mode, flushes it to disk and
// renames it over the original (following a symbolic link to its target).
// Never creates the file; on any failure the original is left as it was.
// The temporary file's name carries the writer's process id: temporary
// files of the same original whose writers no longer run (killed during a
// replacement) are removed first; those of running processes never are.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

}  // namespace zcv::platform
