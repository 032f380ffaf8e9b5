// What each front-end failure shows and reports: the error page's text and link
// keys and the problem report's message, from the kind of failure and the Windows
// error code behind it. Platform-free, so that the whole mapping is one table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

enum class FailureKind {
  outdated,
  remoteConfig,
  network,  // the download failed on the way; an invalid address is told apart by its code
  digestMismatch,
  setupSigner,       // the setup is not signed by the maker: the digest's page, the reason reported
  diskSpace,         // less free space than the download needs
  freeSpaceUnknown,  // the free space of the download's drive could not be read
  setupFileWrite,    // the setup file could not be created or written
  setupFileRead,     // the setup file could not be opened or read for its digest
  setupFileDelete,   // the setup file could not be deleted
  missingFile,
  unexpected,
};

struct FailurePage {
  bool shown = false;            // false: no page and no report (a missing file)
  std::wstring_view textKey;     // string key of the error label
  std::wstring_view linkKey;     // string key of the link's text; empty when the page has no link
  std::wstring_view addressKey;  // string key of the support article the link opens
};

struct FailureOutcome {
  FailurePage page;
  std::wstring reportMessage;  // the problem report's message; empty when no page is shown
};

// windowsError is the code of the call that failed (GetLastError, or WinHTTP's),
// 0 when there was none. configLocation is the path or address the configuration
// was taken from, downloadAddress that of the client setup; failureMessage is the
// failure's own text, which the report of a refused signer repeats.
[[nodiscard]] FailureOutcome describeFailure(FailureKind kind, std::uint32_t windowsError,
                                             std::wstring_view configLocation, std::wstring_view downloadAddress,
                                             std::wstring_view failureMessage = {});

// The support address as the link may open it: only http and https addresses,
// so that a damaged string table can't make the link start a program.
[[nodiscard]] bool isWebAddress(std::wstring_view address);

}  // namespace kelvra::frontend::core
