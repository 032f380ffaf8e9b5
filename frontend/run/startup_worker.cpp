// The start-up worker: the campaign, then the remote configuration, then the
// started event; every failure goes to the window's error handling.
#include "run/startup_worker.h"

#include "run/campaign.h"
#include "run/remote_config.h"

namespace kelvra::frontend {

StartupWorker::StartupWorker(const std::wstring& folder, const FrontEndSettings& settings, RunState& state,
                             Logger& logger, Reports& reports, Calls calls)
    : folder_(folder), settings_(settings), state_(state), logger_(logger), reports_(reports), calls_(std::move(calls)) {}

// A worker still busy is sending the report of its failure, which goes out whole.
StartupWorker::~StartupWorker() {
  if (thread_.joinable()) thread_.join();
}

void StartupWorker::start(HWND window) {
  busy_ = true;
  thread_ = std::thread([this, window] { run(window); });
}

// The campaign, the configuration and the started event, in that order; the last
// thing it does is to hand back to the window's thread.
void StartupWorker::run(HWND window) {
  threadId_ = GetCurrentThreadId();
  bool succeeded = false;
  try {
    readCampaignFile();
    if (!cancelled_) readConfiguration();
    if (!cancelled_) {
      calls_.configurationRead();
      reports_.sendEvent(L"kelvra_download_started");
    }
    succeeded = true;
  } catch (const std::exception& error) {
    // What the user gave up did not fail.
    if (!cancelled_) calls_.failed(error);
  }
  // A later thread may get the same id.
  threadId_ = 0;
  PostMessageW(window, kStartupFinishedMessage, succeeded ? 1 : 0, 0);
}

void StartupWorker::finished() {
  // Its message was the worker's last act.
  if (thread_.joinable()) thread_.join();
  busy_ = false;
}

// The worker ends within moments once what it waits on is aborted; the cancel is
// carried out when it has handed back.
void StartupWorker::cancel() {
  cancelled_ = true;
  exchanges_.abortAll();
}

// The start-up worker's exchanges end when the user cancels the start-up.
HttpAbortGroup* StartupWorker::exchangesOfThisThread() {
  return GetCurrentThreadId() == threadId_ ? &exchanges_ : nullptr;
}

void StartupWorker::readCampaignFile() {
  if (readCampaign(folder_, logger_, state_.campaignPayload, state_.encodedPayload)) {
    reports_.sendProblemReport(L"Error loading campaign");
  }
}

void StartupWorker::readConfiguration() {
  const RemoteConfigInputs inputs{folder_, settings_.remoteConfigHost, state_.productId, state_.remoteConfigVersion,
                                  settings_.network, &exchanges_};
  readRemoteConfig(inputs, logger_, state_.remoteConfigLocation, state_.remoteConfig);
}

}  // namespace kelvra::frontend
