#include "base/login_parameters.h"

#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/base64.h"

namespace kelvra::base {

namespace {

constexpr std::string_view kLoginParametersKey = "login_parameters";
// Deeper documents are not redacted (the walk is bounded): they read "[redacted]".
constexpr std::size_t kMaxDepth = 64;

// True when the document nests too deep to be redacted.
bool redactMembers(nlohmann::json& document) {
  std::vector<std::pair<nlohmann::json*, std::size_t>> pending{{&document, 0}};
  while (!pending.empty()) {
    const auto [value, depth] = pending.back();
    pending.pop_back();
    if (!value->is_structured()) continue;
    if (depth >= kMaxDepth) return true;
    for (auto member = value->begin(); member != value->end(); ++member) {
      if (value->is_object() && member.key() == kLoginParametersKey) {
        *member = kRedacted;
      } else {
        pending.emplace_back(&*member, depth + 1);
      }
    }
  }
  return false;
}

std::optional<std::string> redactedDocument(std::string_view json) {
  CompactJson compact = compactJson(json, true);
  if (compact.failure != JsonFailure::none) return std::nullopt;
  return std::move(compact.text);
}

}  // namespace

CompactJson compactJson(std::string_view json, bool redactLoginParameters) {
  nlohmann::json document;
  try {
    // As a range of bytes, embedded zeros included: a zero byte ends the document.
    document = nlohmann::json::parse(json.data(), json.data() + json.size());
  } catch (const nlohmann::json::exception& error) {
    // Not only parse_error: a number too large for a double is out_of_range here.
    return {JsonFailure::parse, error.what()};
  }
  if (redactLoginParameters && redactMembers(document)) return {JsonFailure::parse, "nested too deep"};
  try {
    return {JsonFailure::none, document.dump()};
  } catch (const nlohmann::json::exception& error) {
    return {JsonFailure::serialise, error.what()};
  }
}

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
