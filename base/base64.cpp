#include "base/base64.h"

#include <array>
#include <cstdint>

namespace kelvra::base {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint32_t kNotInAlphabet = 64;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& value : table) value = kNotInAlphabet;
  for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = makeDecodeTable();

std::uint32_t valueOf(char c) {
  if (c == '=') return 0;
  return kDecodeTable[static_cast<unsigned char>(c)];
}

}  // namespace

bool decodeBase64(std::string_view input, std::string& output) {
  const std::size_t length = input.size();
  if (length % 4 != 0) return true;
  if (length == 0) {
    output.clear();
    return false;
  }
  std::size_t outputLength = length / 4 * 3;
  if (input[length - 1] == '=') --outputLength;
  if (input[length - 2] == '=') --outputLength;
  output.resize(outputLength);

  std::size_t written = 0;
  for (std::size_t group = 0; group < length; group += 4) {
    std::uint32_t triple = 0;
    for (std::size_t i = 0; i < 4; ++i) triple = triple * 64 + valueOf(input[group + i]);
    for (int shift = 16; shift >= 0 && written < outputLength; shift -= 8) {
      output[written++] = static_cast<char>((triple >> shift) & 0xFF);
    }
  }
  return false;
}

std::string encodeBase64(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t triple = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      triple = (triple << 8) | (j < count ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      text += j <= count ? kAlphabet[(triple >> (18 - 6 * j)) & 0x3F] : '=';
    }
  }
  return text;
}

}  // namespace kelvra::base
