// The front end's one window: four pages shown one at a time (initialisation,
// download, done, error), the start-up sequence that reads what the bootstrapper
// left, and the error handling that every failure ends in. Only the window's
// thread touches the controls; other threads hand work over with RunOnWindowThread.
// The window's thread never waits on a server or a file's digest: start-up, the
// download, the setup and the reports it raises itself run on workers, so that the
// window always answers.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/download_statistics.h"
#include "core/failure_page.h"
#include "core/remote_config_record.h"
#include "base/scoped_handle.h"
#include "http_client.h"
#include "localized_strings.h"
#include "logger.h"
#include "serial_worker.h"

namespace kelvra::frontend {

// The step keeps its name; the Windows macro of that name is not used here.
#undef LoadIcon

struct FrontEndSettings {
  std::wstring remoteConfigHost;  // host, with an optional ":port", of the remote-configuration service
  // Where problem reports (plain http) and events (https) go, each host with an
  // optional ":port"; an empty host sends nothing there.
  std::wstring problemReportHost;
  std::wstring telemetryHost;
  std::wstring telemetryClientNumber;  // the telemetry service's number for this client
  core::HttpLimits network;                  // time-outs and the stall rule of every exchange
};

enum class Page { init, download, done, error };

class Window {
 public:
  // Creates the window on the initialisation page and runs the start-up
  // sequence, which shows it; failures end in OnError. arguments are the
  // command line's, without the program's name.
  Window(HINSTANCE instance, std::vector<std::wstring> arguments, FrontEndSettings settings, int showCommand);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // False when the window could not be created (logged); there is then nothing to run.
  [[nodiscard]] bool created() const { return window_ != nullptr; }
  [[nodiscard]] HWND handle() const { return window_; }
  [[nodiscard]] Logger& logger() { return logger_; }
  // The code the program ends with: 0 unless ExitApplication stored another.
  [[nodiscard]] int exitCode() const { return exitCode_; }

  // Runs task on the window's thread: at once when called there, otherwise when
  // the message loop next turns. Tasks that arrive after the window is gone are
  // dropped. Threads that post must end before the Window is destroyed.
  void RunOnWindowThread(std::function<void()> task);

  // The front end's single error handling, from any thread: the first failure of
  // a run shows its error page and sends its report; later ones are ignored.
  void OnError(const std::exception& error);

  // Logs, cleans up, stores code as the exit code and ends the message loop, once
  // the reports and events that the window's thread raised before have been sent
  // (the message loop runs meanwhile). Later calls are ignored. Window thread only.
  void ExitApplication(int code);

 private:
  // Start-up (window_startup.cpp).
  void SetupGuiElements();
  void ParseArguments();
  void SetupLocalizedStrings();
  void LoadIcon();
  void ShowInTaskbar();
  void LogSecurityPermissions();
  void StartStartupWorker();
  void backgroundWorkerStartup();
  void GetCampaign();
  void GetRemoteConfigJson();
  void StartSizeTimer();
  void OnStartupFinished(bool succeeded);
  [[nodiscard]] bool StartupAwaited() const;
  void CancelStartup();
  void EndCancelledStartup();

  // Controls, pages and layout (window_layout.cpp).
  void CreateControls();
  void CreateFonts();
  void ApplyFonts(bool redraw);
  void LayoutControls();
  void PlaceErrorLink();
  void SelectPage(Page page);
  void SetControlText(HWND control, const std::wstring& text);
  bool SetIconsFromFile(const std::wstring& path, DWORD& error);
  void OnDpiChanged(UINT dpi, const RECT& suggested);

  // Error page (window_error.cpp).
  void HandleError(core::FailureKind kind, std::uint32_t windowsError, const std::wstring& message);
  void ShowErrorTexts(core::FailurePage page);
  void ShowErrorPage();
  void OpenErrorLink();

  // The client download and setup: what start-up and the error handling call of
  // them (window_download.cpp).
  void StartDownloadWorker();
  void CancelDownload();
  void DeleteSetupFile();
  [[nodiscard]] bool Window_FormClosing();
  void UpdateSizeLabel();
  void Window_Deactivate();

  // The download and setup workers (window_download.cpp, window_setup.cpp).
  void backgroundWorkerDownload();
  void DownloadCompleted();
  void ReportDownloadProgress(std::uint64_t received, std::uint64_t total);
  void StopDownloadWorker();
  void StartSetupWorker();
  void backgroundWorkerRunSetup();
  // Throws the digest-mismatch failure (after logging which digest) or an I/O one.
  void CheckSetupDigests(const std::wstring& path);
  void SetupCompleted(int exitCode);
  [[nodiscard]] std::wstring SetupFilePath() const;

