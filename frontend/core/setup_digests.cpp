#include "core/setup_digests.h"

namespace kelvra::frontend::core {

namespace {

constexpr std::size_t kSha256HexLength = 64;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'f'); }

}  // namespace

SetupDigestVerdict judgeSetupDigests(const ExpectedSetupDigests& expected, const ActualSetupDigests& actual) {
  if (!digestsMatch(expected.md5, actual.md5)) return SetupDigestVerdict::md5Mismatch;
  if (!expected.sha256) return SetupDigestVerdict::accepted;
  if (!isSha256Text(*expected.sha256)) return SetupDigestVerdict::sha256Malformed;
  return digestsMatch(*expected.sha256, actual.sha256) ? SetupDigestVerdict::accepted
                                                       : SetupDigestVerdict::sha256Mismatch;
}

bool isSha256Text(std::string_view text) {
  if (text.size() != kSha256HexLength) return false;
  for (const char c : text) {
    if (!isHexDigit(c)) return false;
  }
  return true;
}

bool digestsMatch(std::string_view expected, std::string_view actual) {
  if (expected.size() != actual.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (lower(expected[i]) != lower(actual[i])) return false;
  }
  return true;
}

std::string lowerCaseDigest(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = lower(c);
  return lowered;
}

}  // namespace kelvra::frontend::core
