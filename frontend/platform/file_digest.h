// Digests of a file through the system's hashing (BCrypt), read in fixed-size
// chunks so that memory does not grow with the file; several digests share one
// read of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kelvra::frontend {

enum class DigestAlgorithm { md5, sha256 };

struct FileDigests {
  bool failed = false;
  // The file itself could not be read, as opposed to the hashing; fileError is then GetLastError's code.
  bool fileFailed = false;
  std::uint32_t fileError = 0;
  std::vector<std::string> digests;  // lower-case hexadecimal, one per algorithm, when not failed
};

// The digests of the file open as file (with read access), one per algorithm in the
// order given, from a single pass over it from its first byte.
[[nodiscard]] FileDigests fileDigests(HANDLE file, std::initializer_list<DigestAlgorithm> algorithms);

}  // namespace kelvra::frontend
