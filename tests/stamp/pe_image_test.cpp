#include "stamp/pe_image.h"

#include <string>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "stamp/stamping.h"

using namespace kelvra::stamp;

namespace {

using namespace pe_builder;

std::string withField(std::string bytes, std::size_t offset, std::uint32_t value, std::size_t width = 4) {
  put(bytes, offset, value, width);
  return bytes;
}

TEST(PeImage, FindsTheCertificateEntryInBothHeaderKinds) {
  for (const bool pe32Plus : {false, true}) {
    const std::string image = fakeSigned(fakePe(4000, pe32Plus), pe32Plus);
    const PeImage parsed = parsePeImage(image);
    ASSERT_EQ(parsed.problem, "") << pe32Plus;
    EXPECT_EQ(parsed.checksumOffset, kChecksum);
    EXPECT_EQ(parsed.certificateEntryOffset, certificateEntry(pe32Plus));
    EXPECT_EQ(parsed.certificateTableOffset, 4000u);
    EXPECT_EQ(parsed.certificateTableSize, image.size() - 4000);
    EXPECT_TRUE(parsed.isSigned());
  }
  // Four directory entries leave no room for a signature: read as unsigned.
  const PeImage fewEntries = parsePeImage(withField(fakePe(4000), directoryCountField(false), 4));
  EXPECT_EQ(fewEntries.problem, "");
  EXPECT_FALSE(fewEntries.isSigned());
  EXPECT_EQ(fewEntries.certificateEntryOffset, 0u);
}

// Every header field that leads to the next is checked against the bytes there are.
TEST(PeImage, RefusesHeadersThatPointOutsideTheFile) {
  const std::string image = fakePe(4000);
  const std::string signedImage = fakeSigned(image);
  const std::size_t entry = certificateEntry(false);
  struct Case {
    const char* what;
    std::string bytes;
    std::string problem;
  };
  const Case cases[] = {
      {"e_lfanew past the end", withField(image, 0x3C, 0xFFFFFFF0),
       "the input is not a PE file (no MZ header leading to a PE signature)"},
      {"e_lfanew at the last bytes", withField(image, 0x3C, 3998),
       "the input is not a PE file (no MZ header leading to a PE signature)"},
      {"file header cut", image.substr(0, kFileHeader + 10), "the input's PE file header is cut short"},
      {"optional header cut", image.substr(0, kOptionalHeader + 1), "the input's optional header is cut short"},
      {"ROM magic", withField(image, kOptionalHeader, 0x107, 2),
       "the input's optional header is neither PE32 nor PE32+ (magic 0x0107)"},
      {"PE32+ magic in a PE32-sized header",
       withField(withField(image, kOptionalHeader, 0x20B, 2), kFileHeader + 16, 100, 2),
       "the input's optional header is cut short"},
      {"directory count beyond the declared header", withField(image, kFileHeader + 16, 92, 2),
       "the input's optional header is cut short"},
      {"certificate entry beyond the declared header", withField(image, kFileHeader + 16, 96 + 32, 2),
       "the input's data directory is cut short"},
      {"directory count cut by the file's end", image.substr(0, directoryCountField(false) + 2),
       "the input's optional header is cut short"},
      {"table past the end", withField(signedImage, entry + 4, 0xFFFFFFFF),
       "the input's certificate table (offset 4000, 4294967295 bytes) lies beyond its end (5512 bytes)"},
      {"table offset wraps", withField(withField(signedImage, entry, 0xFFFFFFF8), entry + 4, 16),
       "the input's certificate table (offset 4294967288, 16 bytes) lies beyond its end (5512 bytes)"},
      {"table inside the headers", withField(signedImage, entry, 0x40),
       "the input's certificate table (offset 64) overlaps its headers"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parsePeImage(c.bytes).problem, c.problem) << c.what;
    const StampedExecutable stamped = stampExecutable(c.bytes, "YQ==");
    EXPECT_TRUE(stamped.refusal.refused) << c.what;
    EXPECT_EQ(stamped.refusal.message, c.problem) << c.what;
    EXPECT_TRUE(stripExecutable(c.bytes).refusal.refused) << c.what;
  }
}

TEST(PeImage, ChecksumFoldsCarriesSkipsItsFieldAndAddsTheLength) {
  using namespace std::string_literals;
  struct Case {
    std::string bytes;
    std::size_t checksumOffset;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"\x01\x02\x03\x04\x05"s, 100, 0x0201 + 0x0403 + 0x0005 + 5},
      {"\xFF\xFF\xFF\xFF\x02\x00"s, 100, 0x0002 + 6},  // 0xFFFF + 0xFFFF folds to 0xFFFF, + 2 folds to 2
      {"\xFF\xFF\xFF\xFF\x01\x00"s, 0, 0x0001 + 6},
      {"\x10\x00\xFF\xFF\xFF\xFF\x20"s, 2, 0x0010 + 0x0020 + 7},
      {"\x10\xFF\xFF\xFF\xFF\x00\x20\x00"s, 1, 0x0010 + 0x0020 + 8},  // a field at an odd offset
      {""s, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(peChecksum(c.bytes, c.checksumOffset), c.expected) << c.bytes.size();
}

}  // namespace
