#include "contract/token_trailer.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/base64.h"

using namespace kelvra::base;
using namespace kelvra::contract;

namespace {

using Lines = std::vector<std::string>;

std::string sizeField(std::int32_t size) {
  const auto bits = static_cast<std::uint32_t>(size);
  std::string field;
  for (int i = 0; i < 4; ++i) field += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return field;
}

// A region as the reader sees it: header, size field, body, zero fill to the end.
std::string region(std::string_view header, std::int32_t size, const std::string& body) {
  std::string bytes = std::string(header) + sizeField(size) + body;
  bytes.resize(kTrailerSize, '\0');
  return bytes;
}

const std::string kHeader("ZAV\xFF", 4);

Lines printed(const TrailerReading& reading) {
  Lines lines;
  for (const LogEntry& entry : reading.lines) {
    lines.push_back((entry.level == LogLevel::info ? "[info] " : "[error] ") + entry.text);
  }
  return lines;
}

struct TrailerCase {
  const char* name;
  std::string bytes;
  bool fails;
  Lines lines;
};

std::vector<TrailerCase> trailerCases() {
  const std::string token92(92, 'Q');
  const std::string fullToken(kTokenSpace, 'z');
  const std::string stamped = encodeBase64(R"({"login_parameters": "lp=01234", "campaign": {"id": 7}})");
  return {
      {"ArbitraryBytesAreAWrongHeader",
       std::string("MZ\x90\x00", 4) + std::string(kTrailerSize - 4, 'x'),
       1,
       {"[error] Wrong value of header, [4d:5a:-70:0]"}},
      {"HeaderEndingInFEIsWrong",
       region(std::string("ZAV\xFE", 4), 92, token92),
       1,
       {"[error] Wrong value of header, [5a:41:56:-2]"}},
      {"HeaderOneByteLateIsWrong",
       std::string(1, '\0') + region(kHeader, 92, token92).substr(0, kTrailerSize - 1),
       1,
       {"[error] Wrong value of header, [0:5a:41:56]"}},
      {"EmptyTokenIsAFailure",
       region(kHeader, 0, ""),
       1,
       {"[info] Token size: [0]", "[info] Token empty. Not reading rest of file."}},
      {"DistributedLayout",
       region(kHeader, 92, token92),
       0,
       {"[info] Token size: [92]", "[info] Succeeded to read token: [[redacted]]"}},
      // The log shows the token, but never its login_parameters value.
      {"StampedTokenLogsItsLoginParametersRedacted",
       region(kHeader, 76, stamped),
       0,
       {"[info] Token size: [76]", "[info] Succeeded to read token: [" +
                                       encodeBase64(R"({"campaign":{"id":7},"login_parameters":"[redacted]"})") + "]"}},
      {"TokenRunningToTheLastByte",
       region(kHeader, 10232, fullToken),
       0,
       {"[info] Token size: [10232]", "[info] Succeeded to read token: [[redacted]]"}},
      {"TokenOneByteLongerThanTheTrailerHolds",
       region(kHeader, 10233, fullToken),
       1,
       {"[info] Token size: [10233]",
        "[error] Read wrong amount of bytes: [10232], when wanted to read [10233] from token place."}},
      {"LargestAcceptedSizeCannotBeReadInFull",
       region(kHeader, 10236, fullToken),
       1,
       {"[info] Token size: [10236]",
        "[error] Read wrong amount of bytes: [10232], when wanted to read [10236] from token place."}},
      {"SizeAboveTheMaximum",
       region(kHeader, 10237, fullToken),
       1,
       {"[info] Token size: [10237]", "[error] Token size too big: should be maximum [10236]."}},
      {"NegativeSize",
       region(kHeader, -1, ""),
       1,
       {"[info] Token size: [-1]", "[error] Token size too big: should be maximum [10236]."}},
      {"TopBitSet",
       region(kHeader, INT32_MIN, ""),
       1,
       {"[info] Token size: [-2147483648]", "[error] Token size too big: should be maximum [10236]."}},
      {"ShortHeader", "ZAV", 1, {"[error] Read less than 4 bytes from token size place."}},
      {"ShortSizeField", kHeader + "\x05", 1, {"[error] Read less than 4 bytes from token size place."}},
      // A file shorter than the trailer gives a shorter region.
      {"SizeFieldOneByteShort",
       kHeader + sizeField(5).substr(0, 3),
       1,
       {"[error] Read less than 4 bytes from token size place."}},
      {"SizeFieldAndNoToken",
       kHeader + sizeField(5),
       1,
       {"[info] Token size: [5]",
        "[error] Read wrong amount of bytes: [0], when wanted to read [5] from token place."}},
      {"TokenOneByteShort",
       kHeader + sizeField(5) + "abcd",
       1,
       {"[info] Token size: [5]",
        "[error] Read wrong amount of bytes: [4], when wanted to read [5] from token place."}},
      {"TokenExactlyLongEnough",
       kHeader + sizeField(5) + "abcde",
       0,
       {"[info] Token size: [5]", "[info] Succeeded to read token: [[redacted]]"}},
  };
}

class TrailerParse : public ::testing::TestWithParam<TrailerCase> {};

TEST_P(TrailerParse, GivesTheReadersResultAndLogLines) {
  const TrailerCase& c = GetParam();
  const TrailerReading reading = parseTokenTrailer(c.bytes);
  EXPECT_EQ(reading.failed, c.fails);
  EXPECT_EQ(printed(reading), c.lines);
  if (c.fails) {
    EXPECT_EQ(reading.token, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Regions, TrailerParse, ::testing::ValuesIn(trailerCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TrailerParse, TokenWithZeroBytesKeepsItsFullLength) {
  const std::string token("ey\0\0J9", 6);
  const TrailerReading reading = parseTokenTrailer(region(kHeader, 6, token));
  ASSERT_FALSE(reading.failed);
  EXPECT_EQ(reading.token, token);
  EXPECT_EQ(reading.lines.back().text, "Succeeded to read token: [[redacted]]");
}

TEST(TrailerLayout, WhatTheStamperBuildsTheReaderReadsBack) {
  for (std::size_t size : {std::size_t{1}, std::size_t{92}, std::size_t{4096}, kTokenSpace}) {
    std::string token;
    for (std::size_t i = 0; i < size; ++i) token += static_cast<char>(i * 7 + 1);
    const auto trailer = buildTokenTrailer(token);
    ASSERT_TRUE(trailer.has_value()) << size;
    EXPECT_EQ(trailer->size(), kTrailerSize);
    EXPECT_TRUE(endsInTokenTrailer("MZ-image" + *trailer));
    const TrailerReading reading = parseTokenTrailer(*trailer);
    EXPECT_FALSE(reading.failed) << size;
    EXPECT_EQ(reading.token, token) << size;
  }
}

TEST(TrailerLayout, TokenThatTheReaderCouldNotReadWholeIsNotBuilt) {
  EXPECT_FALSE(buildTokenTrailer(std::string(kTokenSpace + 1, 'a')).has_value());
}

TEST(TrailerLayout, OnlyTheHeaderAtTheTrailersPlaceCounts) {
  EXPECT_FALSE(endsInTokenTrailer(kHeader));
  EXPECT_FALSE(endsInTokenTrailer(kHeader + std::string(kTrailerSize, '\0')));
  EXPECT_TRUE(endsInTokenTrailer("x" + kHeader + std::string(kTrailerSize - 4, '\0')));
}

}  // namespace
