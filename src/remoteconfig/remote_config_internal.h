// The remote-configuration step with another bound on its download, for the test
// tools: the product always uses kMaxRemoteConfigDownloadTime.
#pragma once

#include <chrono>
#include <string>

namespace kelvra::remoteconfig {

namespace internal {

[[nodiscard]] bool fetchRemoteConfigWithin(const std::wstring& baseUrl, const std::wstring& workingFolderPath,
                                           const std::wstring& frontEndParameters,
                                           std::chrono::milliseconds downloadBound, std::string& allowedVersion);

}  // namespace internal

}  // namespace kelvra::remoteconfig
