#include "stamp/certificate_table.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <fmt/format.h>

#include "base/little_endian.h"
#include "contract/token_trailer.h"

namespace kelvra::stamp {

namespace {

constexpr std::size_t kEntryHeaderSize = 8;
constexpr std::size_t kEntryAlignment = 8;
constexpr std::uint32_t kRevision2 = 0x0200;
constexpr std::uint32_t kTypePkcsSignedData = 0x0002;
constexpr unsigned char kDerSequence = 0x30;

std::size_t roundUp(std::size_t size) { return (size + kEntryAlignment - 1) / kEntryAlignment * kEntryAlignment; }

CertificateTable problem(std::string text) {
  CertificateTable table;
  table.problem = std::move(text);
  return table;
}

// The length of the DER SEQUENCE at the start of bytes (tag, length and content),
// or 0 when there is none that fits. Indefinite lengths are BER, not DER.
std::uint64_t derSequenceSize(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != kDerSequence) return 0;
  const auto first = static_cast<unsigned char>(bytes[1]);
  std::uint64_t headerSize = 2;
  std::uint64_t contentSize = first;
  if (first >= 0x80) {
    const std::size_t lengthBytes = first & 0x7F;
    if (lengthBytes == 0 || lengthBytes > 4 || bytes.size() < 2 + lengthBytes) return 0;
    contentSize = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i) {
      contentSize = (contentSize << 8) | static_cast<unsigned char>(bytes[2 + i]);
    }
    headerSize += lengthBytes;
  }
  return headerSize + contentSize <= bytes.size() ? headerSize + contentSize : 0;
}

}  // namespace

CertificateTable readCertificateTable(std::string_view file, const PeImage& image) {
  const std::size_t tableOffset = image.certificateTableOffset;
  const std::size_t tableEnd = tableOffset + image.certificateTableSize;
  if (!image.isSigned() || tableEnd != file.size()) return problem("the certificate table does not end the file");

  // Entries follow each other at 8-byte steps; the last one is the signature.
  std::size_t entry = tableOffset;
  std::size_t entryLength = 0;
  for (std::size_t next = tableOffset; next < tableEnd; next += roundUp(entryLength)) {
    entry = next;
    if (tableEnd - entry < kEntryHeaderSize) {
      return problem(
          fmt::format("the certificate table is corrupt: {} stray bytes at offset {}", tableEnd - entry, entry));
    }
    entryLength = base::readLittleEndian32(file, entry);
    if (entryLength < kEntryHeaderSize || entryLength > tableEnd - entry) {
      return problem(fmt::format("the certificate table is corrupt: the entry at offset {} claims {} bytes of {}",
                                 entry, entryLength, tableEnd - entry));
    }
  }

  const std::uint32_t revision = base::readLittleEndian16(file, entry + 4);
  const std::uint32_t type = base::readLittleEndian16(file, entry + 6);
  if (revision != kRevision2 || type != kTypePkcsSignedData) {
    return problem(fmt::format(
        "the last certificate entry (offset {}) is not an Authenticode signature (revision 0x{:04X}, type 0x{:04X})",
        entry, revision, type));
  }
  const std::uint64_t signature =
      derSequenceSize(file.substr(entry + kEntryHeaderSize, entryLength - kEntryHeaderSize));
  if (signature == 0) {
    return problem(fmt::format("the certificate entry at offset {} holds no DER-encoded signature", entry));
  }

  CertificateTable table;
  table.lastEntryOffset = entry;
  table.signedSize = roundUp(kEntryHeaderSize + static_cast<std::size_t>(signature));
  table.presentSize = std::min(table.signedSize, tableEnd - entry);
  const std::string_view behind = file.substr(entry + table.presentSize);
  table.carriesTrailer = behind.size() == contract::kTrailerSize && contract::endsInTokenTrailer(behind);
  if (!behind.empty() && !table.carriesTrailer) {
    return problem(
        fmt::format("the certificate table holds {} bytes behind the signature that are not a token "
                    "trailer; they are left alone",
                    behind.size()));
  }
  return table;
}

RebuiltFile withSignatureTail(std::string_view file, const PeImage& image, const CertificateTable& table,
                              std::string_view tail) {
  const std::uint64_t entryLength = std::uint64_t{table.signedSize} + tail.size();
  const std::uint64_t tableSize = table.lastEntryOffset - image.certificateTableOffset + entryLength;
  if (tableSize > std::numeric_limits<std::uint32_t>::max()) {
    return {fmt::format("the certificate table would grow to {} bytes, beyond what its size field holds", tableSize),
            {}};
  }
  std::string bytes;
  bytes.reserve(table.lastEntryOffset + entryLength);
  bytes.append(file.substr(0, table.lastEntryOffset + table.presentSize));
  bytes.append(table.signedSize - table.presentSize, '\0');
  bytes.append(tail);
  base::writeLittleEndian32(bytes, table.lastEntryOffset, static_cast<std::uint32_t>(entryLength));
  base::writeLittleEndian32(bytes, image.certificateEntryOffset + 4, static_cast<std::uint32_t>(tableSize));
  refreshPeChecksum(bytes, image.checksumOffset);
  return {{}, std::move(bytes)};
}

}  // namespace kelvra::stamp
