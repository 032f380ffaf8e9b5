// The token's way to payload.campaign (base64, then one JSON document written
// compactly) on any token, the compaction on any decoded text, and the stamping
// tool's campaign token, which must decode to the same document.
#include "contract/token_payload.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "base/base64.h"
#include "fuzz_support.h"
#include "stamp/stamping.h"

using namespace kelvra::base;
using namespace kelvra::stamp;
using namespace kelvra::contract;

namespace {

// What payload.campaign would hold for decoded, checked to be one compact JSON
// document that compacts to itself; nullopt when the bootstrapper would refuse it.
std::optional<std::string> checkedPayload(const std::string& decoded) {
  const CompactPayload payload = compactPayload(decoded);
  if (payload.failure != PayloadFailure::none) {
    FUZZ_CHECK(!payload.text.empty());
    return std::nullopt;
  }
  FUZZ_CHECK(canonicalJson(payload.text) == payload.text);
  const CompactPayload again = compactPayload(payload.text);
  FUZZ_CHECK(again.failure == PayloadFailure::none && again.text == payload.text);
  return payload.text;
}

void checkToken(const std::string& token) {
  std::string decoded;
  if (decodeBase64(token, decoded)) {
    FUZZ_CHECK(!payloadProblem(token).empty());
    return;
  }
  const auto payload = checkedPayload(decoded);
  FUZZ_CHECK(payloadProblem(token).empty() == payload.has_value());
}

void checkCampaign(const std::string& campaignJson) {
  const auto payload = checkedPayload(campaignJson);
  const CampaignToken token = tokenFromCampaign(campaignJson);
  FUZZ_CHECK(token.refusal.refused == !payload.has_value());
  if (!payload) return;
  FUZZ_CHECK(payloadProblem(token.token).empty());
  std::string decoded;
  FUZZ_CHECK(!decodeBase64(token.token, decoded));
  FUZZ_CHECK(checkedPayload(decoded) == payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  checkToken(input);
  checkCampaign(input);
  return 0;
}
