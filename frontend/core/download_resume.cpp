#include "core/download_resume.h"

#include <limits>

namespace kelvra::frontend::core {

namespace {

// Decimal digits only, no sign, no blanks, no overflow.
[[nodiscard]] std::optional<std::uint64_t> parseNumber(std::wstring_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return value;
}

}  // namespace

bool shouldRetryDownload(TransferEnd end, bool bytesArrived, int triesMade) {
  const bool atTheNetwork = end == TransferEnd::network || end == TransferEnd::stalled;
  return atTheNetwork && bytesArrived && triesMade >= 1 && triesMade < kDownloadTries;
}

std::uint64_t pauseBeforeTryMs(int tryNumber, std::uint64_t firstPauseMs) {
  if (tryNumber < 2) return 0;
  return firstPauseMs << (tryNumber - 2);
}

std::wstring secondsText(std::uint64_t milliseconds) {
  std::wstring text = std::to_wstring(milliseconds / 1000);
  std::uint64_t rest = milliseconds % 1000;
  if (rest == 0) return text;
  text += L'.';
  for (std::uint64_t digit = 100; rest != 0; digit /= 10) {
    text += static_cast<wchar_t>(L'0' + rest / digit);
    rest %= digit;
  }
  return text;
}

std::wstring resumeValidator(std::wstring_view etag, std::wstring_view lastModified) {
  const bool strong = etag.size() >= 2 && etag.front() == L'"' && etag.back() == L'"';
  if (strong) return std::wstring(etag);
  return std::wstring(lastModified);
}

std::uint64_t resumeOffset(std::uint64_t bytesOnDisk, std::wstring_view validator) {
  return validator.empty() ? 0 : bytesOnDisk;
}

std::optional<ContentRange> parseContentRange(std::wstring_view value) {
  constexpr std::wstring_view kUnit = L"bytes ";
  if (value.substr(0, kUnit.size()) != kUnit) return std::nullopt;
  value.remove_prefix(kUnit.size());
  const std::size_t dash = value.find(L'-');
  const std::size_t slash = value.find(L'/');
  if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || slash < dash) return std::nullopt;
  const auto first = parseNumber(value.substr(0, dash));
  const auto last = parseNumber(value.substr(dash + 1, slash - dash - 1));
  if (!first || !last || *first > *last) return std::nullopt;
  ContentRange range{*first, *last, std::nullopt};
  const std::wstring_view complete = value.substr(slash + 1);
  if (complete == L"*") return range;
  range.complete = parseNumber(complete);
  if (!range.complete || *last >= *range.complete) return std::nullopt;
  return range;
}

bool rangeContinuesAt(std::wstring_view contentRange, std::uint64_t offset, std::uint64_t expectedTotal) {
  const auto range = parseContentRange(contentRange);
  // Without the whole length nothing says the file ends where this part does.
  if (!range || !range->complete) return false;
  if (expectedTotal != 0 && *range->complete != expectedTotal) return false;
  return range->first == offset && range->last + 1 == *range->complete;
}

std::wstring withDownloadTries(std::wstring reportMessage, int tries) {
  if (tries <= 1) return reportMessage;
  return reportMessage + L" (" + std::to_wstring(tries) + L" tries)";
}

}  // namespace kelvra::frontend::core
