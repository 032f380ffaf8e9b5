#include "base/json_text.h"

namespace kelvra::base {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

std::string jsonStringContent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHexDigits[byte >> 4];
          out += kHexDigits[byte & 15];
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace kelvra::base
