// From the base64 token to the compact JSON that payload.campaign holds.
// Platform-free apart from the log.
#include "base/logging.h"
#include "base/base64.h"
#include "token/token.h"
#include "token/token_payload.h"

namespace kelvra::token {

bool decodeToken(const std::string& token, std::string& decoded) {
  const base::LoggerHandle logger = base::findFileLogger();
  std::string bytes;
  if (base::decodeBase64(token, bytes)) {
    base::logError(logger, "Failed to parse base64 token, error [{}]", base::kBase64LengthError);
    return true;
  }
  base::logInfo(logger, "Token: [{}]", bytes);
  CompactPayload payload = compactPayload(bytes);
  switch (payload.failure) {
    case PayloadFailure::parse:
      base::logError(logger, "Failed to parse payload data, error [{}].", payload.text);
      return true;
    case PayloadFailure::serialise:
      base::logError(logger, "Failed to get campaign from json, error [{}].", payload.text);
      return true;
    case PayloadFailure::none:
      break;
  }
  base::logInfo(logger, "Decoded token: [{}]", payload.text);
  decoded = std::move(payload.text);
  return false;
}

}  // namespace kelvra::token
