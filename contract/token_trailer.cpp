#include "contract/token_trailer.h"

#include <cstring>

#include <fmt/format.h>

#include "base/little_endian.h"
#include "base/login_parameters.h"

namespace kelvra::contract {

namespace {

constexpr char kShortRead[] = "Read less than 4 bytes from token size place.";

std::int32_t readSignedLittleEndian32(std::string_view bytes) {
  return static_cast<std::int32_t>(base::readLittleEndian32(bytes, 0));
}

bool headerMatches(std::string_view bytes) {
  for (std::size_t i = 0; i < kTrailerHeader.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) != kTrailerHeader[i]) return false;
  }
  return true;
}

// Header bytes as signed 8-bit hex numbers: 0xFF shows as -1, 0x90 as -70.
std::string wrongHeaderMessage(std::string_view header) {
  auto signedByte = [&header](std::size_t i) { return static_cast<std::int8_t>(header[i]); };
  return fmt::format("Wrong value of header, [{:x}:{:x}:{:x}:{:x}]", signedByte(0), signedByte(1), signedByte(2),
                     signedByte(3));
}

TrailerReading failure(std::vector<LogEntry> lines, base::LogLevel level, std::string text) {
  lines.push_back({level, std::move(text)});
  return {true, {}, std::move(lines)};
}

}  // namespace

TrailerReading parseTokenTrailer(std::string_view region) {
  if (region.size() < kTokenSizeOffset) return failure({}, base::LogLevel::error, kShortRead);
  if (!headerMatches(region)) return failure({}, base::LogLevel::error, wrongHeaderMessage(region.substr(0, 4)));
  if (region.size() < kTokenOffset) return failure({}, base::LogLevel::error, kShortRead);

  const std::int32_t size = readSignedLittleEndian32(region.substr(kTokenSizeOffset, 4));
  std::vector<LogEntry> lines{{base::LogLevel::info, fmt::format("Token size: [{}]", size)}};
  if (size == 0) return failure(std::move(lines), base::LogLevel::info, "Token empty. Not reading rest of file.");
  if (size < 0 || size > kMaxTokenSize) {
    return failure(std::move(lines), base::LogLevel::error,
                   fmt::format("Token size too big: should be maximum [{}].", kMaxTokenSize));
  }
  const std::size_t wanted = static_cast<std::size_t>(size);
  const std::size_t available = region.size() - kTokenOffset;
  if (available < wanted) {
    return failure(
        std::move(lines), base::LogLevel::error,
        fmt::format("Read wrong amount of bytes: [{}], when wanted to read [{}] from token place.", available, wanted));
  }
  std::string token(region.substr(kTokenOffset, wanted));
  // The log shows the token with its login_parameters value taken out.
  lines.push_back(
      {base::LogLevel::info, fmt::format("Succeeded to read token: [{}]", base::redactEncodedLoginParameters(token))});
  return {false, std::move(token), std::move(lines)};
}

bool endsInTokenTrailer(std::string_view fileBytes) {
  return fileBytes.size() >= kTrailerSize && headerMatches(fileBytes.substr(fileBytes.size() - kTrailerSize));
}

std::optional<std::string> buildTokenTrailer(std::string_view token) {
  if (token.size() > kTokenSpace) return std::nullopt;
  std::string trailer(kTrailerSize, '\0');
  std::memcpy(trailer.data(), kTrailerHeader.data(), kTrailerHeader.size());
  const auto size = static_cast<std::uint32_t>(token.size());
  for (std::size_t i = 0; i < 4; ++i) trailer[kTokenSizeOffset + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  std::memcpy(trailer.data() + kTokenOffset, token.data(), token.size());
  return trailer;
}

}  // namespace kelvra::contract
