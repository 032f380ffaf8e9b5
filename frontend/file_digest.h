// Digests of a file through the system's hashing (BCrypt), read in fixed-size
// chunks so that memory does not grow with the file; several digests share one
// read of it.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

enum class DigestAlgorithm { md5, sha256 };

// Lower-case hexadecimal digests of the file, one per algorithm in the order
// given, from a single pass over it; nothing when it can't be read or hashed.
[[nodiscard]] std::optional<std::vector<std::string>> fileDigests(const std::wstring& path,
                                                                  std::initializer_list<DigestAlgorithm> algorithms);
