#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

void fuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

std::string FieldReader::next() {
  if (done_) return {};
  const std::size_t end = rest_.find(kFieldSeparator);
  std::string field(rest_.substr(0, end));
  if (end == std::string_view::npos) {
    done_ = true;
    rest_ = {};
  } else {
    rest_.remove_prefix(end + 1);
  }
  return field;
}

std::wstring FieldReader::nextWide() { return utf16FromBytes(next()); }

namespace {

// Length of the well-formed sequence at bytes[i] and its code point; 0 when the
// byte there starts none.
std::size_t wellFormedSequence(std::string_view bytes, std::size_t i, char32_t& codePoint) {
  const auto byte = [&bytes](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i + k) & 0x3F);
  }
  constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

}  // namespace

std::wstring utf16FromBytes(std::string_view bytes) {
  std::wstring out;
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = wellFormedSequence(bytes, i, c);
    if (length == 0) {
      out += static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
    i += length;
  }
  return out;
}

namespace {

std::optional<nlohmann::json> parseStrict(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  nlohmann::json document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (document.is_discarded()) return std::nullopt;
  return document;
}

}  // namespace

std::optional<std::string> canonicalJson(std::string_view text) {
  const auto document = parseStrict(text);
  if (!document) return std::nullopt;
  return document->dump();
}

std::optional<std::string> jsonValueAt(std::string_view document, const std::string& pointer) {
  const auto parsed = parseStrict(document);
  if (!parsed) return std::nullopt;
  const nlohmann::json::json_pointer where(pointer);
  if (!parsed->contains(where)) return std::nullopt;
  return parsed->at(where).dump();
}

std::string jsonString(std::string_view text) { return nlohmann::json(std::string(text)).dump(); }

ExactBytes::ExactBytes(std::string_view bytes)
    : data_(static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()))), size_(bytes.size()) {
  if (data_ == nullptr) std::abort();
  if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

ExactBytes::~ExactBytes() { std::free(data_); }
