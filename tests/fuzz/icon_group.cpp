// The icon group resource on any bytes, and the icon file directory laid out from
// it the way the staging step writes it.
#include <cstdint>
#include <limits>
#include <span>

#include "fuzz_support.h"
#include "staging/icon_layout.h"

using namespace kelvra::staging;

namespace {

std::uint32_t readLittleEndian(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
  return value;
}

void checkEntry(const IconGroupEntry& entry, std::span<const std::uint8_t> bytes) {
  FUZZ_CHECK(entry.width == bytes[0] && entry.height == bytes[1] && entry.colourCount == bytes[2] &&
             entry.reserved == bytes[3]);
  FUZZ_CHECK(entry.planes == readLittleEndian(bytes.subspan(4, 2)));
  FUZZ_CHECK(entry.bitCount == readLittleEndian(bytes.subspan(6, 2)));
  FUZZ_CHECK(entry.bytesInResource == readLittleEndian(bytes.subspan(8, 4)));
  FUZZ_CHECK(entry.iconId == readLittleEndian(bytes.subspan(12, 2)));
}

void checkDirectory(const IconGroup& group, std::span<const std::uint8_t> bytes) {
  std::uint64_t offset = firstIconImageOffset(group.count);
  for (std::size_t i = 0; i < group.entries.size(); ++i) {
    const IconGroupEntry& entry = group.entries[i];
    checkEntry(entry, bytes.subspan(kIconGroupHeaderSize + kIconGroupEntrySize * i, kIconGroupEntrySize));
    FUZZ_CHECK(offset <= std::numeric_limits<std::uint32_t>::max());
    const auto directoryEntry = makeIconDirectoryEntry(entry, static_cast<std::uint32_t>(offset));
    // The directory entry is the group entry with the id replaced by the offset.
    for (std::size_t k = 0; k < 12; ++k) {
      FUZZ_CHECK(directoryEntry[k] == bytes[kIconGroupHeaderSize + kIconGroupEntrySize * i + k]);
    }
    FUZZ_CHECK(readLittleEndian(std::span<const std::uint8_t>(directoryEntry).subspan(12, 4)) == offset);
    offset += entry.bytesInResource;
  }
  FUZZ_CHECK(offset <= std::numeric_limits<std::uint32_t>::max());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ExactBytes exact(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::span<const std::uint8_t> bytes(exact.bytes(), exact.size());
  const IconGroup group = readIconGroup(bytes);

  if (size < kIconGroupHeaderSize) {
    FUZZ_CHECK(group.problem == IconGroupProblem::tooShort && group.count == 0 && group.entries.empty());
    return 0;
  }
  FUZZ_CHECK(group.count == readLittleEndian(bytes.subspan(4, 2)));
  const bool complete = size >= kIconGroupHeaderSize + kIconGroupEntrySize * group.count;
  FUZZ_CHECK((group.problem == IconGroupProblem::tooShort) == !complete);
  if (group.problem != IconGroupProblem::none) {
    FUZZ_CHECK(group.entries.empty());
    if (group.problem == IconGroupProblem::tooLarge) {
      std::uint64_t end = firstIconImageOffset(group.count);
      for (std::size_t i = 0; i < group.count; ++i) {
        end += readLittleEndian(bytes.subspan(kIconGroupHeaderSize + kIconGroupEntrySize * i + 8, 4));
      }
      FUZZ_CHECK(end > std::numeric_limits<std::uint32_t>::max());
    }
    return 0;
  }
  FUZZ_CHECK(group.entries.size() == group.count);
  checkDirectory(group, bytes);
  return 0;
}
