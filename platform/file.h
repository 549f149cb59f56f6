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

// Reads the whole file into *out. False when it cannot be opened or read;
// *out is then unspecified.
bool ReadWholeFile(const std::string& path, std::string* out);

// Replaces the contents of an existing regular file: writes a temporary file
// in the same directory with the original's mode, flushes it to disk and
// renames it over the original (following a symbolic link to its target).
// Never creates the file; on any failure the original is left as it was.
// The temporary file's name carries the writer's process id: temporary
// files of the same original whose writers no longer run (killed during a
// replacement) are removed first; those of running processes never are.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

}  // namespace zcv::platform
