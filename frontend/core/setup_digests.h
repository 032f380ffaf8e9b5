// The verdict on the downloaded client setup's digests against the configuration:
// MD5 always, SHA-256 as well when the configuration names one. Platform-free: the
// caller computes the digests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

enum class SetupDigestVerdict {
  accepted,
  md5Mismatch,
  sha256Mismatch,
  // installerSha256 is there but is not 64 hexadecimal digits: nothing could match
  // it, so the setup is refused rather than run on MD5 alone.
  sha256Malformed,
};

struct ExpectedSetupDigests {
  std::string md5;                    // hexadecimal, either case
  std::optional<std::string> sha256;  // hexadecimal, either case; absent when not configured
};

struct ActualSetupDigests {
  std::string md5;     // lower-case hexadecimal
  std::string sha256;  // lower-case hexadecimal; empty when none was asked for
};

// MD5 first, so that a configuration without installerSha256 is judged as before.
[[nodiscard]] SetupDigestVerdict judgeSetupDigests(const ExpectedSetupDigests& expected,
                                                   const ActualSetupDigests& actual);

// True for exactly 64 hexadecimal digits, either case.
[[nodiscard]] bool isSha256Text(std::string_view text);

// Compares two hexadecimal digests without regard to case.
[[nodiscard]] bool digestsMatch(std::string_view expected, std::string_view actual);

// Lower-case ASCII letters, the rest as it is: digests as the log shows them.
[[nodiscard]] std::string lowerCaseDigest(std::string_view text);

}  // namespace kelvra::frontend::core
