// The error handling every failure ends in, and the error page's two ways out.
#include "window.h"

#include <shellapi.h>

#include "window_layout.h"

namespace kelvra::frontend {

void Window::HandleError(core::FailureKind kind, std::uint32_t windowsError, const std::wstring& message) {
  if (errorReportSent.exchange(true)) return;
  logger_.log(L"Error: " + message, base::LogLevel::error);
  const core::FailureOutcome outcome =
      core::describeFailure(kind, windowsError, _remoteConfigLocation, _remoteConfigDownloadURL);
  if (outcome.page.shown) {
    RunOnWindowThread([this, page = outcome.page] { ShowErrorTexts(page); });
    webClient_ErrorReport(outcome.reportMessage);
  }
  if (kind != core::FailureKind::missingFile) RunOnWindowThread([this] { ShowErrorPage(); });
}

void Window::ShowErrorTexts(core::FailurePage page) {
  SetControlText(labelError_, strings_->get(page.textKey));
  const std::wstring link = page.linkKey.empty() ? std::wstring() : strings_->get(page.linkKey);
  _error_url = page.addressKey.empty() ? std::wstring() : strings_->get(page.addressKey);
  // The link's text is markup: angle brackets of a translation must not open tags.
  std::wstring visible;
  for (const wchar_t c : link) {
    if (c != L'<' && c != L'>') visible += c;
  }
  SetControlText(linkLabelError_, L"<a>" + visible + L"</a>");
  ShowWindow(linkLabelError_, visible.empty() ? SW_HIDE : SW_SHOW);
  LayoutControls();
}

void Window::ShowErrorPage() {
  KillTimer(window_, kSizeTimerId);
  CancelDownload();
  SelectPage(Page::error);
  ShowWindow(window_, SW_RESTORE);
}

void Window::OpenErrorLink() {
  // Once an exit waits for its reports, a second click opens nothing more.
  if (exitRequested_) return;
  if (core::isWebAddress(_error_url)) {
    ShellExecuteW(window_, L"open", _error_url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  ExitApplication(-1);
}

}  // namespace kelvra::frontend
