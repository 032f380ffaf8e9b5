#include "stamp/pe_image.h"

#include <algorithm>

#include <fmt/format.h>

#include "base/little_endian.h"

namespace kelvra::stamp {

namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderOffsetField = 0x3C;
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kOptionalHeaderSizeField = 16;
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
// Offsets inside the optional header; PE32+ drops BaseOfData and widens four
// fields, so its directory count and directory sit 16 bytes later.
constexpr std::size_t kChecksumField = 64;
constexpr std::size_t kPe32DirectoryCountField = 92;
constexpr std::size_t kPe32PlusDirectoryCountField = 108;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::uint32_t kCertificateDirectoryIndex = 4;

constexpr char kNotPe[] = "the input is not a PE file (no MZ header leading to a PE signature)";

PeImage problem(std::string text) {
  PeImage image;
  image.problem = std::move(text);
  return image;
}

bool fits(std::uint64_t offset, std::uint64_t size, std::uint64_t limit) { return offset + size <= limit; }

}  // namespace

PeImage parsePeImage(std::string_view bytes) {
  if (bytes.size() < kDosHeaderSize || bytes.substr(0, 2) != "MZ") return problem(kNotPe);
  const std::uint64_t peOffset = base::readLittleEndian32(bytes, kNewHeaderOffsetField);
  if (!fits(peOffset, kSignatureSize, bytes.size()) ||
      bytes.substr(static_cast<std::size_t>(peOffset), kSignatureSize) != std::string_view("PE\0\0", 4)) {
    return problem(kNotPe);
  }
  const std::size_t fileHeader = static_cast<std::size_t>(peOffset) + kSignatureSize;
  if (!fits(fileHeader, kFileHeaderSize, bytes.size())) return problem("the input's PE file header is cut short");
  const std::size_t optionalHeader = fileHeader + kFileHeaderSize;
  const std::size_t optionalSize = base::readLittleEndian16(bytes, fileHeader + kOptionalHeaderSizeField);
  // Every field below must lie inside both the declared optional header and the file.
  const std::size_t limit = std::min(bytes.size(), optionalHeader + optionalSize);
  if (!fits(optionalHeader, 2, limit)) return problem("the input's optional header is cut short");

  const std::uint32_t magic = base::readLittleEndian16(bytes, optionalHeader);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    return problem(fmt::format("the input's optional header is neither PE32 nor PE32+ (magic 0x{:04X})", magic));
  }
  const std::size_t countField =
      optionalHeader + (magic == kPe32Magic ? kPe32DirectoryCountField : kPe32PlusDirectoryCountField);
  if (!fits(countField, 4, limit)) return problem("the input's optional header is cut short");

  PeImage image;
  image.checksumOffset = optionalHeader + kChecksumField;
  const std::uint32_t directoryCount = base::readLittleEndian32(bytes, countField);
  // Without a fifth directory entry there is no place for a signature: unsigned.
  if (directoryCount <= kCertificateDirectoryIndex) return image;
  const std::size_t entry = countField + 4 + kCertificateDirectoryIndex * kDirectoryEntrySize;
  if (!fits(entry, kDirectoryEntrySize, limit)) return problem("the input's data directory is cut short");

  image.certificateEntryOffset = entry;
  image.certificateTableOffset = base::readLittleEndian32(bytes, entry);
  image.certificateTableSize = base::readLittleEndian32(bytes, entry + 4);
  if (!image.isSigned()) return image;
  if (!fits(image.certificateTableOffset, image.certificateTableSize, bytes.size())) {
    return problem(fmt::format("the input's certificate table (offset {}, {} bytes) lies beyond its end ({} bytes)",
                               image.certificateTableOffset, image.certificateTableSize, bytes.size()));
  }
  if (image.certificateTableOffset < optionalHeader + optionalSize) {
    return problem(
        fmt::format("the input's certificate table (offset {}) overlaps its headers", image.certificateTableOffset));
  }
  return image;
}

std::uint32_t peChecksum(std::string_view bytes, std::size_t checksumOffset) {
  // The field itself counts as zero; an odd last byte as if a zero followed it.
  auto byteAt = [&](std::size_t i) -> std::uint32_t {
    if (i >= bytes.size() || (i >= checksumOffset && i < checksumOffset + 4)) return 0;
    return static_cast<unsigned char>(bytes[i]);
  };
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    sum += byteAt(i) | (byteAt(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + static_cast<std::uint32_t>(bytes.size());
}

void refreshPeChecksum(std::string& bytes, std::size_t checksumOffset) {
  if (base::readLittleEndian32(bytes, checksumOffset) == 0) return;
  base::writeLittleEndian32(bytes, checksumOffset, peChecksum(bytes, checksumOffset));
}

}  // namespace kelvra::stamp
