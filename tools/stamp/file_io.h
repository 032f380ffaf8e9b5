// Whole-file reads and all-or-nothing writes for kelvra-stamp (POSIX).
#pragma once

#include <optional>
#include <string>

namespace kelvra::stamp {

// The file's bytes; nullopt with error set when it can't be read.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

// Writes bytes to a temporary file beside path and renames it over path, so that
// path holds either its old content or all of bytes, never part. The new file
// gets the permission bits of modeSource (the input executable). Returns an
// empty text on success, else what went wrong.
[[nodiscard]] std::string writeFileAtomically(const std::string& path, const std::string& bytes,
                                              const std::string& modeSource);

// True when both paths name the same existing file.
[[nodiscard]] bool sameFile(const std::string& first, const std::string& second);

}  // namespace kelvra::stamp
