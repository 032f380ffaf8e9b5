#include "token/token_payload.h"

#include <nlohmann/json.hpp>

namespace kelvra::token {

CompactPayload compactPayload(const std::string& decoded) {
  nlohmann::json document;
  try {
    // As a range of bytes, embedded zeros included, like the string itself: the
    // same parser as the remote configuration's, so the exe carries one copy.
    document = nlohmann::json::parse(decoded.data(), decoded.data() + decoded.size());
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

}  // namespace kelvra::token
