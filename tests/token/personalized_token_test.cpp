// The token steps on real files under Wine: the trailer read from an executable,
// the payload files, the authentication file copy.
#include "token/token.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <random>

#include "base/utf8.h"
#include "support/current_directory.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"
#include "token/authentication_file_internal.h"
#include "token/token_trailer.h"

using namespace kelvra::base;
using namespace kelvra::token;

namespace {

using Lines = std::vector<std::string>;
namespace authentication = kelvra::token::internal;

// A token of the distributed shape: 92 characters for 69 bytes of JSON, with
// login_parameters before campaign.
const std::string kToken92 =
    "eyJsb2dpbl9wYXJhbWV0ZXJzIjoibHA9MDEyMzQiLCJjYW1wYWlnbiI6eyJzb3VyY2UiOiJtYWlsIiwiaWQiOiI3In19";
const std::string kCampaign69 = R"({"campaign":{"id":"7","source":"mail"},"login_parameters":"lp=01234"})";
// The token as the log shows it: base64 of the document with the value redacted.
const std::string kRedactedToken92 =
    "eyJjYW1wYWlnbiI6eyJpZCI6IjciLCJzb3VyY2UiOiJtYWlsIn0sImxvZ2luX3BhcmFtZXRlcnMiOiJbcmVkYWN0ZWRdIn0=";

std::string fakeImage(std::size_t size) { return "MZ" + std::string(size - 2, '\x90'); }

class TokenStepTest : public ::testing::Test {
 protected:
  TempFolder folder;
  TestLog log{folder};
};

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
    ::testing::Values(
        ExecutableCase{"DistributedToken", fakeImage(300000) + *buildTokenTrailer(kToken92), 0, kToken92,
                       {"[info] Token size: [92]", "[info] Succeeded to read token: [" + kRedactedToken92 + "]"}},
        ExecutableCase{"TrailerIsTheWholeFile", *buildTokenTrailer("e30="), 0, "e30=",
                       {"[info] Token size: [4]", "[info] Succeeded to read token: [e30=]"}},
        ExecutableCase{"ShorterThanTheTrailer", std::string(kTrailerSize - 1, 'Z'), 1, "",
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
  std::vector<std::int32_t> sizes = {-1, 0, 1, 10231, 10232, 10233, 10235, 10236, 10237, 10239, 10240,
                                     INT32_MIN, INT32_MAX};
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

struct PayloadCase {
  const char* name;
  std::string token;
  // Content of payload.campaign, or nullopt when it must not exist.
  std::optional<std::string> campaign;
  Lines decodeLines;
};

class PayloadFiles : public TokenStepTest, public ::testing::WithParamInterface<PayloadCase> {};

// The driver's order: the raw file, then decoding, then the decoded file.
TEST_P(PayloadFiles, LeaveTheTokenRawAndDecoded) {
  const PayloadCase& c = GetParam();
  const std::wstring raw = folder.path() + L"\\payload.base64";
  const std::wstring decodedPath = folder.path() + L"\\payload.campaign";
  EXPECT_FALSE(writeTokenFile(c.token, raw));
  std::string decoded = "untouched";
  const bool decodeFailed = decodeToken(c.token, decoded);
  if (!decodeFailed) {
    EXPECT_FALSE(writeTokenFile(decoded, decodedPath));
  }

  EXPECT_EQ(readFileBytes(raw), c.token);
  EXPECT_TRUE(fileExists(raw));
  EXPECT_EQ(decodeFailed, !c.campaign.has_value());
  if (c.campaign) {
    EXPECT_EQ(readFileBytes(decodedPath), *c.campaign);
  } else {
    EXPECT_EQ(decoded, "untouched");
    EXPECT_FALSE(fileExists(decodedPath));
  }
  Lines expected{"[info] Trying to dump personalized token to [" + toUtf8(raw) + "]"};
  expected.insert(expected.end(), c.decodeLines.begin(), c.decodeLines.end());
  if (c.campaign) expected.push_back("[info] Trying to dump personalized token to [" + toUtf8(decodedPath) + "]");
  EXPECT_EQ(log.messages(), expected);
}

const std::string kEmptyParseError =
    "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
    "unexpected end of input; expected '[', '{', or a literal";

INSTANTIATE_TEST_SUITE_P(
    Tokens, PayloadFiles,
    ::testing::Values(
        PayloadCase{"NoToken", "", std::nullopt,
                    {"[info] Token: []", "[error] Failed to parse payload data, error [" + kEmptyParseError + "]."}},
        PayloadCase{"DistributedToken", kToken92, kCampaign69,
                    {"[info] Token: [{\"campaign\":{\"id\":\"7\",\"source\":\"mail\"},\"login_parameters\":\"[redacted]\"}]",
                     "[info] Decoded token: [{\"campaign\":{\"id\":\"7\",\"source\":\"mail\"},\"login_parameters\":\"[redacted]\"}]"}},
        PayloadCase{"Utf8KeptAndKeysSorted", "eyJ6IjoiR3LDvMOfZSIsImEiOjF9", "{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F" "e\"}",
                    {"[info] Token: [{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F" "e\"}]",
                     "[info] Decoded token: [{\"a\":1,\"z\":\"Gr\xC3\xBC\xC3\x9F" "e\"}]"}},
        PayloadCase{"LengthNotAMultipleOfFour", "abcde", std::nullopt,
                    {"[error] Failed to parse base64 token, error [Input data size is not a multiple of 4]"}},
        PayloadCase{"LineBreakGarblesTheText", "eyJhIjox\r\nfQ", std::nullopt,
                    {"[info] Token: [[redacted]]",
                     "[error] Failed to parse payload data, error [[json.exception.parse_error.101] parse error at "
                     "line 1, column 7: syntax error while parsing object - [redacted]]."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TokenStepTest, PayloadFileIsReplacedNotAppendedTo) {
  const std::wstring path = folder.path() + L"\\payload.campaign";
  writeFileBytes(path, std::string(500, '#'));
  EXPECT_FALSE(writeTokenFile("{}", path));
  EXPECT_EQ(readFileBytes(path), "{}");
}

TEST_F(TokenStepTest, PayloadFileThatCannotBeCreatedFails) {
  const std::wstring missing = folder / L"missing" + L"\\payload.base64";
  EXPECT_TRUE(writeTokenFile("e30=", missing));
  const std::wstring locked = folder.path() + L"\\payload.base64";
  writeFileBytes(locked, "old");
  {
    const ExclusiveLock lock(locked);
    EXPECT_TRUE(writeTokenFile("e30=", locked));
  }
  EXPECT_EQ(readFileBytes(locked), "old");
  EXPECT_EQ(log.messages(), (Lines{"[info] Trying to dump personalized token to [" + toUtf8(missing) + "]",
                                   "[error] CreateFile failed with error 3",
                                   "[info] Trying to dump personalized token to [" + toUtf8(locked) + "]",
                                   "[error] CreateFile failed with error 32"}));
}

class AuthenticationFileTest : public TokenStepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr));
  }
  std::wstring current = folder / L"current";
  std::wstring working = folder / L"KelvraInstaller_abcde";
  std::wstring source = current + L"\\zavKelvra.auth";
  std::wstring target = working + L"\\zavKelvra.auth";
};

TEST_F(AuthenticationFileTest, IsCopiedFromTheCurrentDirectoryOverAnOlderCopy) {
  writeFileBytes(source, std::string("auth\0data", 9));
  writeFileBytes(target, "older copy, longer than the new one");
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_EQ(readFileBytes(target), std::string("auth\0data", 9));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: copy result: [1], source path: [" + toUtf8(source) +
                                  "], target path: [" + toUtf8(target) + "]"});
}

// Wine keeps no alternate data streams: the marks are played.
TEST_F(AuthenticationFileTest, FileMarkedAsDownloadedOrWithAnUnreadableMarkIsNotCopied) {
  using authentication::ZoneStream;
  const struct {
    authentication::ZoneStreamReader reader;
    std::string line;
  } cases[] = {
      {[](const std::wstring&) { return ZoneStream{false, false, 0, "[ZoneTransfer]\r\nZoneId=3\r\n"}; },
       "was downloaded from the internet (zone 3). Not copied."},
      {[](const std::wstring&) { return ZoneStream{false, false, 0, "[ZoneTransfer]\r\nZoneId=4"}; },
       "was downloaded from the internet (zone 4). Not copied."},
      {[](const std::wstring&) { return ZoneStream{false, true, 5, ""}; },
       "could not be read. Error code 5. Not copied."},
      {[](const std::wstring&) { return ZoneStream{false, false, 0, "[ZoneTransfer]\r\n"}; },
       "names no zone. Not copied."},
  };
  writeFileBytes(source, "auth");
  const ScopedCurrentDirectory inCurrent(current);
  for (const auto& marked : cases) {
    SCOPED_TRACE(marked.line);
    authentication::copyAuthenticationFile(working, marked.reader);
    EXPECT_FALSE(fileExists(target));
    ASSERT_FALSE(log.messages().empty());
    EXPECT_EQ(log.messages().back().rfind("[warning] Token: "), 0u);
    EXPECT_NE(log.messages().back().find(toUtf8(source)), std::string::npos);
    EXPECT_NE(log.messages().back().find(marked.line), std::string::npos);
  }
}

TEST_F(AuthenticationFileTest, FileFromTheMachineOrItsIntranetIsCopied) {
  writeFileBytes(source, "auth");
  const ScopedCurrentDirectory inCurrent(current);
  authentication::copyAuthenticationFile(working, [](const std::wstring&) {
    return authentication::ZoneStream{false, false, 0, "[ZoneTransfer]\nZoneId=1"};
  });
  EXPECT_EQ(readFileBytes(target), "auth");
  // The system's own reader: Wine has no streams, so the file counts as unmarked.
  EXPECT_TRUE(authentication::readZoneStream(source).missing);
}

TEST_F(AuthenticationFileTest, MissingFileIsOnlyLogged) {
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: token doesn't exist at path: [" + toUtf8(source) + "]"});
}

TEST_F(AuthenticationFileTest, LockedFileGivesCopyResultZero) {
  writeFileBytes(source, "auth");
  const ExclusiveLock lock(source);
  const ScopedCurrentDirectory inCurrent(current);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(), Lines{"[info] Token: copy result: [0], source path: [" + toUtf8(source) +
                                  "], target path: [" + toUtf8(target) + "]"});
}

TEST_F(AuthenticationFileTest, CurrentDirectoryTooLongForTheBufferCountsAsNoFile) {
  // The folder fits MAX_PATH, the folder and "\zavKelvra.auth" do not.
  const std::wstring deep = current + L"\\" + std::wstring(250 - current.size() - 1, L'd');
  ASSERT_EQ(deep.size(), 250u);
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  writeFileBytes(L"\\\\?\\" + deep + L"\\zavKelvra.auth", "auth");
  const ScopedCurrentDirectory inDeep(deep);
  copyAuthenticationFile(working);
  EXPECT_FALSE(fileExists(target));
  EXPECT_EQ(log.messages(),
            Lines{"[info] Token: token doesn't exist at path: [" + toUtf8(deep + L"\\zavKelvra.auth") + "]"});
}

}  // namespace
