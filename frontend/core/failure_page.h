// What each kind of front-end failure shows and reports: the error page's text
// and link keys and the problem report's message. Platform-free.
#pragma once

#include <string>
#include <string_view>

enum class FailureKind { outdated, remoteConfig, network, digestMismatch, ioError, missingFile, unexpected };

struct FailurePage {
  bool shown = false;            // false: no page and no report (a missing file)
  std::wstring_view textKey;     // string key of the error label
  std::wstring_view linkKey;     // string key of the link's text; empty when the page has no link
  std::wstring_view addressKey;  // string key of the support article the link opens
};

[[nodiscard]] FailurePage failurePage(FailureKind kind);

// The problem report's message. configLocation is the path or address the
// configuration was taken from, downloadAddress that of the client setup.
[[nodiscard]] std::wstring failureReportMessage(FailureKind kind, std::wstring_view configLocation,
                                                std::wstring_view downloadAddress);

// The support address as the link may open it: only http and https addresses,
// so that a damaged string table can't make the link start a program.
[[nodiscard]] bool isWebAddress(std::wstring_view address);
