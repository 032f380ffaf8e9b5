// The download's platform-free rules: the product's waits and caps, when a
// trickling body counts as stalled, when a dropped download is tried again and
// what its resumed request may take, and the verdict on the setup's digests (MD5,
// and SHA-256 when configured).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <optional>
#include <string>

#include "core/download_resume.h"
#include "core/http_limits.h"
#include "core/setup_digests.h"
#include "core/setup_publisher.h"
#include "core/stall_rule.h"

using namespace kelvra::frontend::core;

namespace {

constexpr char kMd5[] = "098f6bcd4621d373cade4e832627b4f6";
constexpr char kSha256[] = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
constexpr char kOtherSha256[] = "0000000000000000000000000000000000000000000000000000000000000000";

// The rule fed (time, bytes in all) pairs; the index of the first one judged
// stalled, or -1.
int firstStall(StallRule rule, std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> arrivals) {
  rule.start(1000);
  int index = 0;
  for (const auto& [nowMs, received] : arrivals) {
    if (rule.stalled(nowMs, received)) return index;
    ++index;
  }
  return -1;
}

}  // namespace

// The scenario tests drive silent, trickling, endless and dropping servers against
// the test build's shortened waits, lower cap and shorter pauses; the shipped values
// are held here.
TEST(HttpLimits, TheProductWaitsAMinuteTakesAtMostOneGibibyteAndPausesOneTwoAndFourSeconds) {
  const HttpLimits product;
  EXPECT_EQ(product.receiveTimeoutMs, 60000);
  EXPECT_EQ(product.stallWindowMs, 60000u);
  EXPECT_EQ(product.stallMinimumBytes, 65536u);
  EXPECT_EQ(product.maxDownloadBytes, 1073741824u);
  EXPECT_EQ(pauseBeforeTryMs(2, product.firstRetryPauseMs), 1000u);
  EXPECT_EQ(pauseBeforeTryMs(3, product.firstRetryPauseMs), 2000u);
  EXPECT_EQ(pauseBeforeTryMs(4, product.firstRetryPauseMs), 4000u);
}

TEST(StallRule, TricklesAndSilencesStallWhileSlowButRealTransfersGoOn) {
  const StallRule rule(60000, 65536);
  // A byte every five seconds: the first window's end finds 12 bytes.
  EXPECT_EQ(firstStall(rule, {{6000, 1}, {31000, 6}, {60999, 12}, {61000, 12}, {66000, 13}}), 3);
  // Nothing within the window, then one late piece: too little, however it ends.
  EXPECT_EQ(firstStall(rule, {{90000, 65535}}), 0);
  // Exactly the minimum in each window keeps it going, window after window.
  EXPECT_EQ(firstStall(rule, {{61000, 65536}, {121000, 131072}, {181000, 196608}}), -1);
  // Enough early on does not carry a later window that brings too little.
  EXPECT_EQ(firstStall(rule, {{2000, 10000000}, {61000, 10000000}, {100000, 10000001}, {121000, 10000002}}), 3);
  // Before a window has passed nothing is judged, even with nothing received.
  EXPECT_EQ(firstStall(rule, {{1000, 0}, {60999, 0}}), -1);
  // A clock that went back judges nothing.
  EXPECT_EQ(firstStall(rule, {{500, 0}}), -1);
  // A window of 0 turns the rule off.
  EXPECT_EQ(firstStall(StallRule(0, 65536), {{1000000, 0}}), -1);
}

TEST(DownloadRetry, OnlyDropsAfterBytesArrivedAreTriedAgainThreeTimesWithGrowingPauses) {
  struct Case {
    const char* name;
    TransferEnd end;
    bool bytesArrived;
    int triesMade;
    bool retried;
  };
  const Case cases[] = {
      {"reset after bytes", TransferEnd::network, true, 1, true},
      {"stall after bytes", TransferEnd::stalled, true, 1, true},
      {"third drop", TransferEnd::network, true, 3, true},
      {"fourth drop: no tries left", TransferEnd::network, true, 4, false},
      {"refused connection, nothing arrived", TransferEnd::network, false, 1, false},
      {"silent server, nothing arrived", TransferEnd::stalled, false, 1, false},
      {"a status, a refused length or range", TransferEnd::refused, true, 1, false},
      {"the disk", TransferEnd::file, true, 1, false},
      {"cancelled", TransferEnd::cancelled, true, 1, false},
      {"no address", TransferEnd::address, true, 1, false},
      {"completed", TransferEnd::completed, true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(shouldRetryDownload(c.end, c.bytesArrived, c.triesMade), c.retried);
  }
  EXPECT_EQ(kDownloadTries, 4);
  EXPECT_EQ(pauseBeforeTryMs(1, 1000), 0u);
  // As the log names a pause: a shortened one keeps its decimals.
  EXPECT_EQ(secondsText(4000) + L" " + secondsText(250) + L" " + secondsText(2005), L"4 0.25 2.005");
}

TEST(DownloadRetry, AResumeNeedsAValidatorThatIfRangeCanMatch) {
  struct Case {
    const wchar_t* etag;
    const wchar_t* lastModified;
    const wchar_t* validator;
  };
  const Case cases[] = {
      {L"\"v1\"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"\"v1\""},
      {L"\"v1\"", L"", L"\"v1\""},
      // A weak ETag never matches in If-Range: the date stands in, or nothing does.
      {L"W/\"v1\"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"Tue, 08 Dec 2026 10:00:00 GMT"},
      {L"W/\"v1\"", L"", L""},
      {L"v1", L"", L""},
      {L"\"", L"", L""},
      {L"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"Tue, 08 Dec 2026 10:00:00 GMT"},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "etag " << testing::PrintToString(std::wstring(c.etag)));
    EXPECT_EQ(resumeValidator(c.etag, c.lastModified), c.validator);
  }
  // Without a validator the next try starts from zero.
  EXPECT_EQ(resumeOffset(4096, L"\"v1\""), 4096u);
  EXPECT_EQ(resumeOffset(4096, L""), 0u);
}

TEST(DownloadRetry, OnlyTheExactRestOfTheSameFileContinuesIt) {
  struct Case {
    const wchar_t* contentRange;
    std::uint64_t offset;
    std::uint64_t expectedTotal;
    bool continues;
  };
  const Case cases[] = {
      {L"bytes 400-999/1000", 400, 1000, true},
      {L"bytes 400-999/1000", 400, 0, true},  // the first answer had no length
      {L"bytes 0-999/1000", 400, 1000, false},    // the whole file again
      {L"bytes 300-999/1000", 400, 1000, false},  // overlaps the bytes on disk
      {L"bytes 500-999/1000", 400, 1000, false},  // leaves a gap
      {L"bytes 400-799/1000", 400, 1000, false},  // stops short of the end
      {L"bytes 400-1199/1200", 400, 1000, false}, // another file's length
      {L"bytes 400-999/*", 400, 1000, false},     // the length unknown
      {L"bytes 400-999/999", 400, 1000, false},   // last byte past the end
      {L"bytes 999-400/1000", 400, 1000, false},
      {L"bytes 400-999", 400, 1000, false},
      {L"bytes -400-999/1000", 400, 1000, false},
      {L"bytes  400-999/1000", 400, 1000, false},
      {L"items 400-999/1000", 400, 1000, false},
      {L"bytes 400-999/18446744073709551616", 400, 0, false},
      {L"", 400, 1000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.contentRange)));
    EXPECT_EQ(rangeContinuesAt(c.contentRange, c.offset, c.expectedTotal), c.continues);
  }
  const auto range = parseContentRange(L"bytes 0-0/*");
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->first, 0u);
  EXPECT_EQ(range->last, 0u);
  EXPECT_FALSE(range->complete.has_value());
}

