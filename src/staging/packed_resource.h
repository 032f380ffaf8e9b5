// A resource stored deflated: a small header that records the inflated
// size, then a zlib stream. Bytes in, bytes out, no Windows headers: it also builds
// natively (tests, fuzzing).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvra::staging {

// "KZ01", then the inflated size (32 bits, least significant byte first), then the
// stream. resources/pack_resource.py writes this layout.
inline constexpr std::array<std::uint8_t, 4> kPackedResourceMagic{'K', 'Z', '0', '1'};
inline constexpr std::size_t kPackedResourceHeaderSize = 8;
// Deflate can't expand a byte of stream to more than 1032 bytes: a recorded size
// past that is damage, and is refused before a file of that size is made.
inline constexpr std::uint64_t kMostInflatedBytesPerStreamByte = 1032;

struct PackedResource {
  // True when the bytes are no packed resource or record a size their stream can't
  // hold; inflatedSize and stream are then empty.
  bool damaged = true;
  std::uint32_t inflatedSize = 0;
  std::span<const std::uint8_t> stream;
};

// Reads the header of a stored resource. Checks nothing of the stream itself.
[[nodiscard]] PackedResource readPackedResource(std::span<const std::uint8_t> stored);

// Inflates packed.stream (a zlib stream) into target, whose size must be
// packed.inflatedSize. Never writes outside target. Fails (true) unless the
// stream is whole (its check sum included), fills target exactly and nothing
// follows it.
[[nodiscard]] bool inflatePackedResource(const PackedResource& packed, std::span<std::uint8_t> target);

}  // namespace kelvra::staging
