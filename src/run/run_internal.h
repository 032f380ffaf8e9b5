// The run with another bound on the remote-configuration download, for the test
// builds of the bootstrapper: the product always runs with kMaxRemoteConfigDownloadTime.
#pragma once

#include <chrono>

namespace kelvra::run::internal {

[[nodiscard]] int runBootstrapperWithin(std::chrono::milliseconds remoteConfigBound);

}  // namespace kelvra::run::internal
