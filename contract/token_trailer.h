// Layout of the token trailer that a distribution service appends to the
// bootstrapper's executable. Platform-free: the bootstrapper's reader and the
// stamping tool share it, so both always agree on the bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/logging.h"

namespace kelvra::contract {

// The trailer is the last kTrailerSize bytes of the file: header, 32-bit
// little-endian signed token size N, N token bytes, zero fill.
inline constexpr std::size_t kTrailerSize = 10240;
inline constexpr std::array<unsigned char, 4> kTrailerHeader = {0x5A, 0x41, 0x56, 0xFF};
inline constexpr std::size_t kTokenSizeOffset = 4;
inline constexpr std::size_t kTokenOffset = 8;
// Room for the token behind the two fields.
inline constexpr std::size_t kTokenSpace = kTrailerSize - kTokenOffset;
// The largest size the reader accepts; 10233 to 10236 pass the check but can't be
// read in full.
inline constexpr std::int32_t kMaxTokenSize = static_cast<std::int32_t>(kTrailerSize - 4);

struct LogEntry {
  base::LogLevel level;
  std::string text;
};

struct TrailerReading {
  // False when a token was read; true otherwise (an empty token included).
  bool failed = true;
  // The N token bytes when a token was read; empty otherwise.
  std::string token;
  // What the reader logs, in order: the cause of a failure, or the size and the
  // token as base::redactEncodedLoginParameters shows it.
  std::vector<LogEntry> lines;
};

// Reads the trailer from region, the bytes that follow the position kTrailerSize
// before the end of the file (normally exactly kTrailerSize bytes; fewer show up as
// short reads).
[[nodiscard]] TrailerReading parseTokenTrailer(std::string_view region);

// True when fileBytes ends in a region that starts with the trailer header, which
// is all the reader looks for.
[[nodiscard]] bool endsInTokenTrailer(std::string_view fileBytes);

// The kTrailerSize bytes that carry token; nullopt when token does not fit in
// kTokenSpace.
[[nodiscard]] std::optional<std::string> buildTokenTrailer(std::string_view token);

}  // namespace kelvra::contract
