#include "token/zone_identifier.h"

#include <cctype>

namespace kelvra::token {

namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameWord(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(word[i]))) {
      return false;
    }
  }
  return true;
}

// A whole decimal number that fits ZoneId's range (custom zones reach 1000s).
std::optional<unsigned> zoneNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  unsigned value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<unsigned> zoneIdOf(std::string_view streamText) {
  bool inZoneTransfer = false;
  while (!streamText.empty()) {
    const std::size_t end = streamText.find('\n');
    const std::string_view line = trimmed(streamText.substr(0, end));
    streamText = end == std::string_view::npos ? std::string_view() : streamText.substr(end + 1);
    if (!line.empty() && line.front() == '[') {
      inZoneTransfer = sameWord(line, "[ZoneTransfer]");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inZoneTransfer || equals == std::string_view::npos || !sameWord(trimmed(line.substr(0, equals)), "ZoneId")) {
      continue;
    }
    return zoneNumber(trimmed(line.substr(equals + 1)));
  }
  return std::nullopt;
}

}  // namespace kelvra::token
