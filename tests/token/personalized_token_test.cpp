// The token read from the trailer at the end of an executable, on real files.
#include <windows.h>

#include <climits>
#include <cstdint>
#include <random>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "contract/token_trailer.h"
#include "support/test_log.h"
#include "token/token.h"

using namespace kelvra::base;
using namespace kelvra::contract;
using namespace kelvra::token;

namespace {

// A token of the distributed shape: 92 characters for 69 bytes of JSON, with
// login_parameters before campaign.
const std::string kToken92 =
    "eyJsb2dpbl9wYXJhbWV0ZXJzIjoibHA9MDEyMzQiLCJjYW1wYWlnbiI6eyJzb3VyY2UiOiJtYWlsIiwiaWQiOiI3In19";
// The token as the log shows it: base64 of the document with the value redacted.
const std::string kRedactedToken92 =
    "eyJjYW1wYWlnbiI6eyJpZCI6IjciLCJzb3VyY2UiOiJtYWlsIn0sImxvZ2luX3BhcmFtZXRlcnMiOiJbcmVkYWN0ZWRdIn0=";

std::string fakeImage(std::size_t size) { return "MZ" + std::string(size - 2, '\x90'); }

using TokenStepTest = LoggedTest;

struct ExecutableCase {
  const char* name;
  std::string bytes;
  bool fails;
  std::string token;
  Lines lines;
};

class TrailerFromFile : public TokenStepTest, public ::testing::WithParamInterface<ExecutableCase> {};

TEST_P(TrailerFromFile, ReadsTheLastBytesOfTheFile) {
  const ExecutableCase& c = GetParam();
  const std::wstring path = folder / L"Installer.exe";
  writeFileBytes(path, c.bytes);
  std::string token = "caller's";
  EXPECT_EQ(readPersonalizedTokenFrom(path, token), c.fails);
  EXPECT_EQ(token, c.fails ? "caller's" : c.token);
  EXPECT_EQ(log.messages(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Executables, TrailerFromFile,
    ::testing::Values(ExecutableCase{"DistributedToken",
                                     fakeImage(300000) + *buildTokenTrailer(kToken92),
                                     0,
                                     kToken92,
                                     {"[info] Token size: [92]",
                                      "[info] Succeeded to read token: [" + kRedactedToken92 + "]"}},
                      ExecutableCase{"TrailerIsTheWholeFile",
                                     *buildTokenTrailer("e30="),
                                     0,
                                     "e30=",
                                     {"[info] Token size: [4]", "[info] Succeeded to read token: [e30=]"}},
                      ExecutableCase{"ShorterThanTheTrailer",
                                     std::string(kTrailerSize - 1, 'Z'),
                                     1,
                                     "",
                                     {"[error] Failed to set file pointer, error 131"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TokenStepTest, MissingExecutableCannotBeOpened) {
  std::string token;
  EXPECT_TRUE(readPersonalizedTokenFrom(folder / L"gone.exe", token));
  EXPECT_EQ(log.messages(), Lines{"[error] CreateFile failed with error 2"});
}

TEST_F(TokenStepTest, RunningExecutableWithoutTrailerGivesTheHeaderLine) {
  std::string token = "caller's";
  EXPECT_TRUE(readPersonalizedToken(token));
  EXPECT_EQ(token, "caller's");
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(log.messages()[0].rfind("[error] Wrong value of header, [", 0), 0u) << log.messages()[0];
}

// Random bytes, zeros and line ends included.
std::string randomBytes(std::mt19937& random, std::size_t count) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(byte(random));
  return bytes;
}

// A file of random bytes whose last kTrailerSize bytes carry the header and size,
// followed by random bytes where a stamp would put the token and its zero fill.
std::string randomFileWithSizeField(std::mt19937& random, std::int32_t size) {
  std::string file = randomBytes(random, std::uniform_int_distribution<std::size_t>(0, 4096)(random));
  file.append(kTrailerHeader.begin(), kTrailerHeader.end());
  for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>(static_cast<std::uint32_t>(size) >> shift);
  return file + randomBytes(random, kTokenSpace);
}

// Every size field a damaged or hostile file may carry, each in a file of its own:
// the token is read whole or refused with its cause, and never read past the file.
TEST(TokenSizeFields, RandomFilesAreReadWholeOrRefusedWithTheirCause) {
  std::mt19937 random(20261208);
  std::vector<std::int32_t> sizes = {-1,    0,     1,     10231, 10232,     10233,    10235,
                                     10236, 10237, 10239, 10240, INT32_MIN, INT32_MAX};
  std::uniform_int_distribution<std::int32_t> anySize(-1, 10240);
  while (sizes.size() < 300) sizes.push_back(anySize(random));

  for (const std::int32_t size : sizes) {
    SCOPED_TRACE(size);
    const TempFolder folder;
    const TestLog log{folder};
    const std::wstring path = folder / L"Installer.exe";
    const std::string file = randomFileWithSizeField(random, size);
    writeFileBytes(path, file);
    std::string token = "caller's";
    const bool failed = readPersonalizedTokenFrom(path, token);

    const Lines lines = log.messages();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[info] Token size: [" + std::to_string(size) + "]");
    if (size > 0 && size <= static_cast<std::int32_t>(kTokenSpace)) {
      EXPECT_FALSE(failed);
      EXPECT_EQ(token, file.substr(file.size() - kTokenSpace, static_cast<std::size_t>(size)));
      EXPECT_EQ(lines[1].rfind("[info] Succeeded to read token: [", 0), 0u);
      continue;
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(token, "caller's");
    if (size == 0) {
      EXPECT_EQ(lines, (Lines{lines[0], "[info] Token empty. Not reading rest of file."}));
    } else if (size < 0 || size > kMaxTokenSize) {
      EXPECT_EQ(lines, (Lines{lines[0], "[error] Token size too big: should be maximum [10236]."}));
    } else {
      EXPECT_EQ(lines, (Lines{lines[0], "[error] Read wrong amount of bytes: [10232], when wanted to read [" +
                                            std::to_string(size) + "] from token place."}));
    }
  }
}

}  // namespace
