// The remote configuration: puts remoteconfig.json into the working folder (a
// local override from the current directory, else a download) and reads the
// allowed client version from it.
#pragma once

#include <chrono>
#include <string>

namespace kelvra::remoteconfig {

// "https://" + the build-time host + the service's path and version query
// (contract/remote_config_service.h).
[[nodiscard]] std::wstring remoteConfigBaseUrl();

// Puts remoteconfig.json into the working folder, which the run has created. The
// request URL is the base URL followed directly by
// frontEndParameters; the download is given up after downloadBound (the product's
// is kMaxRemoteConfigDownloadTime). Sets allowedVersion only on success; true on
// failure (logged). The file stays in the folder for the front end either way.
[[nodiscard]] bool fetchRemoteConfig(std::wstring workingFolderPath, std::wstring frontEndParameters,
                                     std::chrono::milliseconds downloadBound, std::string& allowedVersion);

}  // namespace kelvra::remoteconfig
