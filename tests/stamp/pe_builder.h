// Small PE files for the stamping tests: headers that a PE parser accepts, and a
// certificate table shaped like an Authenticode signature (its content is not a
// real signature; the signature's own checks run on the built bootstrapper).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stamp/pe_image.h"

namespace pe_builder {

inline constexpr std::size_t kPeOffset = 0x40;
inline constexpr std::size_t kFileHeader = kPeOffset + 4;
inline constexpr std::size_t kOptionalHeader = kFileHeader + 20;
inline constexpr std::size_t kChecksum = kOptionalHeader + 64;

inline std::uint32_t read32(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  return value;
}

inline void put(std::string& bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::size_t directoryCountField(bool pe32Plus) { return kOptionalHeader + (pe32Plus ? 108 : 92); }
inline std::size_t certificateEntry(bool pe32Plus) { return directoryCountField(pe32Plus) + 4 + 4 * 8; }

// size bytes of 0x90 with a DOS header, "PE\0\0", a file header and an optional
// header of 16 empty directory entries (checksum 0).
inline std::string fakePe(std::size_t size, bool pe32Plus = false) {
  std::string bytes(size, '\x90');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  put(bytes, 0x3C, kPeOffset, 4);
  bytes.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  put(bytes, kFileHeader + 16, optionalSize, 2);
  bytes.replace(kOptionalHeader, optionalSize, std::string(optionalSize, '\0'));
  put(bytes, kOptionalHeader, pe32Plus ? 0x20B : 0x10B, 2);
  put(bytes, directoryCountField(pe32Plus), 16, 4);
  return bytes;
}

struct Signature {
  // Bytes of the DER SEQUENCE, tag and length included (at least 4).
  std::size_t derSize = 1500;
  // Whether the entry and the table are padded to 8 bytes, as signers write them.
  bool padded = true;
  // Whether the checksum field is filled in, as signers do.
  bool checksum = true;
};

// image with a certificate table at its end: one WIN_CERTIFICATE (revision 2.0,
// PKCS#7 signed data) around a DER SEQUENCE with a 2-byte length.
inline std::string fakeSigned(std::string image, bool pe32Plus = false, Signature signature = {}) {
  std::string der(signature.derSize, '\xA5');
  der[0] = '\x30';
  der[1] = '\x82';
  der[2] = static_cast<char>(((signature.derSize - 4) >> 8) & 0xFF);
  der[3] = static_cast<char>((signature.derSize - 4) & 0xFF);
  const std::size_t padding = signature.padded ? (8 - (8 + der.size()) % 8) % 8 : 0;
  std::string entry(8, '\0');
  put(entry, 0, static_cast<std::uint32_t>(8 + der.size() + padding), 4);
  put(entry, 4, 0x0200, 2);
  put(entry, 6, 0x0002, 2);
  entry += der + std::string(padding, '\0');

  image.resize((image.size() + 7) / 8 * 8, '\0');
  put(image, certificateEntry(pe32Plus), static_cast<std::uint32_t>(image.size()), 4);
  put(image, certificateEntry(pe32Plus) + 4, static_cast<std::uint32_t>(entry.size()), 4);
  image += entry;
  if (signature.checksum) put(image, kChecksum, kelvra::stamp::peChecksum(image, kChecksum), 4);
  return image;
}

}  // namespace pe_builder
