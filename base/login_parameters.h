// The personalized token's secret, the value of its "login_parameters" member, as
// logs and problem reports may show the token or the campaign: never. Platform-free;
// the bootstrapper's token lines and the front end's lines and reports all go
// through here.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::base {

inline constexpr char kRedacted[] = "[redacted]";

enum class JsonFailure { none, parse, serialise };

struct CompactJson {
  JsonFailure failure = JsonFailure::none;
  // The compact document when failure is none, otherwise the JSON library's message.
  std::string text;
};

// json parsed as one document (strict: only white space may follow it; a zero byte
// ends the input) and written back without white space, object members in byte
// order of their keys, non-ASCII characters left as UTF-8; with
// redactLoginParameters, as redactLoginParameters below writes it. The token's
// payload.campaign and every redaction go through here, so each program carries
// one JSON parser and writer.
[[nodiscard]] CompactJson compactJson(std::string_view json, bool redactLoginParameters);

// json with the value of every member named "login_parameters" (at any depth,
// however its name is escaped) replaced by the string "[redacted]", written
// compactly with members sorted, as payload.campaign is. Text that is not one JSON
// document (read as the token's parser reads it: a zero byte ends it), or nested
// more than 64 deep, becomes "[redacted]" whole, since any of it could be the
// secret; empty text stays empty.
[[nodiscard]] std::string redactLoginParameters(std::string_view json);

// The same for base64 of such a document (the token, the front end's campaign
// argument): the base64 of the redacted document, "[redacted]" for anything that
// doesn't decode to JSON, and empty text stays empty.
[[nodiscard]] std::string redactEncodedLoginParameters(std::string_view base64);

}  // namespace kelvra::base
