// The remote-configuration step with another address or bound, for the tests and
// their tools: the product always uses its own address and kMaxRemoteConfigDownloadTime.
#pragma once

#include <chrono>
#include <string>

namespace kelvra::remoteconfig {

namespace internal {

// The same with another base URL (tests point it at a local server).
[[nodiscard]] bool fetchRemoteConfigFrom(const std::wstring& baseUrl, const std::wstring& workingFolderPath,
                                         const std::wstring& frontEndParameters, std::string& allowedVersion);

// The same with another bound on the download.
[[nodiscard]] bool fetchRemoteConfigWithin(const std::wstring& baseUrl, const std::wstring& workingFolderPath,
                                           const std::wstring& frontEndParameters,
                                           std::chrono::milliseconds downloadBound, std::string& allowedVersion);

}  // namespace internal

}  // namespace kelvra::remoteconfig
