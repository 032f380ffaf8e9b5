#include "net/network_log.h"

#include <atomic>

#include "platform/logger.h"

namespace kelvra::frontend {

namespace {
std::atomic<Logger*> networkLogger{nullptr};
}  // namespace

void setNetworkLogger(Logger* logger) { networkLogger = logger; }

void logNetwork(const std::wstring& message, base::LogLevel level) {
  if (Logger* logger = networkLogger.load()) logger->log(message, level);
}

}  // namespace kelvra::frontend
