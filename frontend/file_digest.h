// Digests of a file through the system's hashing (BCrypt), read in fixed-size
// chunks so that memory does not grow with the file; several digests share one
// read of it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kelvra::frontend {

enum class DigestAlgorithm { md5, sha256 };

struct FileDigests {
  bool failed = false;
  // The file itself could not be opened or read (missing, held open, blocked by an
  // antivirus), as opposed to the hashing; fileError is then GetLastError's code.
  bool fileFailed = false;
  std::uint32_t fileError = 0;
  std::vector<std::string> digests;  // lower-case hexadecimal, one per algorithm, when not failed
};

// The file's digests, one per algorithm in the order given, from a single pass over it.
[[nodiscard]] FileDigests fileDigests(const std::wstring& path, std::initializer_list<DigestAlgorithm> algorithms);

}  // namespace kelvra::frontend
