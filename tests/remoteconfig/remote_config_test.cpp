// The remote-configuration step under Wine with a local override: no network is
// touched, so these cover the folder, copy, read and JSON paths. Downloads are
// covered by the scenario test against a local HTTPS server.
#include "remoteconfig/remote_config.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "remoteconfig/bounded_download.h"
#include "remoteconfig/download_limit.h"
#include "support/current_directory.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"
#include "remoteconfig/remote_config_internal.h"

using namespace kelvra::base;
using namespace kelvra::remoteconfig;

namespace {

using Lines = std::vector<std::string>;

// Nothing listens there; a download attempt would show as a failure line.
constexpr wchar_t kUnusedBaseUrl[] = L"https://localhost:1/components/webinstaller?component_version=2.0.0";
constexpr char kOverrideLine[] = "[info] Using local remote-config override.";

class RemoteConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr));
  }

  [[nodiscard]] bool fetch() {
    const ScopedCurrentDirectory inCurrent(current);
    return kelvra::remoteconfig::internal::fetchRemoteConfigFrom(kUnusedBaseUrl, working, L"", version);
  }

  TempFolder folder;
  TestLog log{folder};
  std::wstring current = folder / L"current";
  std::wstring override = current + L"\\remoteconfig.json";
  std::wstring working = folder / L"KelvraInstaller_abcde";
  std::wstring destination = working + L"\\remoteconfig.json";
  std::string version = "0.0.0";
};

std::string parseLine(const std::string& error) {
  return "[error] Failed to parse remote config data, error [" + error + "]. Installation should proceed as normal.";
}

std::string typeLine(const std::string& error) {
  return "[error] Failed to get version from json, error [" + error + "]. Installation should proceed as normal.";
}

// A valid document padded with spaces to exactly size bytes.
std::string paddedDocument(std::size_t size) {
  std::string text = R"({"content":{"windows":{"version":"4.5.6"}}})";
  text.resize(size, ' ');
  return text;
}

struct OverrideCase {
  const char* name;
  std::string content;
  bool failed;
  std::string version;
  std::string errorLine;
};

class LocalOverride : public RemoteConfigTest, public ::testing::WithParamInterface<OverrideCase> {};

