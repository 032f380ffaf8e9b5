// The front end's own log, beside the bootstrapper's in the common application
// data folder. Logging never fails the installer: its own errors are swallowed.
#pragma once

#include <mutex>
#include <string>

#include "base/logging.h"

namespace kelvra::frontend {

class Logger {
 public:
  // productId is empty when the front end was started without one.
  explicit Logger(std::wstring productId);

  // Appends "[date time] [level] message", the level written as "information",
  // "warning" or "error". Safe from any thread.
  void log(const std::wstring& message, base::LogLevel level);

  // The bootstrapper's log when bootstrapperLog is true, otherwise the front end's.
  [[nodiscard]] static std::wstring logPath(bool bootstrapperLog);
  [[nodiscard]] static std::wstring logFolder();

 private:
  std::wstring productId_;
  std::mutex mutex_;
};

}  // namespace kelvra::frontend