  // Problem reports and events (window_reports.cpp): built and logged on the
  // calling thread, sent there too unless that is the window's thread.
  void webClient_ErrorReport(const std::wstring& message);
  void webClient_KelvraReport(const std::wstring& eventName);
  void SendOffWindowThread(std::function<void()> exchange);
  void PostProblemReport(const std::string& body);
  void PostEvent(const std::string& body);
  [[nodiscard]] HttpAbortGroup* ExchangesOfThisThread();

  // The window procedure and the task queue (window.cpp).
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  [[nodiscard]] static bool EnableVisualStyles();
  [[nodiscard]] bool RegisterWindowClasses() const;
  [[nodiscard]] bool CreateMainWindow();
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int notification);
  void RunPendingTasks();
  void FinishExit(int code);
  [[nodiscard]] bool OnWindowThread() const { return GetCurrentThreadId() == windowThread_; }

  // Wakes the window's thread: to run the tasks queued by RunOnWindowThread; when
  // the start-up worker is done (wParam 1 when its steps succeeded); to exit with
  // the code in wParam once the report worker has sent what came before.
  static constexpr UINT kRunTasksMessage = WM_APP + 1;
  static constexpr UINT kStartupFinishedMessage = WM_APP + 2;
  static constexpr UINT kExitMessage = WM_APP + 3;

  // The data model.
  std::wstring _productId;  // empty without one
  std::wstring _gameName;   // empty without one
  std::wstring _remoteConfigVersion = L"2.0.0";
  std::wstring _remoteConfigLocation;
  std::wstring _remoteConfigDownloadURL;
  std::string _campaignPayload = "{}";
  std::string _encodedPayload;
  std::string _decodedPayload = "{}";
  std::wstring _error_url;
  std::atomic<bool> errorReportSent{false};
  std::atomic<bool> _cancelDownload{false};
  core::RemoteConfigRecord _remoteConfigJson;
  int exitCode_ = 0;

  HINSTANCE instance_;
  std::vector<std::wstring> arguments_;
  FrontEndSettings settings_;
  int showCommand_;
  std::wstring folder_;  // the executable's folder, which is the working folder
  Logger logger_;
  std::unique_ptr<LocalizedStrings> strings_;

  HWND window_ = nullptr;
  DWORD windowThread_ = 0;
  bool destroyed_ = false;
  bool exitRequested_ = false;  // ExitApplication waits for the report worker
  bool exiting_ = false;
  bool startupBusy_ = false;  // window thread only: until the start-up worker has handed back
  UINT dpi_ = 96;
  Page page_ = Page::init;
  HWND pages_[4] = {};
  HWND labelWelcome_ = nullptr;
  HWND progressBarInit_ = nullptr;
  HWND labelWaitEnd_ = nullptr;
  HWND progressBarDownload_ = nullptr;
  HWND labelDownloadSize_ = nullptr;
  HWND labelStatistics_ = nullptr;
  HWND labelError_ = nullptr;
  HWND linkLabelError_ = nullptr;
  HWND buttonErrorExit_ = nullptr;
  base::ScopedFont font_;
  base::ScopedFont headingFont_;
  base::ScopedIcon bigIcon_;
  base::ScopedIcon smallIcon_;
  std::wstring iconPath_;  // set once the icon file loaded, to load it again at another DPI

  std::mutex statisticsMutex_;
  core::DownloadStatistics statistics_;

  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;

  // Last, so that they end before the window's other members go.
  std::unique_ptr<HttpClient> downloadClient_;
  std::atomic<bool> downloadBusy_{false};
  std::chrono::steady_clock::time_point downloadStarted_;
  int progressPercent_ = -1;  // worker thread only: the bar is only told of changes
  std::thread downloadWorker_;
  std::thread setupWorker_;
  std::atomic<bool> startupCancelled_{false};
  std::atomic<DWORD> startupThreadId_{0};
  HttpAbortGroup startupExchanges_;  // what the start-up worker waits on, aborted when the user cancels
  std::thread startupWorker_;
  // Destroyed first: sends what is still queued before the members it uses go.
  SerialWorker reports_;
};

}  // namespace kelvra::frontend
