// From the base64 token to the compact JSON that payload.campaign holds; the
// decoding and its lines are in token_payload.cpp.
#include "base/logging.h"
#include "contract/token_payload.h"
#include "token/token.h"

namespace kelvra::token {

bool decodeToken(const std::string& token, std::string& decoded) {
  const base::LoggerHandle logger = base::findFileLogger();
  contract::TokenDecoding decoding = contract::decodeTokenText(token);
  for (const contract::LogEntry& line : decoding.lines) base::writeLogLine(logger, line.level, line.text);
  if (!decoding.failed) decoded = std::move(decoding.decoded);
  return decoding.failed;
}

}  // namespace kelvra::token
