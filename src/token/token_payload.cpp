#include "token/token_payload.h"

#include <nlohmann/json.hpp>

CompactPayload compactPayload(const std::string& decoded) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(decoded);
  } catch (const nlohmann::json::exception& error) {
    // Not only parse_error: a number too large for a double is out_of_range here,
    // and nothing may escape the step.
    return {PayloadFailure::parse, error.what()};
  }
  try {
    return {PayloadFailure::none, document.dump()};
  } catch (const nlohmann::json::exception& error) {
    return {PayloadFailure::serialise, error.what()};
  }
}
