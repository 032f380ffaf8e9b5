#include "base/login_parameters.h"

#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/base64.h"

namespace kelvra::base {

namespace {

constexpr std::string_view kLoginParametersKey = "login_parameters";
// Deeper documents are not written back (the writer recurses): they read "[redacted]".
constexpr std::size_t kMaxDepth = 64;

// The document parsed as the token's own step parses it (token_payload.cpp: the
// same call, so each program carries one parser), every login_parameters value
// replaced, then written back compactly.
std::optional<std::string> redactedDocument(std::string_view json) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json.data(), json.data() + json.size());
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
  std::vector<std::pair<nlohmann::json*, std::size_t>> pending{{&document, 0}};
  while (!pending.empty()) {
    const auto [value, depth] = pending.back();
    pending.pop_back();
    if (!value->is_structured()) continue;
    if (depth >= kMaxDepth) return std::nullopt;
    for (auto member = value->begin(); member != value->end(); ++member) {
      if (value->is_object() && member.key() == kLoginParametersKey) {
        *member = kRedacted;
      } else {
        pending.emplace_back(&*member, depth + 1);
      }
    }
  }
  try {
    return document.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::string redactLoginParameters(std::string_view json) {
  if (json.empty()) return {};
  return redactedDocument(json).value_or(kRedacted);
}

std::string redactEncodedLoginParameters(std::string_view base64) {
  if (base64.empty()) return {};
  std::string decoded;
  if (decodeBase64(base64, decoded)) return kRedacted;
  const std::optional<std::string> document = redactedDocument(decoded);
  return document ? encodeBase64(*document) : kRedacted;
}

}  // namespace kelvra::base
