// The start-up's part that waits on files and servers: the campaign, the remote
// configuration and the started event, on a thread of its own, while the window
// shows its busy initialisation page and answers.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "net/http_abort_group.h"
#include "platform/logger.h"
#include "run/reports.h"
#include "run/run_state.h"

namespace kelvra::frontend {

// Posted to the window as the worker's last act; wParam 1 when its steps succeeded.
inline constexpr UINT kStartupFinishedMessage = WM_APP + 2;

class StartupWorker {
 public:
  struct Calls {
    std::function<void()> configurationRead;              // on the worker, before the started event
    std::function<void(const std::exception&)> failed;    // on the worker, unless the start-up was cancelled
  };

  // The worker fills state's campaign and configuration fields; everything passed
  // must outlive it.
  StartupWorker(const std::wstring& folder, const FrontEndSettings& settings, RunState& state, Logger& logger,
                Reports& reports, Calls calls);
  ~StartupWorker();
  StartupWorker(const StartupWorker&) = delete;
  StartupWorker& operator=(const StartupWorker&) = delete;

  // Window thread: starts the worker, which posts kStartupFinishedMessage to window.
  void start(HWND window);
  // Window thread, on kStartupFinishedMessage: joins the worker, which is then idle.
  void finished();
  // Until finished(): the worker may still run.
  [[nodiscard]] bool busy() const { return busy_; }

  // Aborts what the worker waits on; it ends within moments and hands back as usual.
  void cancel();
  [[nodiscard]] bool cancelled() const { return cancelled_; }

  // The worker's exchanges, when called on its thread; otherwise null.
  [[nodiscard]] HttpAbortGroup* exchangesOfThisThread();

 private:
  void run(HWND window);
  void readCampaignFile();
  void readConfiguration();

  const std::wstring& folder_;
  const FrontEndSettings& settings_;
  RunState& state_;
  Logger& logger_;
  Reports& reports_;
  Calls calls_;
  bool busy_ = false;  // window thread only
  std::atomic<bool> cancelled_{false};
  std::atomic<DWORD> threadId_{0};
  HttpAbortGroup exchanges_;  // what the worker waits on, aborted when the user cancels
  std::thread thread_;
};

}  // namespace kelvra::frontend
