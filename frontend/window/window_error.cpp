// The error handling every failure ends in, and the error page's two ways out.
#include "window/window.h"

#include <shellapi.h>

#include "core/download_resume.h"
#include "window/window_layout.h"

namespace kelvra::frontend {

void Window::handleError(core::FailureKind kind, std::uint32_t windowsError, const std::wstring& message,
                         int downloadTries) {
  if (failureHandled_.exchange(true)) return;
  logger_.log(L"Error: " + message, base::LogLevel::error);
  const core::FailureOutcome outcome =
      core::describeFailure(kind, windowsError, state_.remoteConfigLocation, state_.downloadUrl, message);
  if (outcome.page.shown) {
    runOnWindowThread([this, page = outcome.page] { showErrorTexts(page); });
    reports_.sendProblemReport(core::withDownloadTries(outcome.reportMessage, downloadTries));
  }
  if (kind != core::FailureKind::missingFile) runOnWindowThread([this] { showErrorPage(); });
}

void Window::showErrorTexts(core::FailurePage page) {
  setControlText(labelError_, strings_->get(page.textKey));
  const std::wstring link = page.linkKey.empty() ? std::wstring() : strings_->get(page.linkKey);
  errorUrl_ = page.addressKey.empty() ? std::wstring() : strings_->get(page.addressKey);
  // The link's text is markup: angle brackets of a translation must not open tags.
  std::wstring visible;
  for (const wchar_t c : link) {
    if (c != L'<' && c != L'>') visible += c;
  }
  setControlText(linkLabelError_, L"<a>" + visible + L"</a>");
  ShowWindow(linkLabelError_, visible.empty() ? SW_HIDE : SW_SHOW);
  layoutControls();
}

void Window::showErrorPage() {
  KillTimer(window_, kSizeTimerId);
  cancelDownload();
  selectPage(Page::error);
  ShowWindow(window_, SW_RESTORE);
}

void Window::openErrorLink() {
  // Once an exit waits for its reports, a second click opens nothing more.
  if (exitRequested_) return;
  if (core::isWebAddress(errorUrl_)) {
    ShellExecuteW(window_, L"open", errorUrl_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  exitApplication(-1);
}

}  // namespace kelvra::frontend
