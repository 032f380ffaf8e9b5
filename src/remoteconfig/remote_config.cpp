// Obtaining remoteconfig.json and the allowed version; the JSON reading itself is
// in remote_config_document.cpp.
#include "remoteconfig/remote_config.h"

#include <windows.h>

#include <shlwapi.h>
#include <urlmon.h>

#include <vector>

#include "base/dll_search.h"
#include "base/logging.h"
#include "base/scoped_handle.h"
#include "build_settings.h"
#include "contract/document_limits.h"
#include "contract/handoff_files.h"
#include "contract/remote_config_service.h"
#include "remoteconfig/bounded_download.h"
#include "remoteconfig/download_limit.h"
#include "remoteconfig/remote_config_document.h"
#include "remoteconfig/remote_config_internal.h"

namespace kelvra::remoteconfig {

namespace {

// Relative on purpose (the name without its separator): the override is looked for
// in the current directory.
constexpr const wchar_t* kLocalOverridePath = contract::kRemoteConfigFileName + 1;
// One read of at most kMaxRemoteConfigReadBytes into one more zeroed byte: the
// last byte always stays zero and ends the JSON text for the parser.
constexpr std::size_t kReadBufferSize = contract::kMaxRemoteConfigReadBytes + 1;

// Says why a download ended early, before the line that gives its result.
void logDownloadLimit(const base::LoggerHandle& logger, const BoundedDownload& download, const DownloadLimit& limit,
                      std::chrono::milliseconds bound) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
  if (download.setupFailure != nullptr) {
    base::logError(logger, "Failed to download remote-config to file: {}. Error code {}.", download.setupFailure,
                   download.setupError);
  } else if (!download.result) {
    base::logError(logger, "Stopped the remote-config download after [{}] seconds.", seconds);
  } else if (limit.exceededBytes()) {
    base::logError(logger, "Stopped the remote-config download after [{}] bytes: it may have at most [{}].",
                   limit.bytesSeen(), contract::kMaxRemoteConfigDownloadBytes);
  } else if (limit.exceededTime()) {
    base::logError(logger, "Stopped the remote-config download after [{}] seconds.", seconds);
  }
}

// Puts the override or the download at destinationPath. True on failure (logged).
bool obtainRemoteConfigFile(const base::LoggerHandle& logger, const std::wstring& url,
                            const std::wstring& workingFolderPath, const std::wstring& destinationPath,
                            std::chrono::milliseconds bound) {
  if (PathFileExistsW(kLocalOverridePath)) {
    if (!CopyFileW(kLocalOverridePath, destinationPath.c_str(), FALSE)) {
      const DWORD error = GetLastError();
      base::logError(logger, L"Failed to copy local remote-config override from path {} to path {}. Error code {}.",
                     kLocalOverridePath, destinationPath, error);
      return true;
    }
    base::logInfo(logger, "Using local remote-config override.");
    return false;
  }
  base::logInfo(logger, "Looking for remote config info for Kelvra Client.");
  // urlmon is delay-loaded: without the DLL, its first call would raise an exception.
  if (!base::tryLoadSystemLibrary(L"urlmon.dll")) {
    base::logError(logger,
                   "Failed to download remote-config to file: urlmon.dll could not be loaded from the system folder. "
                   "Error code {}.",
                   GetLastError());
    return true;
  }
  // The step waits for the download at most the bound; the limit also aborts an
  // endless or trickling body wherever urlmon reports its progress. The download
  // goes to a file of its own inside the working folder, which only this user can
  // reach (a name in the shared temporary folder could be taken over between its
  // creation and urlmon's write), and becomes remoteconfig.json only when it succeeded.
  const DownloadLimitReference limit(DownloadLimit::create(contract::kMaxRemoteConfigDownloadBytes, bound));
  const BoundedDownload download = downloadWithin(url, workingFolderPath, destinationPath, *limit.get(), bound);
  const DownloadFailure failure = downloadFailureOf(download);
  if (failure != DownloadFailure::none) {
    logDownloadLimit(logger, download, *limit.get(), bound);
    if (failure == DownloadFailure::outOfMemory) {
      base::logError(logger, "Failed to download remote-config to file due to error E_OUTOFMEMORY.");
    } else if (failure == DownloadFailure::downloadFailure) {
      base::logError(logger, "Failed to download remote-config to file due to error INET_E_DOWNLOAD_FAILURE.");
    } else {
      base::logError(logger, "Failed to download remote-config to file due to unknown error.");
    }
    return true;
  }
  base::logInfo(logger, "Downloaded latest remote-config file.");
  return false;
}

// Reads the allowed version from the file. True on failure (logged).
bool readRemoteConfigFile(const base::LoggerHandle& logger, const std::wstring& path, std::string& allowedVersion) {
  const base::ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    // Read before anything else runs: an allocation may change it.
    const DWORD error = GetLastError();
    base::logError(logger,
                   L"Failed to open remote config file [{}], error [{}]. Installation should process as normal.", path,
                   error);
    return true;
  }
  std::vector<char> buffer(kReadBufferSize, '\0');
  DWORD bytesRead = 0;
  if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(kReadBufferSize - 1), &bytesRead, nullptr)) {
    const DWORD error = GetLastError();
    base::logError(logger,
                   L"Failed to read from remote config file [{}], error [{}]. Installation should proceed as normal.",
                   path, error);
    return true;
  }
  VersionReading reading = readAllowedVersion(buffer.data());
  switch (reading.failure) {
    case VersionFailure::parse:
      base::logError(logger, "Failed to parse remote config data, error [{}]. Installation should proceed as normal.",
                     reading.text);
      return true;
    case VersionFailure::type:
      base::logError(logger, "Failed to get version from json, error [{}]. Installation should proceed as normal.",
                     reading.text);
      return true;
    case VersionFailure::none: break;
  }
  allowedVersion = std::move(reading.text);
  return false;
}

}  // namespace

std::wstring remoteConfigBaseUrl() {
  return std::wstring(L"https://") + KELVRA_REMOTE_CONFIG_HOST + contract::kRemoteConfigServicePath +
         contract::kRemoteConfigVersionQuery + contract::kRemoteConfigVersion;
}

bool fetchRemoteConfig(std::wstring workingFolderPath, std::wstring frontEndParameters,
                       std::chrono::milliseconds downloadBound, std::string& allowedVersion) {
  return internal::fetchRemoteConfigWithin(remoteConfigBaseUrl(), workingFolderPath, frontEndParameters, downloadBound,
                                           allowedVersion);
}

bool internal::fetchRemoteConfigFrom(const std::wstring& baseUrl, const std::wstring& workingFolderPath,
                                     const std::wstring& frontEndParameters, std::string& allowedVersion) {
  return internal::fetchRemoteConfigWithin(baseUrl, workingFolderPath, frontEndParameters, kMaxRemoteConfigDownloadTime,
                                           allowedVersion);
}

bool internal::fetchRemoteConfigWithin(const std::wstring& baseUrl, const std::wstring& workingFolderPath,
                                       const std::wstring& frontEndParameters, std::chrono::milliseconds downloadBound,
                                       std::string& allowedVersion) {
  const base::LoggerHandle logger = base::findFileLogger();
  const std::wstring destinationPath = workingFolderPath + contract::kRemoteConfigFileName;
  if (obtainRemoteConfigFile(logger, baseUrl + frontEndParameters, workingFolderPath, destinationPath, downloadBound)) {
    return true;
  }
  return readRemoteConfigFile(logger, destinationPath, allowedVersion);
}

}  // namespace kelvra::remoteconfig
