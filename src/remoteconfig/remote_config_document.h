// The allowed client version inside remoteconfig.json. Platform-free; the JSON
// library stays inside the .cpp file.
#pragma once

#include <string>

namespace kelvra::remoteconfig {

enum class VersionFailure { none, parse, type };

struct VersionReading {
  VersionFailure failure = VersionFailure::none;
  // The version when failure is none, otherwise the JSON library's message.
  std::string text;
};

// Reads the string at content / windows / version of the JSON document in text,
// which ends at its first zero byte (strict: only white space may follow the
// document). A missing member counts as an empty object on the way down, so the
// lookup fails only at the string conversion; a member that is neither null nor an
// object fails the lookup.
[[nodiscard]] VersionReading readAllowedVersion(const char* text);

}  // namespace kelvra::remoteconfig