TEST_P(LocalOverride, IsCopiedAndReadWithoutNetwork) {
  const OverrideCase& c = GetParam();
  writeFileBytes(override, c.content);
  EXPECT_EQ(fetch(), c.failed);
  EXPECT_EQ(version, c.version);
  EXPECT_EQ(readFileBytes(destination), c.content) << "the file stays for the front end";
  Lines expected{kOverrideLine};
  if (!c.errorLine.empty()) expected.push_back(c.errorLine);
  EXPECT_EQ(log.messages(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, LocalOverride,
    ::testing::Values(
        OverrideCase{"VersionFound", R"({"content":{"windows":{"version":"2.0.7"},"mac":{}},"url":"x"})", false,
                     "2.0.7", ""},
        OverrideCase{"VersionIsANumber", R"({"content":{"windows":{"version":207}}})", true, "0.0.0",
                     typeLine("[json.exception.type_error.302] type must be string, but is number")},
        OverrideCase{"NoContent", R"({"windows":{"version":"2.0.7"}})", true, "0.0.0",
                     typeLine("[json.exception.type_error.302] type must be string, but is null")},
        OverrideCase{"TopLevelArray", R"([{"content":{"windows":{"version":"2.0.7"}}}])", true, "0.0.0",
                     typeLine("[json.exception.type_error.305] cannot use operator[] with a string argument with "
                              "array")},
        OverrideCase{"EmptyFile", "", true, "0.0.0",
                     parseLine("[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
                               "parsing value - unexpected end of input; expected '[', '{', or a literal")},
        OverrideCase{"ZeroByteAfterTheDocument",
                     std::string(R"({"content":{"windows":{"version":"2.0.8"}}})") + std::string("\0trailing", 9),
                     false, "2.0.8", ""},
        OverrideCase{"LargestFileThatIsReadWhole", paddedDocument(65535), false, "4.5.6", ""},
        OverrideCase{"LongerFileIsCutAfter65535Bytes", paddedDocument(65535) + "x", false, "4.5.6", ""},
        OverrideCase{"CutInsideTheDocument", std::string(65530, ' ') + R"({"content":{}})", true, "0.0.0",
                     parseLine("[json.exception.parse_error.101] parse error at line 1, column 65536: syntax error "
                               "while parsing object key - invalid string: missing closing quote; last read: '\"con'; "
                               "expected string literal")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RemoteConfigTest, OverrideThatCannotBeCopiedIsNotReplacedByADownload) {
  writeFileBytes(override, R"({"content":{"windows":{"version":"2.0.7"}}})");
  const ExclusiveLock lock(override);
  EXPECT_TRUE(fetch());
  EXPECT_EQ(version, "0.0.0");
  EXPECT_TRUE(PathIsDirectoryEmptyW(working.c_str())) << "nothing reaches the working folder";
  EXPECT_EQ(log.messages(), Lines{"[error] Failed to copy local remote-config override from path remoteconfig.json "
                                  "to path " + toUtf8(destination) + ". Error code 32."});
}

// What urlmon sees of the limits: the transfer goes on up to them and is aborted
// past either.
TEST(DownloadLimitTest, AbortsTheTransferPastTheByteOrTimeLimit) {
  EXPECT_EQ(kMaxRemoteConfigDownloadTime, std::chrono::seconds(30)) << "the product's; the scenarios run shorter ones";
  const DownloadLimitReference bytes(DownloadLimit::create(65536, std::chrono::hours(1)));
  IBindStatusCallback* callback = nullptr;
  ASSERT_EQ(bytes->QueryInterface(IID_IBindStatusCallback, reinterpret_cast<void**>(&callback)), S_OK);
  EXPECT_EQ(callback->OnProgress(65536, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
  EXPECT_FALSE(bytes->exceededBytes());
  EXPECT_EQ(callback->OnProgress(65537, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
  EXPECT_TRUE(bytes->exceededBytes());
  EXPECT_FALSE(bytes->exceededTime());
  EXPECT_EQ(bytes->bytesSeen(), 65537u);
  // Every transfer asks past the caches; what urlmon asked for stays.
  DWORD bindFlags = BINDF_ASYNCHRONOUS;
  BINDINFO bindInfo = {};
  bindInfo.cbSize = sizeof bindInfo;
  ASSERT_EQ(callback->GetBindInfo(&bindFlags, &bindInfo), S_OK);
  EXPECT_EQ(bindFlags, static_cast<DWORD>(BINDF_ASYNCHRONOUS | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE |
                                          BINDF_PRAGMA_NO_CACHE));
  EXPECT_EQ(callback->Release(), 1u) << "the owner's reference is left";

  const DownloadLimitReference time(DownloadLimit::create(65536, std::chrono::milliseconds(0)));
  Sleep(20);
  EXPECT_EQ(time->OnProgress(1, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
  EXPECT_TRUE(time->exceededTime());
  EXPECT_FALSE(time->exceededBytes());

  // A download the step stopped waiting for ends at urlmon's next report, within both limits.
  const DownloadLimitReference abandoned(DownloadLimit::create(65536, std::chrono::hours(1)));
  EXPECT_EQ(abandoned->OnProgress(1, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
  abandoned->abandon();
  EXPECT_EQ(abandoned->OnProgress(2, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
  EXPECT_FALSE(abandoned->exceededBytes());
  EXPECT_FALSE(abandoned->exceededTime());
}

// Which line of the failure table each end of the download gives. A download that
// did not end within the bound is an unknown error whatever urlmon would have said.
TEST(DownloadLimitTest, EachEndOfTheDownloadGivesItsFailureLine) {
  struct Case {
    const char* name;
    BoundedDownload download;
    DownloadFailure failure;
  };
  const Case cases[] = {
      {"in time", {S_OK}, DownloadFailure::none},
      {"out of memory", {E_OUTOFMEMORY}, DownloadFailure::outOfMemory},
      {"download failure", {INET_E_DOWNLOAD_FAILURE}, DownloadFailure::downloadFailure},
      {"aborted by a limit", {E_ABORT}, DownloadFailure::unknown},
      {"a success code other than S_OK", {S_FALSE}, DownloadFailure::unknown},
      {"past the bound", {std::nullopt}, DownloadFailure::unknown},
      {"succeeded but could not be moved into place", {S_OK, "the downloaded file could not be moved", 5},
       DownloadFailure::unknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(downloadFailureOf(c.download), c.failure) << c.name;
  }
}

}  // namespace
