// The icon group resource as the resource compiler stores it, and the icon file
// made from it. Bytes in, values out, no Windows headers: it also builds natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvra::staging {

inline constexpr std::size_t kIconGroupHeaderSize = 6;
inline constexpr std::size_t kIconGroupEntrySize = 14;
inline constexpr std::size_t kIconFileHeaderSize = 6;
inline constexpr std::size_t kIconDirectoryEntrySize = 16;

// One image of a group, in its order: the fields copied into the icon file, the
// image's byte count and the id of its icon image resource.
struct IconGroupEntry {
  std::uint8_t width = 0;  // 0 stands for 256
  std::uint8_t height = 0;
  std::uint8_t colourCount = 0;
  std::uint8_t reserved = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t bytesInResource = 0;
  std::uint16_t iconId = 0;
};

enum class IconGroupProblem {
  none,
  // The bytes end before the count or before the last entry the count promises.
  tooShort,
  // The images add up to more than the 32-bit offsets of an icon file can reach.
  tooLarge,
};

struct IconGroup {
  IconGroupProblem problem = IconGroupProblem::none;
  // As the group states it; 0 when the bytes end before it.
  std::uint16_t count = 0;
  // In group order; empty unless problem is none.
  std::vector<IconGroupEntry> entries;
};

// Reads a group resource. Bytes after the last entry are ignored.
[[nodiscard]] IconGroup readIconGroup(std::span<const std::uint8_t> group);

// Where the first image of an icon file with count images starts: right after the
// header and the directory.
[[nodiscard]] constexpr std::uint32_t firstIconImageOffset(std::uint16_t count) {
  return static_cast<std::uint32_t>(kIconFileHeaderSize + kIconDirectoryEntrySize * count);
}

// The two bytes of value, least significant first, as every icon file field.
[[nodiscard]] std::array<std::uint8_t, 2> littleEndianWord(std::uint16_t value);

// The icon file's directory entry for entry, whose image starts at imageOffset.
[[nodiscard]] std::array<std::uint8_t, kIconDirectoryEntrySize> makeIconDirectoryEntry(const IconGroupEntry& entry,
                                                                                       std::uint32_t imageOffset);

}  // namespace kelvra::staging
