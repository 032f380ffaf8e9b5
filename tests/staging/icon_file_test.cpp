// The icon file staged from the real icon group and from groups chosen per case.
#include "staging/icon_file.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "staging/staging_test.h"

using namespace kelvra::base;
using namespace kelvra::staging;

namespace {

std::uint32_t readDoubleWord(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

std::string bytes(std::initializer_list<int> values) {
  std::string result;
  for (const int value : values) result.push_back(static_cast<char>(value));
  return result;
}

}  // namespace

TEST_F(StagingTest, StagedIconHasTheGroupOrderAndOpensAtEverySize) {
  ASSERT_FALSE(extractor.writeIconFile(working + kelvra::contract::kIconFileName));
  const std::string icon = readFileBytes(working + L"\\icon.ico");
  ASSERT_GE(icon.size(), 278u);
  EXPECT_EQ(icon.substr(0, 6), std::string("\0\0\1\0\x11\0", 6));
  const std::array<int, 17> widths{112, 128, 144, 16, 160, 20, 24, 256, 28, 32, 40, 48, 56, 64, 72, 80, 96};
  std::uint32_t offset = 278;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string entry = icon.substr(6 + 16 * i, 16);
    EXPECT_EQ(static_cast<unsigned char>(entry[0]), widths[i] % 256);
    EXPECT_EQ(static_cast<unsigned char>(entry[1]), widths[i] % 256);
    EXPECT_EQ(entry.substr(2, 6), std::string("\0\0\1\0\x20\0", 6));
    const std::uint32_t size = readDoubleWord(entry, 8);
    EXPECT_EQ(readDoubleWord(entry, 12), offset);
    ASSERT_LE(offset + size, icon.size());
    // Image i + 1 of the group, byte for byte, at its offset.
    EXPECT_EQ(icon.substr(offset, size), resourceBytes(static_cast<std::uint16_t>(i + 1), 3));
    // Every image is a PNG stream, the small ones included.
    EXPECT_EQ(icon.substr(offset, 8), "\x89PNG\r\n\x1a\n");
    std::string image = icon.substr(offset, size);
    const ScopedIcon decoded(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), size, TRUE, 0x00030000,
                                                      widths[i], widths[i], LR_DEFAULTCOLOR));
    EXPECT_TRUE(decoded) << "the image does not decode";
    offset += size;
  }
  EXPECT_EQ(offset, icon.size());

  const std::wstring path = working + L"\\icon.ico";
  for (const int width : widths) {
    SCOPED_TRACE(width);
    const ScopedIcon loaded(
        static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, width, width, LR_LOADFROMFILE)));
    ASSERT_TRUE(loaded) << GetLastError();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(loaded.get(), &info));
    BITMAP bitmap{};
    ASSERT_NE(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, width);
    EXPECT_EQ(bitmap.bmHeight, width);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST_F(StagingTest, IconFileReplacesAnOlderOne) {
  writeFileBytes(working + L"\\icon.ico", std::string(600000, 'x'));
  ASSERT_FALSE(extractor.writeIconFile(working + kelvra::contract::kIconFileName));
  EXPECT_EQ(readFileBytes(working + L"\\icon.ico"),
            readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/application.ico"));
}

TEST_F(StagingTest, IconFileInAMissingFolderWritesNothing) {
  const std::wstring path = working + L"\\gone\\icon.ico";
  EXPECT_TRUE(extractor.writeIconFile(path));
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{"[info] Extracting icon resources.",
                                      "[error] Failed to create icon file in path [" + toUtf8(path) + "]."}));
}

struct IconCase {
  const char* name;
  const wchar_t* variant;
  DWORD exitCode;
  bool fileWritten;
  std::string fileBytes;
  std::string lastMessage;
};

class IconCaseTest : public StagingCaseTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(IconCaseTest, WritesWhatTheGroupAllowsAndNamesTheCause) {
  const IconCase& test = GetParam();
  const std::wstring icon = working + L"\\icon.ico";
  EXPECT_EQ(runCase(test.variant, L"icon", icon), test.exitCode);
  EXPECT_EQ(fileExists(icon), test.fileWritten);
  if (test.fileWritten) {
    EXPECT_EQ(readFileBytes(icon), test.fileBytes);
  }
  const auto logged = messages();
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(logged.front(), "[info] Extracting icon resources.");
  EXPECT_EQ(logged.back(), test.lastMessage);
  EXPECT_LE(logged.size(), 2u);
}

// Header, then 16-byte entries: edge, edge, 0, 0, planes 1, 32 bits, size, offset.
INSTANTIATE_TEST_SUITE_P(
    Groups, IconCaseTest,
    ::testing::Values(IconCase{"NoImagesGiveTheBareHeader", L"gaps", 0, true, bytes({0, 0, 1, 0, 0, 0}),
                               "[info] Extracting icon resources."},
                      IconCase{"AbsentImageIsFoundMissingAfterTheDirectory", L"absent_image", 1, true,
                               bytes({0,  0,  1, 0, 3, 0,                                  //
                                      16, 16, 0, 0, 1, 0, 32, 0, 8, 0, 0, 0, 54, 0, 0, 0,  //
                                      24, 24, 0, 0, 1, 0, 32, 0, 8, 0, 0, 0, 62, 0, 0, 0,  //
                                      32, 32, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, 70, 0, 0, 0}) +
                                   "image-01",
                               "[error] Failed to find resource. Resource id: 9."},
                      IconCase{"SizeDisagreeingWithTheImageStopsBeforeItsBytes", L"size_mismatch", 1, true,
                               bytes({0,  0,  1, 0, 2, 0,                                   //
                                      16, 16, 0, 0, 1, 0, 32, 0, 8,  0, 0, 0, 38, 0, 0, 0,  //
                                      24, 24, 0, 0, 1, 0, 32, 0, 12, 0, 0, 0, 46, 0, 0, 0}) +
                                   "image-01",
                               "[error] Icon image has [4] bytes, its group entry says [12]. Resource id: 2."},
                      IconCase{"GroupShorterThanItsCountCreatesNoFile", L"short_group", 1, false, "",
                               "[error] Icon group of [20] bytes is too short for its [2] images. Resource id: 132."}),
    [](const ::testing::TestParamInfo<IconCase>& info) { return std::string(info.param.name); });
