// The download mark as browsers, mail programs and hand edits write it.
#include "token/zone_identifier.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

using namespace kelvra::token;

namespace {

struct ZoneCase {
  const char* name;
  std::string stream;
  std::optional<unsigned> zone;
};

class ZoneStreams : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneStreams, GiveTheZoneOfTheTransferSection) { EXPECT_EQ(zoneIdOf(GetParam().stream), GetParam().zone); }

INSTANTIATE_TEST_SUITE_P(
    Marks, ZoneStreams,
    ::testing::Values(
        ZoneCase{"Browser", "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://a/\r\nHostUrl=https://a/x\r\n", 3},
        ZoneCase{"LineFeedsBlanksAndCase", "  [zonetransfer] \n zoneid = 4 \n", 4},
        ZoneCase{"LaterSectionIsNotTheTransfer", "[Other]\r\nZoneId=3\r\n[ZoneTransfer]\r\nZoneId=2\r\n", 2},
        ZoneCase{"KeyOutsideTheSection", "ZoneId=3\r\n[Other]\r\nZoneId=3\r\n", std::nullopt},
        ZoneCase{"LastLineWithoutBreak", "[ZoneTransfer]\r\nZoneId=1000", 1000},
        ZoneCase{"NotANumber", "[ZoneTransfer]\r\nZoneId=3x\r\n", std::nullopt},
        ZoneCase{"NoValue", "[ZoneTransfer]\r\nZoneId=\r\n", std::nullopt},
        ZoneCase{"TooLong", "[ZoneTransfer]\r\nZoneId=99999999999\r\n", std::nullopt},
        ZoneCase{"Empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadZones, AreInternetRestrictedAndCustom) {
  EXPECT_FALSE(isDownloadZone(0));
  EXPECT_FALSE(isDownloadZone(2));
  EXPECT_TRUE(isDownloadZone(3));
  EXPECT_TRUE(isDownloadZone(4));
  EXPECT_TRUE(isDownloadZone(1000));
}

}  // namespace
