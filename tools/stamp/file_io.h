// Whole-file reads and all-or-nothing writes for kelvra-stamp (POSIX).
#pragma once

#include <string>

namespace kelvra::stamp {

struct FileBytes {
  std::string bytes;
  // Empty when the file was read; else what went wrong.
  std::string problem;
};

// The file's bytes, or why they can't be read.
[[nodiscard]] FileBytes readWholeFile(const std::string& path);

// Writes bytes to a temporary file beside path and renames it over path, so that
// path holds either its old content or all of bytes, never part. The new file
// gets the permission bits of modeSource (the input executable). Returns an
// empty text on success, else what went wrong.
[[nodiscard]] std::string writeFileAtomically(const std::string& path, const std::string& bytes,
                                              const std::string& modeSource);

// True when both paths name the same existing file.
[[nodiscard]] bool sameFile(const std::string& first, const std::string& second);

}  // namespace kelvra::stamp