TEST(DownloadRetry, AReportNamesTheTriesOnlyWhenThereWasMoreThanOne) {
  EXPECT_EQ(withDownloadTries(L"Failed downloading ZAV Kelvra Installer: https://h/s.exe", 1),
            L"Failed downloading ZAV Kelvra Installer: https://h/s.exe");
  EXPECT_EQ(withDownloadTries(L"Failed downloading ZAV Kelvra Installer: https://h/s.exe", 4),
            L"Failed downloading ZAV Kelvra Installer: https://h/s.exe (4 tries)");
}

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
      {"sha256 with a zero byte", {kMd5, std::string(kSha256, 32) + std::string(1, '\0') + std::string(kSha256 + 33)},
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

TEST(SetupPublisher, OnlyAnIntactTrustedSignatureOfTheMakersRuns) {
  const std::wstring maker = L"CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE";
  const SignatureCheck own{0, maker, true};
  const SignatureCheck ownUnreadable{0x800B0100, L"", false};
  struct Case {
    const char* name;
    SignatureCheck setup;
    SignatureCheck own;
    const wchar_t* configured;
    PublisherVerdict verdict;
    const wchar_t* message;
  };
  const Case cases[] = {
      {"the maker", {0, maker, true}, own, L"", PublisherVerdict::accepted,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE', the maker."},
      {"not signed", {0x800B0100, L"", true}, own, L"", PublisherVerdict::notSigned,
       L"The client setup is not signed (error 0x800B0100)."},
      {"changed after signing", {0x80096010, L"", true}, own, L"", PublisherVerdict::changed,
       L"The client setup's signature does not match its contents (error 0x80096010)."},
      {"untrusted root", {0x800B0109, L"", true}, own, L"", PublisherVerdict::untrusted,
       L"The client setup's signature is not trusted on this machine (error 0x800B0109)."},
      // The same organisation's name in another order, or part of it, is someone else.
      {"someone else", {0, L"CN=ZAVsoft GmbH", true}, own, L"", PublisherVerdict::otherPublisher,
       L"The client setup is signed by 'CN=ZAVsoft GmbH', not by the maker "
       L"('CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE')."},
      {"not for code", {0, maker, false}, own, L"", PublisherVerdict::notForCode,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE' with a certificate that is not for "
       L"signing code."},
      {"a configured publisher", {0, L"CN=Partner", true}, own, L";CN=Other;CN=Partner;", PublisherVerdict::accepted,
       L"The client setup is signed by 'CN=Partner', the maker."},
      {"configured, own unreadable", {0, L"CN=Partner", true}, ownUnreadable, L"CN=Partner",
       PublisherVerdict::accepted, L"The client setup is signed by 'CN=Partner', the maker."},
      {"configured, not this one", {0, maker, true}, ownUnreadable, L"CN=Partner", PublisherVerdict::otherPublisher,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE', not by the maker ('CN=Partner')."},
      // Fails closed: no signer to compare with is no reason to run any.
      {"maker unknown", {0, maker, true}, ownUnreadable, L";", PublisherVerdict::makerUnknown,
       L"The front end could not read its own signer (error 0x800B0100). No setup publisher is configured either: "
       L"the client setup is refused."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PublisherJudgement judgement = judgeSetupPublisher(c.setup, c.own, c.configured);
    EXPECT_EQ(judgement.verdict, c.verdict);
    EXPECT_EQ(judgement.message, c.message);
  }
  EXPECT_EQ(makersPublishers(own, L"CN=A;;CN=B"), (std::vector<std::wstring>{maker, L"CN=A", L"CN=B"}));
}
