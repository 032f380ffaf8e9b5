// The working folder's parts that its tests drive on their own, with a random
// source of their choosing.
#pragma once

#include <string>

namespace kelvra::run::internal {

// Fills buffer with size random bytes; true on failure.
using RandomSource = bool (*)(unsigned char* buffer, unsigned long size);

// The system's cryptographic generator (advapi32's RtlGenRandom).
[[nodiscard]] bool systemRandom(unsigned char* buffer, unsigned long size);

// Fills buffer with count letters from A-Z and a-z and a terminating zero, each
// letter equally likely: bytes past the last whole multiple of 52 are drawn again.
// Fails (true, logged) when the source fails or gives no usable byte in a bounded
// number of draws; buffer is then unspecified.
[[nodiscard]] bool makeRandomLetters(char* buffer, int count, RandomSource source);

[[nodiscard]] bool makeWorkingFolderPath(std::wstring& path, RandomSource source);
[[nodiscard]] bool createWorkingFolder(std::wstring& path, RandomSource source);

}  // namespace kelvra::run::internal
