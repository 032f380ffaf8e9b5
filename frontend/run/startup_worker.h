// The start-up's part that waits on files and servers: the campaign, the remote
// configuration and the started event, on a thread of its own, while the window
// shows its busy initialisation page and answers.
#pragma once

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

class StartupWorker {
 public:
  // Each is called on the worker and must only hand over (it must not wait).
  struct Calls {
    std::function<void()> configurationFetched;         // before the started event
    std::function<void(const std::exception&)> failed;  // unless the start-up was cancelled
    std::function<void(bool succeeded)> finished;       // the worker's last act
  };

  // The worker fills state's campaign and configuration fields; everything passed
  // must outlive it.
  StartupWorker(const std::wstring& folder, const FrontEndSettings& settings, RunState& state, Logger& logger,
                Reports& reports, Calls calls);
  // Waits for the worker.
  ~StartupWorker();
  StartupWorker(const StartupWorker&) = delete;
  StartupWorker& operator=(const StartupWorker&) = delete;

  void start();
  // Until its last act.
  [[nodiscard]] bool running() const { return running_; }

  // Aborts what the worker waits on; it ends within moments and hands back as usual.
  void cancel();
  [[nodiscard]] bool cancelled() const { return cancelled_; }

 private:
  void run();
  void readCampaignFile();
  void fetchConfiguration();

  const std::wstring& folder_;
  const FrontEndSettings& settings_;
  RunState& state_;
  Logger& logger_;
  Reports& reports_;
  Calls calls_;
  std::atomic<bool> running_{false};
  std::atomic<bool> cancelled_{false};
  HttpAbortGroup exchanges_;  // what the worker waits on, aborted when the user cancels
  std::thread thread_;
};

}  // namespace kelvra::frontend
