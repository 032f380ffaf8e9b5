#include "staging/icon_layout.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace kelvra::staging {

namespace {

std::uint16_t readWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t readDoubleWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(readWord(bytes, offset)) | static_cast<std::uint32_t>(readWord(bytes, offset + 2))
                                                                   << 16;
}

void putDoubleWord(std::uint8_t* target, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) target[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

IconGroupEntry readEntry(std::span<const std::uint8_t> entry) {
  IconGroupEntry result;
  result.width = entry[0];
  result.height = entry[1];
  result.colourCount = entry[2];
  result.reserved = entry[3];
  result.planes = readWord(entry, 4);
  result.bitCount = readWord(entry, 6);
  result.bytesInResource = readDoubleWord(entry, 8);
  result.iconId = readWord(entry, 12);
  return result;
}

}  // namespace

IconGroup readIconGroup(std::span<const std::uint8_t> group) {
  IconGroup result;
  if (group.size() < kIconGroupHeaderSize) {
    result.problem = IconGroupProblem::tooShort;
    return result;
  }
  result.count = readWord(group, 4);
  if (group.size() < kIconGroupHeaderSize + kIconGroupEntrySize * result.count) {
    result.problem = IconGroupProblem::tooShort;
    return result;
  }
  std::uint64_t end = firstIconImageOffset(result.count);
  std::vector<IconGroupEntry> entries;
  entries.reserve(result.count);
  for (std::size_t i = 0; i < result.count; ++i) {
    entries.push_back(readEntry(group.subspan(kIconGroupHeaderSize + kIconGroupEntrySize * i, kIconGroupEntrySize)));
    end += entries.back().bytesInResource;
  }
  // Offsets are 32-bit: past that they would wrap and point at the wrong images.
  if (end > std::numeric_limits<std::uint32_t>::max()) {
    result.problem = IconGroupProblem::tooLarge;
    return result;
  }
  result.entries = std::move(entries);
  return result;
}

std::array<std::uint8_t, 2> littleEndianWord(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

std::array<std::uint8_t, kIconDirectoryEntrySize> makeIconDirectoryEntry(const IconGroupEntry& entry,
                                                                         std::uint32_t imageOffset) {
  std::array<std::uint8_t, kIconDirectoryEntrySize> result{};
  result[0] = entry.width;
  result[1] = entry.height;
  result[2] = entry.colourCount;
  result[3] = entry.reserved;
  const auto planes = littleEndianWord(entry.planes);
  const auto bitCount = littleEndianWord(entry.bitCount);
  result[4] = planes[0];
  result[5] = planes[1];
  result[6] = bitCount[0];
  result[7] = bitCount[1];
  putDoubleWord(&result[8], entry.bytesInResource);
  putDoubleWord(&result[12], imageOffset);
  return result;
}

}  // namespace kelvra::staging
