// What kelvra-stamp does to an executable's bytes: put a token trailer on, take
// it off, tell what it carries. No file access here, so tests drive it directly.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::stamp {

struct Refusal {
  bool refused = false;
  std::string message;
};

struct StampedExecutable {
  Refusal refusal;
  // The new file when not refused.
  std::string bytes;
  // True when the input already carried a trailer that was replaced.
  bool replacedTrailer = false;
  // True when the input is signed and the trailer went into (or came out of) its
  // certificate table, so that the signature still holds.
  bool insideSignature = false;
};

// The executable without any trailer, followed by a fresh trailer for token, so
// that the trailer is always the last kTrailerSize bytes. An unsigned input gets
// it appended; a signed one gets it at the end of its certificate table, which
// must end the file (a trailer appended behind the table is moved inside).
// Refuses an empty token (read as none), one longer than the trailer holds, an
// input that is not a PE file, and a signature that can't carry a trailer.
[[nodiscard]] StampedExecutable stampExecutable(std::string_view executable, std::string_view token);

// The executable without its trailer, signature kept; the same bytes when it
// carries none. Refuses what stampExecutable refuses for the input.
[[nodiscard]] StampedExecutable stripExecutable(std::string_view executable);

struct CampaignToken {
  Refusal refusal;
  std::string token;
};

// The token for a campaign file: the JSON written compactly (member order and
// UTF-8 kept), base64-encoded. Refuses text that is not one JSON document.
[[nodiscard]] CampaignToken tokenFromCampaign(const std::string& campaignJson);

// Why the bootstrapper would not turn token into payload.campaign, or empty when
// it would.
[[nodiscard]] std::string payloadProblem(std::string_view token);

// What --show prints for an executable: the raw and decoded token, or that it
// carries none and why. hasToken tells which.
struct TokenReport {
  bool hasToken = false;
  std::string text;
};
[[nodiscard]] TokenReport describeToken(std::string_view executable);

}  // namespace kelvra::stamp
