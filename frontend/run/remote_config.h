// The remote configuration as the front end fetches it: the file the bootstrapper
// left beside the executable, or a download from the remote-configuration service.
#pragma once

#include <string>

#include "core/remote_config_record.h"
#include "net/http_abort_group.h"
#include "net/http_client.h"

namespace kelvra::frontend {

class Logger;

struct RemoteConfigInputs {
  std::wstring folder;                  // where remoteconfig.json is looked for, no trailing backslash
  std::wstring host;                    // remote-configuration host, with an optional ":port"
  std::wstring productId;               // empty without one
  std::wstring configVersion;           // contract::kRemoteConfigVersion
  core::HttpLimits network;             // for the download
  HttpAbortGroup* exchanges = nullptr;  // stops the download when aborted; may be null
};

// Fills location with the file's path (or, once it downloads, the address) before
// anything can fail, then config. Throws FrontEndError: outdated for a
// configuration marked deprecated, remoteConfig when none could be read or
// parsed (config is then the empty record, and the cause has been logged). A
// download stopped through exchanges throws the same failure without logging it:
// the user gave it up, it did not fail.
void fetchRemoteConfig(const RemoteConfigInputs& inputs, Logger& logger, std::wstring& location,
                       core::RemoteConfigRecord& config);

}  // namespace kelvra::frontend
