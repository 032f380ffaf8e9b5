#include "contract/token_payload.h"

#include "base/base64.h"
#include "base/login_parameters.h"

namespace kelvra::contract {

CompactPayload compactPayload(const std::string& decoded) {
  // The parser and writer that the logs' redaction uses too (base/login_parameters.cpp).
  base::CompactJson compact = base::compactJson(decoded, false);
  switch (compact.failure) {
    case base::JsonFailure::parse: return {PayloadFailure::parse, std::move(compact.text)};
    case base::JsonFailure::serialise: return {PayloadFailure::serialise, std::move(compact.text)};
    case base::JsonFailure::none: break;
  }
  return {PayloadFailure::none, std::move(compact.text)};
}

std::string redactParserMessage(std::string_view message) {
  constexpr std::string_view lastRead = "; last read: ";
  std::size_t cut = std::string_view::npos;
  if (const std::size_t at = message.find(lastRead); at != std::string_view::npos) {
    // The complaint before it may name a character of the input too.
    const std::size_t complaint = message.rfind(" - ", at);
    cut = complaint == std::string_view::npos ? at + lastRead.size() : complaint + 3;
  } else {
    // A number too large ("... parsing '1e999'"), a byte that is not UTF-8 ("... at index 5: 0xC3").
    struct Quote {
      std::string_view marker;
      std::size_t kept;
    };
    for (const Quote quote : {Quote{"parsing '", 8}, Quote{": 0x", 2}}) {
      if (const std::size_t at = message.find(quote.marker); at != std::string_view::npos) {
        cut = at + quote.kept;
        break;
      }
    }
  }
  if (cut == std::string_view::npos) return std::string(message);
  return std::string(message.substr(0, cut)) + base::kRedacted;
}

TokenDecoding decodeTokenText(std::string_view token) {
  TokenDecoding decoding;
  std::string bytes;
  if (base::decodeBase64(token, bytes)) {
    decoding.lines.push_back(
        {base::LogLevel::error, std::string("Failed to parse base64 token, error [") + base::kBase64LengthError + "]"});
    return decoding;
  }
  decoding.lines.push_back({base::LogLevel::info, "Token: [" + base::redactLoginParameters(bytes) + "]"});
  CompactPayload payload = compactPayload(bytes);
  switch (payload.failure) {
    case PayloadFailure::parse:
      decoding.lines.push_back(
          {base::LogLevel::error, "Failed to parse payload data, error [" + redactParserMessage(payload.text) + "]."});
      return decoding;
    case PayloadFailure::serialise:
      decoding.lines.push_back({base::LogLevel::error, "Failed to get campaign from json, error [" +
                                                           redactParserMessage(payload.text) + "]."});
      return decoding;
    case PayloadFailure::none: break;
  }
  decoding.lines.push_back(
      {base::LogLevel::info, "Decoded token: [" + base::redactLoginParameters(payload.text) + "]"});
  decoding.failed = false;
  decoding.decoded = std::move(payload.text);
  return decoding;
}

}  // namespace kelvra::contract
