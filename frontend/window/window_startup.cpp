// The start-up sequence on the window's thread: arguments, texts, icon, the user,
// then the start-up worker (the campaign and the remote configuration) and, when
// it hands back, the download. Every failure ends in onError.
#include "window/window.h"

#include <commctrl.h>

#include <string>

#include "core/composite_format.h"
#include "platform/user_identity.h"
#include "window/window_layout.h"

namespace kelvra::frontend {

namespace {

constexpr UINT kMarqueeIntervalMs = 30;

}  // namespace

void Window::setupGuiElements() {
  try {
    logger_.log(L"Setting up gui elements.", base::LogLevel::info);
    parseArguments();
    setupLocalizedStrings();
    loadIcon();
    showInTaskbar();
    logSecurityPermissions();
    startStartupWorker();
  } catch (const std::exception& error) {
    onError(error);
  }
}

void Window::startStartupWorker() {
  SendMessageW(progressBarInit_, PBM_SETMARQUEE, TRUE, kMarqueeIntervalMs);
  startup_.start(window_);
}

void Window::onStartupFinished(bool succeeded) {
  startup_.finished();
  SendMessageW(progressBarInit_, PBM_SETMARQUEE, FALSE, 0);
  if (startup_.cancelled()) {
    endCancelledStartup();
    return;
  }
  if (!succeeded) return;
  try {
    startDownload();
    // A failure handled meanwhile keeps its error page.
    if (!destroyed_ && !failureHandled_) selectPage(Page::download);
  } catch (const std::exception& error) {
    onError(error);
  }
}

// Closing asks first while the start-up runs, as during the download; not once a
// failure is being handled, whose error page comes next.
bool Window::startupAwaited() const { return startup_.busy() && !failureHandled_; }

// Ends as a download cancelled by the user does: the download is marked cancelled
// before it began, so that the exit cleans up after it alike.
void Window::endCancelledStartup() {
  download_.cancel();
  cancelDownload();
  reports_.sendEvent(L"kelvra_download_cancelled");
  exitApplication(2);
}

void Window::parseArguments() {
  std::wstring joined;
  for (const std::wstring& argument : arguments_) {
    if (!joined.empty()) joined += L", ";
    joined += argument;
  }
  logger_.log(L"Parsing arguments: " + joined, base::LogLevel::info);
  if (arguments_.size() != 2) return;
  state_.productId = arguments_[0];
  state_.gameName = arguments_[1];
  wchar_t title[512] = {};
  GetWindowTextW(window_, title, 512);
  SetWindowTextW(window_, (state_.gameName + L" - " + title).c_str());
}

void Window::setupLocalizedStrings() {
  logger_.log(L"Setting up localized strings.", base::LogLevel::info);
  const std::wstring culture = userInterfaceCulture();
  logger_.log(L"Detected language is " + culture, base::LogLevel::info);
  strings_ = std::make_unique<LocalizedStrings>(instance_, folder_, culture);
  const std::wstring title = state_.gameName.empty() ? strings_->get(L"zavKelvra")
                                               : core::formatComposite(strings_->get(L"windowName"), {state_.gameName});
  SetWindowTextW(window_, title.c_str());
  setControlText(labelWelcome_, strings_->get(L"labelWelcome"));
  setControlText(labelWaitEnd_, strings_->get(L"labelWaitEnd"));
  setControlText(buttonErrorExit_, strings_->get(L"buttonErrorExit"));
  setControlText(labelDownloadSize_, L"");
  setControlText(labelStatistics_, L"");
  layoutControls();
}

void Window::loadIcon() {
  const std::wstring path = folder_ + L"\\icon.ico";
  logger_.log(L"Loading icon file: " + path, base::LogLevel::info);
  DWORD error = 0;
  if (!setIconsFromFile(path, error)) {
    logger_.log(L"Could not load the icon file '" + path + L"'. Error code " + std::to_wstring(error) + L".",
                base::LogLevel::warning);
  }
}

// The window appears here, on its initialisation page, so that the user sees the
// installer at once while the configuration is read.
void Window::showInTaskbar() {
  ShowWindow(window_, showCommand_);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
}

void Window::logSecurityPermissions() {
  const UserIdentity identity = currentUserIdentity();
  logger_.log(L"Installer running as user " + identity.name + L" - elevation status " +
                  (identity.administrator ? L"True" : L"False") + L". ",
              base::LogLevel::info);
}

// The label is filled at once too, so that the download page never shows it blank
// for its first second.
void Window::startSizeTimer() {
  SetTimer(window_, kSizeTimerId, kSizeTimerInterval, nullptr);
  updateSizeLabel();
}

}  // namespace kelvra::frontend
