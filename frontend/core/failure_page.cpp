#include "core/failure_page.h"

namespace kelvra::frontend::core {

namespace {

// Windows' codes, spelled out here because this file sees no <windows.h>.
constexpr std::uint32_t kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t kAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr std::uint32_t kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kLockViolation = 33;     // ERROR_LOCK_VIOLATION
constexpr std::uint32_t kHandleDiskFull = 39;    // ERROR_HANDLE_DISK_FULL
constexpr std::uint32_t kDiskFull = 112;         // ERROR_DISK_FULL
constexpr std::uint32_t kVirusInfected = 225;    // ERROR_VIRUS_INFECTED
constexpr std::uint32_t kVirusDeleted = 226;     // ERROR_VIRUS_DELETED
constexpr std::uint32_t kInvalidUrl = 12005;     // ERROR_WINHTTP_INVALID_URL
constexpr std::uint32_t kUnknownScheme = 12006;  // ERROR_WINHTTP_UNRECOGNIZED_SCHEME

constexpr FailurePage kOutdatedPage{true, L"errorOutdated", L"errorOutdated_link", L"errorOutdated_url"};
constexpr FailurePage kConnectionPage{true, L"errorConnection", L"errorConnection_link", L"errorConnection_url"};
constexpr FailurePage kDownloadFailPage{true, L"errorDownloadFail", L"errorDownloadFail_link",
                                        L"errorDownloadFail_url"};
// The string table has no link for this page.
constexpr FailurePage kSpacePage{true, L"errorSpace", {}, {}};
constexpr FailurePage kUnexpectedPage{true, L"errorUnexpected", L"errorUnexpected_link", L"errorUnexpected_url"};

constexpr wchar_t kNotEnoughSpace[] = L"Not enough free disk space.";

[[nodiscard]] bool isDiskFull(std::uint32_t error) { return error == kDiskFull || error == kHandleDiskFull; }

// The codes a user can act on (another program, an antivirus), in words.
[[nodiscard]] std::wstring_view causeInWords(std::uint32_t error) {
  switch (error) {
    case kFileNotFound:
    case kPathNotFound: return L"not found";
    case kAccessDenied: return L"access denied";
    case kSharingViolation: return L"in use by another program";
    case kLockViolation: return L"locked by another program";
    case kVirusInfected: return L"blocked by an antivirus program";
    case kVirusDeleted: return L"removed by an antivirus program";
    default: return {};
  }
}

// "<what> (<cause>). Error code <n>." with the cause left out when it has no words.
[[nodiscard]] std::wstring withCause(std::wstring_view what, std::uint32_t error) {
  std::wstring text(what);
  const std::wstring_view cause = causeInWords(error);
  if (!cause.empty()) text.append(L" (").append(cause).append(L")");
  return text + L". Error code " + std::to_wstring(error) + L".";
}

// A failure of the setup file or its drive: the disk-space page only for a full disk.
[[nodiscard]] FailureOutcome fileFailure(std::wstring_view what, std::uint32_t error) {
  if (isDiskFull(error)) return {kSpacePage, kNotEnoughSpace};
  return {kUnexpectedPage, withCause(what, error)};
}

}  // namespace

FailureOutcome describeFailure(FailureKind kind, std::uint32_t windowsError, std::wstring_view configLocation,
                               std::wstring_view downloadAddress, std::wstring_view failureMessage) {
  switch (kind) {
    case FailureKind::outdated: return {kOutdatedPage, L"Remote config suggests this installer is deprecated."};
    case FailureKind::remoteConfig:
      return {kConnectionPage, L"Failed getting json remote config: " + std::wstring(configLocation)};
    case FailureKind::network:
      // An empty or malformed downloadLink is the configuration's fault, not the network's.
      if (windowsError == kInvalidUrl || windowsError == kUnknownScheme) {
        return {kUnexpectedPage, L"The download link is not an http or https address. Error code " +
                                     std::to_wstring(windowsError) + L"."};
      }
      return {kConnectionPage, L"Failed downloading ZAV Kelvra Installer: " + std::wstring(downloadAddress)};
    case FailureKind::digestMismatch:
      return {kDownloadFailPage, L"Downloaded ZAV Kelvra installer MD5 do not match remote-config data"};
    case FailureKind::setupSigner: return {kDownloadFailPage, std::wstring(failureMessage)};
    case FailureKind::diskSpace: return {kSpacePage, kNotEnoughSpace};
    case FailureKind::freeSpaceUnknown: return fileFailure(L"Could not read the free disk space", windowsError);
    case FailureKind::setupFileWrite: return fileFailure(L"Could not write the client setup file", windowsError);
    case FailureKind::setupFileRead: return fileFailure(L"Could not read the client setup file", windowsError);
    case FailureKind::setupFileDelete: return fileFailure(L"Could not delete the client setup file", windowsError);
    case FailureKind::missingFile: return {};
    case FailureKind::unexpected: break;
  }
  return {kUnexpectedPage, L"Unexpected Error"};
}

bool isWebAddress(std::wstring_view address) {
  auto startsWithScheme = [address](std::wstring_view scheme) {
    if (address.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      wchar_t c = address[i];
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
      if (c != scheme[i]) return false;
    }
    return true;
  };
  return startsWithScheme(L"https://") || startsWithScheme(L"http://");
}

}  // namespace kelvra::frontend::core
