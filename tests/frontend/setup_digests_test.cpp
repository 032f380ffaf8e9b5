#include "core/setup_digests.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

namespace {

constexpr char kMd5[] = "098f6bcd4621d373cade4e832627b4f6";
constexpr char kSha256[] = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
constexpr char kOtherSha256[] = "0000000000000000000000000000000000000000000000000000000000000000";

}  // namespace

TEST(SetupDigests, ASecondDigestMustMatchTooAndOneThatCantMatchRefuses) {
  struct Case {
    const char* name;
    ExpectedSetupDigests expected;
    SetupDigestVerdict verdict;
  };
  const std::string upperMd5 = "098F6BCD4621D373CADE4E832627B4F6";
  const std::string upperSha256 = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
  const Case cases[] = {
      {"md5 only", {kMd5, std::nullopt}, SetupDigestVerdict::accepted},
      {"md5 only, other case", {upperMd5, std::nullopt}, SetupDigestVerdict::accepted},
      {"md5 wrong", {std::string(32, '0'), std::nullopt}, SetupDigestVerdict::md5Mismatch},
      {"md5 empty", {"", std::nullopt}, SetupDigestVerdict::md5Mismatch},
      {"both", {kMd5, kSha256}, SetupDigestVerdict::accepted},
      {"both, other case", {upperMd5, upperSha256}, SetupDigestVerdict::accepted},
      {"sha256 wrong", {kMd5, kOtherSha256}, SetupDigestVerdict::sha256Mismatch},
      // MD5 is judged first, as it always was.
      {"both wrong", {std::string(32, '0'), kOtherSha256}, SetupDigestVerdict::md5Mismatch},
      {"sha256 empty", {kMd5, ""}, SetupDigestVerdict::sha256Malformed},
      {"sha256 short", {kMd5, std::string(kSha256, 63)}, SetupDigestVerdict::sha256Malformed},
      {"sha256 long", {kMd5, std::string(kSha256) + "0"}, SetupDigestVerdict::sha256Malformed},
      {"sha256 not hex", {kMd5, std::string(kSha256, 63) + "g"}, SetupDigestVerdict::sha256Malformed},
      {"sha256 with a space", {kMd5, " " + std::string(kSha256, 63)}, SetupDigestVerdict::sha256Malformed},
      {"sha256 as an md5", {kMd5, kMd5}, SetupDigestVerdict::sha256Malformed},
      {"sha256 with a zero byte",
       {kMd5, std::string(kSha256, 32) + std::string(1, '\0') + std::string(kSha256 + 33)},
       SetupDigestVerdict::sha256Malformed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(judgeSetupDigests(c.expected, {kMd5, kSha256}), c.verdict);
  }
}

TEST(SetupDigests, LogFormIsLowerCase) {
  EXPECT_EQ(lowerCaseDigest("9F86d0AbZ"), "9f86d0abz");
  EXPECT_TRUE(digestsMatch("ABCDEF", "abcdef"));
  EXPECT_FALSE(digestsMatch("abcdef", "abcde"));
}
