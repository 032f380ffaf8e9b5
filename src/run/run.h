// One run of the bootstrapper, from the log folder check to the exit code.
#pragma once

namespace kelvra::run {

// Returns the process exit code: 0 when the client is found installed after the
// front end exited with 0, 1 otherwise.
[[nodiscard]] int runBootstrapper();

}  // namespace kelvra::run
