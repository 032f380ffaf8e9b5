// Where the HTTP client's own lines go (the route of each request, the protocols
// that took, proxy troubles): the front end's log once the window has set it;
// before that, and in tests that set none, nowhere.
#pragma once

#include <string>

#include "base/logging.h"

namespace kelvra::frontend {

class Logger;

// logger outlives every client that may log, or is reset to null first.
void setNetworkLogger(Logger* logger);

void logNetwork(const std::wstring& message, base::LogLevel level);

// Sets the network's logger for its own lifetime; a member declared after the
// logger and before the workers whose clients log.
class NetworkLogScope {
 public:
  explicit NetworkLogScope(Logger& logger) { setNetworkLogger(&logger); }
  ~NetworkLogScope() { setNetworkLogger(nullptr); }
  NetworkLogScope(const NetworkLogScope&) = delete;
  NetworkLogScope& operator=(const NetworkLogScope&) = delete;
};

}  // namespace kelvra::frontend
