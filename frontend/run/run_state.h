// What one run of the front end knows: the build's settings and the data that the
// start-up gathers and the later steps read. The window owns one of each and lends
// them to its parts; each field is written before the threads that read it start.
#pragma once

#include <string>

#include "contract/remote_config_service.h"
#include "core/http_limits.h"
#include "core/remote_config_record.h"

namespace kelvra::frontend {

struct FrontEndSettings {
  std::wstring remoteConfigHost;  // host, with an optional ":port", of the remote-configuration service
  // Where problem reports (plain http) and events (https) go, each host with an
  // optional ":port"; an empty host sends nothing there.
  std::wstring problemReportHost;
  std::wstring telemetryHost;
  std::wstring telemetryClientNumber;  // the telemetry service's number for this client
  core::HttpLimits network;            // time-outs and the stall rule of every exchange
};

struct RunState {
  std::wstring productId;  // empty without one
  std::wstring gameName;   // empty without one
  std::wstring remoteConfigVersion = contract::kRemoteConfigVersion;
  std::wstring remoteConfigLocation;
  std::wstring downloadUrl;  // the setup's address, set when the download starts
  std::string campaign = "{}";
  std::string encodedCampaign;
  core::RemoteConfigRecord remoteConfig;
};

}  // namespace kelvra::frontend
