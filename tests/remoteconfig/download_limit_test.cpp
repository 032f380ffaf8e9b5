#include "remoteconfig/download_limit.h"

#include <windows.h>

#include <chrono>

#include <gtest/gtest.h>

using namespace kelvra::remoteconfig;

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
