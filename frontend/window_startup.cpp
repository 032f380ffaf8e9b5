// The start-up sequence: arguments, texts, icon, the user, the campaign and the
// remote configuration, then the hand-over to the download. What waits on files
// and servers runs on the start-up worker, while the window shows its busy
// initialisation page and answers; every failure ends in OnError.
#include "window.h"

#include <commctrl.h>

#include <string>

#include "campaign.h"
#include "core/composite_format.h"
#include "remote_config.h"
#include "user_identity.h"
#include "window_layout.h"

namespace kelvra::frontend {

namespace {

constexpr UINT kMarqueeIntervalMs = 30;

}  // namespace

void Window::SetupGuiElements() {
  try {
    logger_.log(L"Setting up gui elements.", base::LogLevel::info);
    ParseArguments();
    SetupLocalizedStrings();
    LoadIcon();
    ShowInTaskbar();
    LogSecurityPermissions();
    StartStartupWorker();
  } catch (const std::exception& error) {
    OnError(error);
  }
}

void Window::StartStartupWorker() {
  SendMessageW(progressBarInit_, PBM_SETMARQUEE, TRUE, kMarqueeIntervalMs);
  startupBusy_ = true;
  startupWorker_ = std::thread([this] { backgroundWorkerStartup(); });
}

// The campaign, the configuration and the started event, in that order; the last
// thing it does is to hand back to the window's thread.
void Window::backgroundWorkerStartup() {
  startupThreadId_ = GetCurrentThreadId();
  bool succeeded = false;
  try {
    GetCampaign();
    if (!startupCancelled_) GetRemoteConfigJson();
    if (!startupCancelled_) {
      RunOnWindowThread([this] { StartSizeTimer(); });
      webClient_KelvraReport(L"kelvra_download_started");
    }
    succeeded = true;
  } catch (const std::exception& error) {
    // What the user gave up did not fail.
    if (!startupCancelled_) OnError(error);
  }
  // A later thread may get the same id.
  startupThreadId_ = 0;
  PostMessageW(window_, kStartupFinishedMessage, succeeded ? 1 : 0, 0);
}

void Window::OnStartupFinished(bool succeeded) {
  // Its message was the worker's last act.
  if (startupWorker_.joinable()) startupWorker_.join();
  startupBusy_ = false;
  SendMessageW(progressBarInit_, PBM_SETMARQUEE, FALSE, 0);
  if (startupCancelled_) {
    EndCancelledStartup();
    return;
  }
  if (!succeeded) return;
  try {
    StartDownloadWorker();
    // A failure handled meanwhile keeps its error page.
    if (!destroyed_ && !errorReportSent) SelectPage(Page::download);
  } catch (const std::exception& error) {
    OnError(error);
  }
}

// Closing asks first while the start-up runs, as during the download; not once a
// failure is being handled, whose error page comes next.
bool Window::StartupAwaited() const { return startupBusy_ && !errorReportSent; }

// The worker ends within moments once what it waits on is aborted; the cancel is
// carried out when it has handed back.
void Window::CancelStartup() {
  startupCancelled_ = true;
  startupExchanges_.abortAll();
}

// Ends as a download cancelled by the user does: the download is marked cancelled
// before it began, so that the exit cleans up after it alike.
void Window::EndCancelledStartup() {
  _cancelDownload = true;
  CancelDownload();
  webClient_KelvraReport(L"kelvra_download_cancelled");
  ExitApplication(2);
}

void Window::ParseArguments() {
  std::wstring joined;
  for (const std::wstring& argument : arguments_) {
    if (!joined.empty()) joined += L", ";
    joined += argument;
  }
  logger_.log(L"Parsing arguments: " + joined, base::LogLevel::info);
  if (arguments_.size() != 2) return;
  _productId = arguments_[0];
  _gameName = arguments_[1];
  wchar_t title[512] = {};
  GetWindowTextW(window_, title, 512);
  SetWindowTextW(window_, (_gameName + L" - " + title).c_str());
}

void Window::SetupLocalizedStrings() {
  logger_.log(L"Setting up localized strings.", base::LogLevel::info);
  const std::wstring culture = userInterfaceCulture();
  logger_.log(L"Detected language is " + culture, base::LogLevel::info);
  strings_ = std::make_unique<LocalizedStrings>(instance_, folder_, culture);
  const std::wstring title = _gameName.empty() ? strings_->get(L"zavKelvra")
                                               : core::formatComposite(strings_->get(L"windowName"), {_gameName});
  SetWindowTextW(window_, title.c_str());
  SetControlText(labelWelcome_, strings_->get(L"labelWelcome"));
  SetControlText(labelWaitEnd_, strings_->get(L"labelWaitEnd"));
  SetControlText(buttonErrorExit_, strings_->get(L"buttonErrorExit"));
  SetControlText(labelDownloadSize_, L"");
  SetControlText(labelStatistics_, L"");
  LayoutControls();
}

void Window::LoadIcon() {
  const std::wstring path = folder_ + L"\\icon.ico";
  logger_.log(L"Loading icon file: " + path, base::LogLevel::info);
  DWORD error = 0;
  if (!SetIconsFromFile(path, error)) {
    logger_.log(L"Could not load the icon file '" + path + L"'. Error code " + std::to_wstring(error) + L".",
                base::LogLevel::warning);
  }
}

// The window appears here, on its initialisation page, so that the user sees the
// installer at once while the configuration is read.
void Window::ShowInTaskbar() {
  ShowWindow(window_, showCommand_);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
}

void Window::LogSecurityPermissions() {
  const UserIdentity identity = currentUserIdentity();
  logger_.log(L"Installer running as user " + identity.name + L" - elevation status " +
                  (identity.administrator ? L"True" : L"False") + L". ",
              base::LogLevel::info);
}

void Window::GetCampaign() {
  if (readCampaign(folder_, logger_, _campaignPayload, _encodedPayload)) {
    webClient_ErrorReport(L"Error loading campaign");
  }
}

void Window::GetRemoteConfigJson() {
  const RemoteConfigInputs inputs{folder_, settings_.remoteConfigHost, _productId, _remoteConfigVersion,
                                  settings_.network, &startupExchanges_};
  readRemoteConfig(inputs, logger_, _remoteConfigLocation, _remoteConfigJson);
}

// The label is filled at once too, so that the download page never shows it blank
// for its first second.
void Window::StartSizeTimer() {
  SetTimer(window_, kSizeTimerId, kSizeTimerInterval, nullptr);
  UpdateSizeLabel();
}

}  // namespace kelvra::frontend
