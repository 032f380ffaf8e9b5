// The Mark of the Web: the Zone.Identifier stream that browsers and mail programs
// attach to what they save. Platform-free, so the parser builds natively and is fuzzed.
#pragma once

#include <optional>
#include <string_view>

namespace kelvra::token {

// The stream holds at most a few URLs; anything longer is not read past this.
inline constexpr std::size_t kMaxZoneStreamBytes = 4096;

// The ZoneId of the stream's [ZoneTransfer] section (section and key names without
// regard to case, blanks around them allowed, CR LF or LF line ends); nothing when the
// section or a whole decimal ZoneId in it is missing.
[[nodiscard]] std::optional<unsigned> zoneIdOf(std::string_view streamText);

// Zones 3 (Internet) and 4 (Restricted sites) mean the file came from outside the
// machine and its intranet; so does any higher, custom zone.
[[nodiscard]] constexpr bool isDownloadZone(unsigned zoneId) { return zoneId >= 3; }

}  // namespace kelvra::token
