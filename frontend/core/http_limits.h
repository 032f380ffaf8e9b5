// How long the front end waits on a server and how much it takes from one, in
// every exchange, and how long it pauses between the setup download's tries.
// Platform-free, so that the product's values can be checked natively too.
#pragma once

#include <cstdint>

namespace kelvra::frontend::core {

// The defaults are the product's; only a test build sets others
// (tests/tools/frontend_test_host.cpp).
struct HttpLimits {
  int resolveTimeoutMs = 30000;
  int connectTimeoutMs = 30000;
  int sendTimeoutMs = 30000;
  // For each wait on the server's answer, headers and every part of the body.
  int receiveTimeoutMs = 60000;
  // A body that brings fewer than stallMinimumBytes in any stallWindowMs is given
  // up: 64 KiB a minute would take days for the setup, so no real download is
  // that slow, while a server that trickles stays under the receive time-out.
  std::uint64_t stallWindowMs = 60000;
  std::uint64_t stallMinimumBytes = 64 * 1024;
  // The client setup is a few hundred MiB at most; a body without end, or a length
  // announced beyond this, must not fill the disk. Room for the setup to grow to
  // twice its size and more before anyone has to touch this.
  std::uint64_t maxDownloadBytes = 1024ull * 1024 * 1024;
  // The pause before the download's second try; each later one is twice the last.
  std::uint64_t firstRetryPauseMs = 1000;
};

}  // namespace kelvra::frontend::core
