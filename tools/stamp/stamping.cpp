#include "stamping.h"

#include <cstdint>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "token/base64.h"
#include "token/token_payload.h"
#include "token/token_trailer.h"

namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderOffsetField = 0x3C;

std::uint32_t readLittleEndian32(std::string_view bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  return value;
}

std::string_view withoutTrailer(std::string_view executable) {
  return endsInTokenTrailer(executable) ? executable.substr(0, executable.size() - kTrailerSize) : executable;
}

StampedExecutable refuse(std::string message) { return {{true, std::move(message)}, {}, false}; }

}  // namespace

bool looksLikePe(std::string_view bytes) {
  if (bytes.size() < kDosHeaderSize || bytes.substr(0, 2) != "MZ") return false;
  const std::uint64_t peOffset = readLittleEndian32(bytes, kNewHeaderOffsetField);
  if (peOffset + 4 > bytes.size()) return false;
  return bytes.substr(static_cast<std::size_t>(peOffset), 4) == std::string_view("PE\0\0", 4);
}

StampedExecutable stampExecutable(std::string_view executable, std::string_view token) {
  if (token.empty()) return refuse("the token is empty; the bootstrapper would read it as no token");
  const std::optional<std::string> trailer = buildTokenTrailer(token);
  if (!trailer) {
    return refuse(fmt::format("the token is {} bytes; the bootstrapper reads at most {}", token.size(), kTokenSpace));
  }
  const std::string_view image = withoutTrailer(executable);
  if (!looksLikePe(image)) return refuse("the input is not a PE file (no MZ header leading to a PE signature)");
  std::string stamped;
  stamped.reserve(image.size() + trailer->size());
  stamped.append(image);
  stamped.append(*trailer);
  return {{}, std::move(stamped), image.size() != executable.size()};
}

StampedExecutable stripExecutable(std::string_view executable) {
  const std::string_view image = withoutTrailer(executable);
  if (!looksLikePe(image)) return refuse("the input is not a PE file (no MZ header leading to a PE signature)");
  return {{}, std::string(image), image.size() != executable.size()};
}

CampaignToken tokenFromCampaign(const std::string& campaignJson) {
  nlohmann::ordered_json campaign;
  try {
    campaign = nlohmann::ordered_json::parse(campaignJson);
    return {{}, encodeBase64(campaign.dump())};
  } catch (const nlohmann::json::exception& error) {
    return {{true, fmt::format("the campaign is not JSON: {}", error.what())}, {}};
  }
}

std::string payloadProblem(std::string_view token) {
  std::string decoded;
  const std::string base64Error = decodeBase64(token, decoded);
  if (!base64Error.empty()) return base64Error;
  const CompactPayload payload = compactPayload(decoded);
  return payload.failure == PayloadFailure::none ? std::string() : payload.text;
}

TokenReport describeToken(std::string_view executable) {
  const std::string_view region =
      executable.size() >= kTrailerSize ? executable.substr(executable.size() - kTrailerSize) : std::string_view();
  if (region.empty()) return {false, "no token: the file is shorter than the token trailer"};
  const TrailerReading reading = parseTokenTrailer(region);
  if (reading.result != 0) return {false, "no token: " + reading.lines.back().text};

  std::string text = fmt::format("token ({} bytes): {}\n", reading.token.size(), reading.token);
  std::string decoded;
  const std::string base64Error = decodeBase64(reading.token, decoded);
  const CompactPayload payload = compactPayload(decoded);
  if (!base64Error.empty()) {
    text += "decoded: none (" + base64Error + ")";
  } else if (payload.failure != PayloadFailure::none) {
    text += "decoded: none (" + payload.text + ")";
  } else {
    text += "decoded: " + payload.text;
  }
  return {true, std::move(text)};
}
