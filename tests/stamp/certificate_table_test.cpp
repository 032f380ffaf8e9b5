#include <string>

#include <gtest/gtest.h>

#include "contract/token_trailer.h"
#include "pe_builder.h"
#include "stamp/pe_image.h"
#include "stamp/stamping.h"

using namespace kelvra::stamp;
using namespace kelvra::contract;

namespace {

using namespace pe_builder;

struct Layout {
  std::size_t tableOffset;
  std::size_t tableSize;
  std::size_t lastEntryLength;
};

Layout layoutOf(const std::string& bytes, bool pe32Plus) {
  const std::size_t offset = read32(bytes, certificateEntry(pe32Plus));
  return {offset, read32(bytes, certificateEntry(pe32Plus) + 4), read32(bytes, offset)};
}

// What Authenticode hashes: everything but the checksum, the certificate
// directory entry and the certificate table. Equal views keep a signature valid.
std::string digestedBytes(const std::string& bytes, bool pe32Plus) {
  const std::size_t entry = certificateEntry(pe32Plus);
  const std::size_t table = read32(bytes, entry);
  return bytes.substr(0, kChecksum) + bytes.substr(kChecksum + 4, entry - kChecksum - 4) +
         bytes.substr(entry + 8, table - entry - 8);
}

// What the bootstrapper reads: the last kTrailerSize bytes.
TrailerReading readerView(const std::string& bytes) {
  return parseTokenTrailer(std::string_view(bytes).substr(bytes.size() - kTrailerSize));
}

TEST(SignedStamping, TrailerEndsTheCertificateTableAndComesOffAgain) {
  struct Case {
    bool pe32Plus;
    Signature signature;
  };
  const Case cases[] = {
      {false, {1500, true, true}},  {true, {1500, true, true}},  {false, {1504, true, true}},
      {false, {1500, true, false}}, {true, {1503, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "PE32+ " << c.pe32Plus << ", DER " << c.signature.derSize);
    const std::string original = fakeSigned(fakePe(6001, c.pe32Plus), c.pe32Plus, c.signature);
    const Layout before = layoutOf(original, c.pe32Plus);

    const StampedExecutable stamped = stampExecutable(original, "eyJhIjoxfQ==");
    ASSERT_FALSE(stamped.refusal.refused) << stamped.refusal.message;
    EXPECT_TRUE(stamped.insideSignature);
    EXPECT_FALSE(stamped.replacedTrailer);
    const std::string& bytes = stamped.bytes;
    EXPECT_EQ(bytes.size(), original.size() + kTrailerSize);
    EXPECT_EQ(readerView(bytes).token, "eyJhIjoxfQ==");
    EXPECT_TRUE(digestedBytes(bytes, c.pe32Plus) == digestedBytes(original, c.pe32Plus));
    const Layout after = layoutOf(bytes, c.pe32Plus);
    EXPECT_EQ(after.tableOffset, before.tableOffset);
    EXPECT_EQ(after.tableOffset + after.tableSize, bytes.size());
    EXPECT_EQ(after.tableSize % 8, 0u);
    EXPECT_EQ(after.lastEntryLength, before.lastEntryLength + kTrailerSize);
    EXPECT_TRUE(bytes.substr(before.tableOffset + 8, c.signature.derSize) ==
                original.substr(before.tableOffset + 8, c.signature.derSize));
    EXPECT_EQ(read32(bytes, kChecksum), c.signature.checksum ? peChecksum(bytes, kChecksum) : 0u);

    const StampedExecutable replaced = stampExecutable(bytes, "YQ==");
    ASSERT_FALSE(replaced.refusal.refused) << replaced.refusal.message;
    EXPECT_TRUE(replaced.replacedTrailer);
    EXPECT_EQ(replaced.bytes.size(), bytes.size());
    EXPECT_EQ(readerView(replaced.bytes).token, "YQ==");

    const StampedExecutable stripped = stripExecutable(replaced.bytes);
    ASSERT_FALSE(stripped.refusal.refused) << stripped.refusal.message;
    EXPECT_TRUE(stripped.replacedTrailer);
    EXPECT_TRUE(stripped.insideSignature);
    EXPECT_TRUE(stripped.bytes == original);
    EXPECT_FALSE(stripExecutable(original).replacedTrailer);
    EXPECT_TRUE(stripExecutable(original).bytes == original);
  }
}

// Some signers leave the entry and the table unpadded; the grown table is padded
// so that the trailer still starts 8-byte aligned and ends the file.
TEST(SignedStamping, UnpaddedSignatureIsPaddedBeforeTheTrailer) {
  const std::string original = fakeSigned(fakePe(6000), false, {1501, false, true});
  ASSERT_EQ(layoutOf(original, false).tableSize, 1509u);
  const StampedExecutable stamped = stampExecutable(original, "YQ==");
  ASSERT_FALSE(stamped.refusal.refused) << stamped.refusal.message;
  const Layout after = layoutOf(stamped.bytes, false);
  EXPECT_EQ(after.tableSize, 1512 + kTrailerSize);
  EXPECT_EQ(after.lastEntryLength, 1512 + kTrailerSize);
  EXPECT_EQ(stamped.bytes.substr(6000 + 1509, 3), std::string(3, '\0'));
  EXPECT_EQ(readerView(stamped.bytes).token, "YQ==");
  EXPECT_TRUE(digestedBytes(stamped.bytes, false) == digestedBytes(original, false));

  const StampedExecutable stripped = stripExecutable(stamped.bytes);
  EXPECT_EQ(layoutOf(stripped.bytes, false).tableSize, 1512u);
  EXPECT_EQ(stripped.bytes.size(), original.size() + 3);
  EXPECT_TRUE(digestedBytes(stripped.bytes, false) == digestedBytes(original, false));
}

// A trailer appended behind the table (as this tool did before it knew about
// signatures) broke the signature; replacing or stripping it mends that.
TEST(SignedStamping, TrailerAppendedBehindTheTableIsMovedInside) {
  const std::string original = fakeSigned(fakePe(6000));
  const std::string appended = original + *buildTokenTrailer("YQ==");
  const StampedExecutable stamped = stampExecutable(appended, "eyJhIjoxfQ==");
  ASSERT_FALSE(stamped.refusal.refused) << stamped.refusal.message;
  EXPECT_TRUE(stamped.replacedTrailer);
  EXPECT_TRUE(stamped.bytes == stampExecutable(original, "eyJhIjoxfQ==").bytes);
  const StampedExecutable stripped = stripExecutable(appended);
  EXPECT_TRUE(stripped.replacedTrailer);
  EXPECT_TRUE(stripped.bytes == original);
}

TEST(SignedStamping, RefusesTablesThatCantCarryATrailer) {
  const std::string image = fakePe(6000);
  const std::string good = fakeSigned(image);
  const std::size_t table = 6000;
  const std::size_t directorySize = certificateEntry(false) + 4;
  auto edited = [](std::string bytes, std::size_t offset, std::uint32_t value, std::size_t width = 4) {
    put(bytes, offset, value, width);
    return bytes;
  };
  // A second entry in front of the signature, as a table with two entries holds.
  std::string twoEntries = image;
  {
    std::string first(16, '\x11');
    put(first, 0, 13, 4);  // 13 bytes, padded to 16
    const std::string signature = good.substr(table);
    twoEntries += first + signature;
    put(twoEntries, certificateEntry(false), static_cast<std::uint32_t>(table), 4);
    put(twoEntries, directorySize, static_cast<std::uint32_t>(first.size() + signature.size()), 4);
  }
  ASSERT_FALSE(stampExecutable(twoEntries, "YQ==").refusal.refused);
  EXPECT_EQ(layoutOf(stampExecutable(twoEntries, "YQ==").bytes, false).tableSize, 16 + 1512 + kTrailerSize);

  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {"data behind the table", good + std::string(64, '\0'),
       "the certificate table (bytes 6000 to 7512) does not end the file (7576 bytes): a trailer can be neither put "
       "inside it nor appended without breaking the signature"},
      {"a short trailer-like tail behind the table", good + buildTokenTrailer("YQ==")->substr(8),
       "the certificate table (bytes 6000 to 7512) does not end the file (17744 bytes): a trailer can be neither "
       "put inside it nor appended without breaking the signature"},
      {"entry length 0", edited(good, table, 0),
       "the certificate table is corrupt: the entry at offset 6000 claims 0 bytes of 1512"},
      {"entry longer than the table", edited(good, table, 1520),
       "the certificate table is corrupt: the entry at offset 6000 claims 1520 bytes of 1512"},
      {"stray bytes behind the entry", edited(good + std::string(4, '\0'), directorySize, 1516),
       "the certificate table is corrupt: 4 stray bytes at offset 7512"},
      {"X.509 entry", edited(good, table + 6, 1, 2),
       "the last certificate entry (offset 6000) is not an Authenticode signature (revision 0x0200, type 0x0001)"},
      {"revision 1.0", edited(good, table + 4, 0x0100, 2),
       "the last certificate entry (offset 6000) is not an Authenticode signature (revision 0x0100, type 0x0002)"},
      {"no SEQUENCE", edited(good, table + 8, 0x31, 1),
       "the certificate entry at offset 6000 holds no DER-encoded signature"},
      {"SEQUENCE longer than its entry", edited(good, table + 10, 0x0010, 2) /* big-endian 0x1000 */,
       "the certificate entry at offset 6000 holds no DER-encoded signature"},
      {"indefinite length", edited(good, table + 9, 0x80, 1),
       "the certificate entry at offset 6000 holds no DER-encoded signature"},
      {"padding beyond 8 bytes", edited(edited(good + std::string(8, '\0'), table, 1520), directorySize, 1520),
       "the certificate table holds 8 bytes behind the signature that are not a token trailer; they are left alone"},
  };
  for (const Case& c : cases) {
    const StampedExecutable stamped = stampExecutable(c.bytes, "YQ==");
    EXPECT_TRUE(stamped.refusal.refused) << c.what;
    EXPECT_EQ(stamped.refusal.message, c.message) << c.what;
    EXPECT_EQ(stripExecutable(c.bytes).refusal.message, c.message) << c.what;
  }
}

// Without a certificate directory entry, or with an empty one, there is nothing
// to keep valid: the trailer is appended.
TEST(SignedStamping, UnsignedImagesGetTheTrailerAppended) {
  std::string fewEntries = fakePe(6000);
  put(fewEntries, directoryCountField(false), 4, 4);
  std::string withChecksum = fakePe(6000);
  put(withChecksum, kChecksum, peChecksum(withChecksum, kChecksum), 4);
  for (const std::string& image : {fewEntries, withChecksum}) {
    const StampedExecutable stamped = stampExecutable(image, "YQ==");
    ASSERT_FALSE(stamped.refusal.refused) << stamped.refusal.message;
    EXPECT_FALSE(stamped.insideSignature);
    EXPECT_TRUE(stamped.bytes.substr(kChecksum + 4) == image.substr(kChecksum + 4) + *buildTokenTrailer("YQ=="));
    EXPECT_EQ(read32(stamped.bytes, kChecksum),
              read32(image, kChecksum) == 0 ? 0 : peChecksum(stamped.bytes, kChecksum));
    EXPECT_TRUE(stripExecutable(stamped.bytes).bytes == image);
  }
}

}  // namespace
