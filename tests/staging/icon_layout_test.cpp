// The icon group reader and the icon file's directory entries, from bytes alone.
#include "staging/icon_layout.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace kelvra::staging;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> result;
  for (const int value : values) result.push_back(static_cast<std::uint8_t>(value));
  return result;
}

void appendEntry(std::vector<std::uint8_t>& group, std::uint8_t edge, std::uint32_t size, std::uint16_t id) {
  const std::vector<std::uint8_t> entry =
      bytes({edge, edge, 0, 0, 1, 0, 32, 0, static_cast<int>(size & 0xFF), static_cast<int>(size >> 8 & 0xFF),
             static_cast<int>(size >> 16 & 0xFF), static_cast<int>(size >> 24), id & 0xFF, id >> 8});
  group.insert(group.end(), entry.begin(), entry.end());
}

std::vector<std::uint8_t> groupHeader(std::uint16_t count) { return bytes({0, 0, 1, 0, count & 0xFF, count >> 8}); }

struct GroupCase {
  const char* name;
  std::vector<std::uint8_t> group;
  IconGroupProblem problem;
  std::uint16_t count;
  std::size_t entries;
};

std::vector<GroupCase> groupCases() {
  std::vector<GroupCase> cases;
  cases.push_back({"Empty", {}, IconGroupProblem::tooShort, 0, 0});
  cases.push_back({"EndsInTheCount", bytes({0, 0, 1, 0, 1}), IconGroupProblem::tooShort, 0, 0});
  cases.push_back({"NoImages", groupHeader(0), IconGroupProblem::none, 0, 0});

  auto two = groupHeader(2);
  appendEntry(two, 16, 1128, 4);
  appendEntry(two, 0, 34924, 8);
  cases.push_back({"TwoWhole", two, IconGroupProblem::none, 2, 2});
  auto withTail = two;
  withTail.push_back(0xEE);
  cases.push_back({"BytesAfterTheLastEntryAreIgnored", withTail, IconGroupProblem::none, 2, 2});
  auto oneShort = two;
  oneShort.pop_back();
  cases.push_back({"LastEntryOneByteShort", oneShort, IconGroupProblem::tooShort, 2, 0});
  auto countTooHigh = two;
  countTooHigh[4] = 3;
  cases.push_back({"CountPromisesMoreEntriesThanThereAre", countTooHigh, IconGroupProblem::tooShort, 3, 0});
  auto countHighByte = two;
  countHighByte[5] = 1;
  cases.push_back({"CountHighByteCounts", countHighByte, IconGroupProblem::tooShort, 258, 0});

  // The last byte of the last image may sit at offset 2^32 - 1, not beyond.
  const std::uint32_t firstOffset = 6 + 16 * 2;
  const std::uint32_t fits = std::numeric_limits<std::uint32_t>::max() - firstOffset;
  auto largest = groupHeader(2);
  appendEntry(largest, 16, fits - 1, 1);
  appendEntry(largest, 16, 1, 2);
  cases.push_back({"ImagesEndingAtThe32BitLimit", largest, IconGroupProblem::none, 2, 2});
  auto tooLarge = groupHeader(2);
  appendEntry(tooLarge, 16, fits, 1);
  appendEntry(tooLarge, 16, 1, 2);
  cases.push_back({"ImagesPastThe32BitLimit", tooLarge, IconGroupProblem::tooLarge, 2, 0});
  return cases;
}

class IconGroupTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(IconGroupTest, ReadsWholeGroupsAndRefusesOthers) {
  const GroupCase& test = GetParam();
  const IconGroup group = readIconGroup(test.group);
  EXPECT_EQ(group.problem, test.problem);
  EXPECT_EQ(group.count, test.count);
  EXPECT_EQ(group.entries.size(), test.entries);
}

INSTANTIATE_TEST_SUITE_P(Groups, IconGroupTest, ::testing::ValuesIn(groupCases()),
                         [](const ::testing::TestParamInfo<GroupCase>& info) { return std::string(info.param.name); });

TEST(IconLayoutTest, EntryFieldsAreReadLittleEndianInGroupOrder) {
  auto group = groupHeader(2);
  appendEntry(group, 0, 0x01020304, 0xBEEF);
  appendEntry(group, 48, 9640, 12);
  group[6 + 2] = 5;  // colour count
  group[6 + 3] = 6;  // reserved
  const IconGroup read = readIconGroup(group);
  ASSERT_EQ(read.entries.size(), 2u);
  const IconGroupEntry& first = read.entries[0];
  EXPECT_EQ(first.width, 0);
  EXPECT_EQ(first.height, 0);
  EXPECT_EQ(first.colourCount, 5);
  EXPECT_EQ(first.reserved, 6);
  EXPECT_EQ(first.planes, 1);
  EXPECT_EQ(first.bitCount, 32);
  EXPECT_EQ(first.bytesInResource, 0x01020304u);
  EXPECT_EQ(first.iconId, 0xBEEF);
  EXPECT_EQ(read.entries[1].width, 48);
  EXPECT_EQ(read.entries[1].bytesInResource, 9640u);
  EXPECT_EQ(read.entries[1].iconId, 12);
}

TEST(IconLayoutTest, DirectoryEntryCopiesTheGroupFieldsAndAddsTheOffset) {
  const IconGroupEntry entry{112, 113, 7, 9, 0x0102, 0x0304, 52008, 1};
  const auto directory = makeIconDirectoryEntry(entry, 0xA1B2C3D4);
  EXPECT_EQ(std::vector<std::uint8_t>(directory.begin(), directory.end()),
            bytes({112, 113, 7, 9, 0x02, 0x01, 0x04, 0x03, 0x28, 0xCB, 0x00, 0x00, 0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST(IconLayoutTest, FirstImageFollowsHeaderAndDirectory) {
  EXPECT_EQ(firstIconImageOffset(0), 6u);
  EXPECT_EQ(firstIconImageOffset(17), 278u);
  EXPECT_EQ(firstIconImageOffset(65535), 6u + 16u * 65535u);
  EXPECT_EQ(littleEndianWord(0x1100), (std::array<std::uint8_t, 2>{0x00, 0x11}));
}

}  // namespace
