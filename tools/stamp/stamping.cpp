#include "stamp/stamping.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/base64.h"
#include "contract/token_payload.h"
#include "contract/token_trailer.h"
#include "stamp/certificate_table.h"
#include "stamp/pe_image.h"

namespace kelvra::stamp {

namespace {

StampedExecutable refuse(std::string message) { return {{true, std::move(message)}, {}, false, false}; }

// Unsigned: the tail goes where an appended trailer was, or at the end.
StampedExecutable appendTail(std::string_view executable, std::string_view tail) {
  const std::string_view image = contract::endsInTokenTrailer(executable)
                                     ? executable.substr(0, executable.size() - contract::kTrailerSize)
                                     : executable;
  // The headers again: the supposed trailer may have been most of the file.
  const PeImage headers = parsePeImage(image);
  if (!headers.problem.empty()) return refuse(headers.problem);
  std::string bytes;
  bytes.reserve(image.size() + tail.size());
  bytes.append(image);
  bytes.append(tail);
  refreshPeChecksum(bytes, headers.checksumOffset);
  return {{}, std::move(bytes), image.size() != executable.size(), false};
}

// Signed: the tail goes at the end of the certificate table, which the digest
// leaves out. A trailer that was appended behind the table (which broke the
// signature) is taken off first.
StampedExecutable signatureTail(std::string_view executable, const PeImage& headers, std::string_view tail) {
  const std::size_t tableEnd = std::size_t{headers.certificateTableOffset} + headers.certificateTableSize;
  const bool appendedTrailer =
      tableEnd + contract::kTrailerSize == executable.size() && contract::endsInTokenTrailer(executable);
  const std::string_view image = appendedTrailer ? executable.substr(0, tableEnd) : executable;
  if (tableEnd != image.size()) {
    return refuse(fmt::format(
        "the certificate table (bytes {} to {}) does not end the file ({} bytes): a trailer can be neither put "
        "inside it nor appended without breaking the signature",
        headers.certificateTableOffset, tableEnd, executable.size()));
  }
  const CertificateTable table = readCertificateTable(image, headers);
  if (!table.problem.empty()) return refuse(table.problem);
  RebuiltFile rebuilt = withSignatureTail(image, headers, table, tail);
  if (!rebuilt.problem.empty()) return refuse(rebuilt.problem);
  return {{}, std::move(rebuilt.bytes), appendedTrailer || table.carriesTrailer, true};
}

StampedExecutable withTail(std::string_view executable, std::string_view tail) {
  const PeImage headers = parsePeImage(executable);
  if (!headers.problem.empty()) return refuse(headers.problem);
  return headers.isSigned() ? signatureTail(executable, headers, tail) : appendTail(executable, tail);
}

}  // namespace

StampedExecutable stampExecutable(std::string_view executable, std::string_view token) {
  if (token.empty()) return refuse("the token is empty; the bootstrapper would read it as no token");
  const std::optional<std::string> trailer = contract::buildTokenTrailer(token);
  if (!trailer) {
    return refuse(
        fmt::format("the token is {} bytes; the bootstrapper reads at most {}", token.size(), contract::kTokenSpace));
  }
  return withTail(executable, *trailer);
}

StampedExecutable stripExecutable(std::string_view executable) { return withTail(executable, {}); }

CampaignToken tokenFromCampaign(const std::string& campaignJson) {
  nlohmann::ordered_json campaign;
  try {
    campaign = nlohmann::ordered_json::parse(campaignJson);
    return {{}, base::encodeBase64(campaign.dump())};
  } catch (const nlohmann::json::exception& error) {
    return {{true, fmt::format("the campaign is not JSON: {}", error.what())}, {}};
  }
}

std::string payloadProblem(std::string_view token) {
  std::string decoded;
  if (base::decodeBase64(token, decoded)) return base::kBase64LengthError;
  const contract::CompactPayload payload = contract::compactPayload(decoded);
  return payload.failure == contract::PayloadFailure::none ? std::string() : payload.text;
}

TokenReport describeToken(std::string_view executable) {
  const std::string_view region = executable.size() >= contract::kTrailerSize
                                      ? executable.substr(executable.size() - contract::kTrailerSize)
                                      : std::string_view();
  if (region.empty()) return {false, "no token: the file is shorter than the token trailer"};
  const contract::TrailerReading reading = contract::parseTokenTrailer(region);
  if (reading.failed) return {false, "no token: " + reading.lines.back().text};

  std::string text = fmt::format("token ({} bytes): {}\n", reading.token.size(), reading.token);
  std::string decoded;
  const bool notBase64 = base::decodeBase64(reading.token, decoded);
  const contract::CompactPayload payload = contract::compactPayload(decoded);
  if (notBase64) {
    text += std::string("decoded: none (") + base::kBase64LengthError + ")";
  } else if (payload.failure != contract::PayloadFailure::none) {
    text += "decoded: none (" + payload.text + ")";
  } else {
    text += "decoded: " + payload.text;
  }
  return {true, std::move(text)};
}

}  // namespace kelvra::stamp
