// Digests of a file through the system's hashing (BCrypt), read in fixed-size
// chunks so that memory does not grow with the file.
#pragma once

#include <optional>
#include <string>

enum class DigestAlgorithm { md5, sha256 };

// Lower-case hexadecimal digest of the file, or nothing when it can't be read.
[[nodiscard]] std::optional<std::string> fileDigest(const std::wstring& path, DigestAlgorithm algorithm);

// Compares two hexadecimal digests without regard to case.
[[nodiscard]] bool digestsMatch(const std::string& expected, const std::string& actual);
