// The start-up worker: the campaign, then the remote configuration, then the
// started event; its failure goes to the run's error handling.
#include "run/startup_worker.h"

#include "run/campaign.h"
#include "run/remote_config.h"

namespace kelvra::frontend {

StartupWorker::StartupWorker(const std::wstring& folder, const FrontEndSettings& settings, RunState& state,
                             Logger& logger, Reports& reports, Calls calls)
    : folder_(folder),
      settings_(settings),
      state_(state),
      logger_(logger),
      reports_(reports),
      calls_(std::move(calls)) {}

StartupWorker::~StartupWorker() {
  if (thread_.joinable()) thread_.join();
}

void StartupWorker::start() {
  running_ = true;
  thread_ = std::thread([this] { run(); });
}

// The campaign, the configuration and the started event, in that order; the last
// thing it does is to hand back.
void StartupWorker::run() {
  bool succeeded = false;
  try {
    readCampaignFile();
    if (!cancelled_) fetchConfiguration();
    if (!cancelled_) {
      calls_.configurationFetched();
      reports_.sendEvent(L"kelvra_download_started", Reports::InPlace{&exchanges_});
    }
    succeeded = true;
  } catch (const std::exception& error) {
    // What the user gave up did not fail.
    if (!cancelled_) calls_.failed(error);
  }
  calls_.finished(succeeded);
  running_ = false;
}

void StartupWorker::cancel() {
  cancelled_ = true;
  exchanges_.abortAll();
}

void StartupWorker::readCampaignFile() {
  if (readCampaign(folder_, logger_, state_.campaign, state_.encodedCampaign) == CampaignReading::unreadable) {
    reports_.sendProblemReport(L"Error loading campaign", Reports::InPlace{&exchanges_});
  }
}

void StartupWorker::fetchConfiguration() {
  const RemoteConfigInputs inputs{folder_,           settings_.remoteConfigHost,
                                  state_.productId,  state_.remoteConfigVersion,
                                  settings_.network, &exchanges_};
  fetchRemoteConfig(inputs, logger_, state_.remoteConfigLocation, state_.remoteConfig);
}

}  // namespace kelvra::frontend
