// The decoded token as the front end receives it: one JSON document written back
// compactly. Platform-free; the JSON library stays inside the .cpp file.
#pragma once

#include <string>

namespace kelvra::token {

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

}  // namespace kelvra::token
