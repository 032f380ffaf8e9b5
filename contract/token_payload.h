// The decoded token as the front end receives it: one JSON document written back
// compactly. Platform-free; the JSON library stays inside the .cpp file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contract/token_trailer.h"

namespace kelvra::contract {

enum class PayloadFailure { none, parse, serialise };

struct CompactPayload {
  PayloadFailure failure = PayloadFailure::none;
  // The compact document when failure is none, otherwise the JSON library's message.
  std::string text;
};

// Parses decoded as one JSON document (strict: only white space may follow it; a
// zero byte ends the input) and serialises it without white space, object members
// in byte order of their keys, non-ASCII characters left as UTF-8.
[[nodiscard]] CompactPayload compactPayload(const std::string& decoded);

// The JSON library's message with the input that it quotes taken out: a lexer's
// complaint and what it last read ("invalid literal; last read: '...'"), a
// number's text, a byte's value become "[redacted]"; a message that names only
// what the parser expected stays whole.
[[nodiscard]] std::string redactParserMessage(std::string_view message);

// The token's decoding as the bootstrapper runs it: base64, then compactPayload.
struct TokenDecoding {
  bool failed = true;
  // payload.campaign's text when the decoding succeeded.
  std::string decoded;
  // What it logs, in order; the value of login_parameters appears in none of them
  // (the logs are readable by every user of the machine).
  std::vector<LogEntry> lines;
};
[[nodiscard]] TokenDecoding decodeTokenText(std::string_view token);

}  // namespace kelvra::contract
