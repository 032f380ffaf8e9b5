// The few PE header fields that stamping touches: the checksum and the data
// directory entry of the certificate table (the Authenticode signature). Works on
// bytes only and checks every offset against them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::stamp {

struct PeImage {
  // Why the bytes are not a PE image that can be stamped; empty when they are.
  std::string problem;
  std::size_t checksumOffset = 0;
  // Offset of the certificate table's data directory entry (file offset, then
  // size); 0 when the optional header has fewer than five entries.
  std::size_t certificateEntryOffset = 0;
  // A file offset, not an address: the table is not mapped.
  std::uint32_t certificateTableOffset = 0;
  std::uint32_t certificateTableSize = 0;

  [[nodiscard]] bool isSigned() const { return certificateTableSize != 0; }
};

// Reads the DOS header's e_lfanew, the PE signature, the file header, the optional
// header's magic (PE32 or PE32+), its checksum and its data directory. A signed
// image's certificate table must lie inside bytes and behind the headers.
[[nodiscard]] PeImage parsePeImage(std::string_view bytes);

// The checksum the optional header should hold for bytes: 16-bit sums folded
// with carry, the checksum field itself counted as zero, plus the file length.
[[nodiscard]] std::uint32_t peChecksum(std::string_view bytes, std::size_t checksumOffset);

// Sets the checksum field to bytes' checksum, unless it holds 0: zero means
// "not computed", and the linker's choice is kept.
void refreshPeChecksum(std::string& bytes, std::size_t checksumOffset);

}  // namespace kelvra::stamp
