// The front end's one window: four pages shown one at a time (initialisation,
// download, done, error), the error handling that every failure ends in, and the
// owner of the run's parts: the start-up worker, the download worker, the setup
// worker and the reports. Only the window's thread touches the controls; the
// parts call back through the functions the window gives them, and other threads
// hand work over with runOnWindowThread. The window's thread never waits on a
// server or a file's digest, so that the window always answers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "core/failure_page.h"
#include "run/download_worker.h"
#include "platform/localized_strings.h"
#include "platform/logger.h"
#include "net/network_log.h"
#include "run/reports.h"
#include "run/run_state.h"
#include "run/setup_worker.h"
#include "run/startup_worker.h"

namespace kelvra::frontend {

enum class Page { init, download, done, error };

class Window {
 public:
  // Creates the window on the initialisation page and runs the start-up
  // sequence, which shows it; failures end in onError. arguments are the
  // command line's, without the program's name.
  Window(HINSTANCE instance, std::vector<std::wstring> arguments, FrontEndSettings settings, int showCommand);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // False when the window could not be created (logged); there is then nothing to run.
  [[nodiscard]] bool created() const { return window_ != nullptr; }
  [[nodiscard]] HWND handle() const { return window_; }
  [[nodiscard]] Logger& logger() { return logger_; }
  // The code the program ends with: 0 unless exitApplication stored another.
  [[nodiscard]] int exitCode() const { return exitCode_; }

  // Runs task on the window's thread: at once when called there, otherwise when
  // the message loop next turns. Tasks that arrive after the window is gone are
  // dropped. Threads that post must end before the Window is destroyed.
  void runOnWindowThread(std::function<void()> task);

  // The front end's single error handling, from any thread: the first failure of
  // a run shows its error page and sends its report; later ones are ignored.
  void onError(const std::exception& error);

  // Logs, cleans up, stores code as the exit code and ends the message loop, once
  // the reports and events that the window's thread raised before have been sent
  // (the message loop runs meanwhile). Later calls are ignored. Window thread only.
  void exitApplication(int code);

 private:
  // Start-up on the window's thread (window_startup.cpp); the rest runs on the
  // start-up worker.
  void setupGuiElements();
  void parseArguments();
  void setupLocalizedStrings();
  void loadIcon();
  void showInTaskbar();
  void logSecurityPermissions();
  void startStartupWorker();
  void startSizeTimer();
  void onStartupFinished(bool succeeded);
  [[nodiscard]] bool startupAwaited() const;
  void endCancelledStartup();

  // Controls, pages and layout (window_layout.cpp).
  void createControls();
  void createFonts();
  void applyFonts(bool redraw);
  void layoutControls();
  void placeErrorLink();
  void selectPage(Page page);
  void setControlText(HWND control, const std::wstring& text);
  bool setIconsFromFile(const std::wstring& path, DWORD& error);
  void onDpiChanged(UINT dpi, const RECT& suggested);

  // Error page (window_error.cpp).
  void handleError(core::FailureKind kind, std::uint32_t windowsError, const std::wstring& message,
                   int downloadTries = 1);
  void showErrorTexts(core::FailurePage page);
  void showErrorPage();
  void openErrorLink();

  // The window's side of the download and the setup (window_download.cpp).
  void startDownload();
  void onDownloadEnded();
  void cancelDownload();
  void deleteSetupFile();
  void onSetupFinished(int exitCode);
  [[nodiscard]] bool keepOpenOnClose();
  void updateSizeLabel();
  void onDeactivate();
  [[nodiscard]] std::wstring setupFilePath() const;

  // The window procedure and the task queue (window.cpp).
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  [[nodiscard]] static bool enableVisualStyles();
  [[nodiscard]] bool registerWindowClasses() const;
  [[nodiscard]] bool createMainWindow();
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(int id, int notification);
  void runPendingTasks();
  void finishExit(int code);
  [[nodiscard]] bool onWindowThread() const { return GetCurrentThreadId() == windowThread_; }

  // Wakes the window's thread: to run the tasks queued by runOnWindowThread; to
  // exit with the code in wParam once the report worker has sent what came before.
  // (WM_APP + 2 is kStartupFinishedMessage.)
  static constexpr UINT kRunTasksMessage = WM_APP + 1;
  static constexpr UINT kExitMessage = WM_APP + 3;

  HINSTANCE instance_;
  std::vector<std::wstring> arguments_;
  FrontEndSettings settings_;
  int showCommand_;
  std::wstring folder_;  // the executable's folder, which is the working folder
  Logger logger_;
  NetworkLogScope networkLog_{logger_};
  std::unique_ptr<LocalizedStrings> strings_;
  RunState state_;
  std::wstring errorUrl_;
  std::atomic<bool> failureHandled_{false};  // a failure's page and report are under way
  int exitCode_ = 0;

  HWND window_ = nullptr;
  DWORD windowThread_ = 0;
  bool destroyed_ = false;
  bool exitRequested_ = false;  // exitApplication waits for the report worker
  bool exiting_ = false;
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

  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;

  // The run's parts, last, so that they end before the window's other members go:
  // the workers first (each joins its thread), then the reports, which send what is
  // still queued.
  Reports reports_;
  StartupWorker startup_;
  DownloadWorker download_;
  SetupWorker setup_;
};

}  // namespace kelvra::frontend
