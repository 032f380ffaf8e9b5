#include "core/text_encoding.h"

namespace kelvra::frontend::core {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool keptByUrlEncoding(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '_':
    case '.':
    case '!':
    case '*':
    case '(':
    case ')': return true;
    default: return false;
  }
}

}  // namespace

std::string urlEncode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (keptByUrlEncoding(byte)) {
      out += c;
    } else if (byte == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 15];
    }
  }
  return out;
}

}  // namespace kelvra::frontend::core
