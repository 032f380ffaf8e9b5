#include "remoteconfig/bounded_download.h"

#include <windows.h>

#include <optional>

#include <gtest/gtest.h>

using namespace kelvra::remoteconfig;

// Which line of the failure table each end of the download gives. A download that
// did not end within the bound is an unknown error whatever urlmon would have said.
TEST(BoundedDownloadTest, EachEndOfTheDownloadGivesItsFailureLine) {
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
      {"succeeded but could not be moved into place",
       {S_OK, "the downloaded file could not be moved", 5},
       DownloadFailure::unknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(downloadFailureOf(c.download), c.failure) << c.name;
  }
}
