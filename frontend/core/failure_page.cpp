#include "core/failure_page.h"

FailurePage failurePage(FailureKind kind) {
  switch (kind) {
    case FailureKind::outdated:
      return {true, L"errorOutdated", L"errorOutdated_link", L"errorOutdated_url"};
    case FailureKind::remoteConfig:
    case FailureKind::network:
      return {true, L"errorConnection", L"errorConnection_link", L"errorConnection_url"};
    case FailureKind::digestMismatch:
      return {true, L"errorDownloadFail", L"errorDownloadFail_link", L"errorDownloadFail_url"};
    case FailureKind::ioError:
      // The string table has no link for this page.
      return {true, L"errorSpace", {}, {}};
    case FailureKind::missingFile:
      return {};
    case FailureKind::unexpected:
      break;
  }
  return {true, L"errorUnexpected", L"errorUnexpected_link", L"errorUnexpected_url"};
}

std::wstring failureReportMessage(FailureKind kind, std::wstring_view configLocation,
                                  std::wstring_view downloadAddress) {
  switch (kind) {
    case FailureKind::outdated:
      return L"Remote config suggests this installer is deprecated.";
    case FailureKind::remoteConfig:
      return L"Failed getting json remote config: " + std::wstring(configLocation);
    case FailureKind::network:
      return L"Failed downloading ZAV Kelvra Installer: " + std::wstring(downloadAddress);
    case FailureKind::digestMismatch:
      return L"Downloaded ZAV Kelvra installer MD5 do not match remote-config data";
    case FailureKind::ioError:
      return L"Not enough free disk space.";
    case FailureKind::missingFile:
      return {};
    case FailureKind::unexpected:
      break;
  }
  return L"Unexpected Error";
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
