// Little-endian fields of PE headers, read from and written into byte strings.
// Callers check the offsets against the string's size first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::base {

[[nodiscard]] inline std::uint32_t readLittleEndian(std::string_view bytes, std::size_t offset, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  }
  return value;
}

[[nodiscard]] inline std::uint32_t readLittleEndian16(std::string_view bytes, std::size_t offset) {
  return readLittleEndian(bytes, offset, 2);
}

[[nodiscard]] inline std::uint32_t readLittleEndian32(std::string_view bytes, std::size_t offset) {
  return readLittleEndian(bytes, offset, 4);
}

inline void writeLittleEndian32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace kelvra::base
