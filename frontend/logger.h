// The front end's own log, beside the bootstrapper's in the common application
// data folder. Logging never fails the installer: its own errors are swallowed.
#pragma once

#include <mutex>
#include <string>

namespace kelvra::frontend {

class Logger {
 public:
  // productId is empty when the front end was started without one.
  explicit Logger(std::wstring productId);

  // Appends "[date time] [level] message"; level is "information", "warning" or "error".
  // Safe from any thread.
  void log(const std::wstring& message, const std::wstring& level);

  // The bootstrapper's log when bootstrapperLog is true, otherwise the front end's.
  [[nodiscard]] static std::wstring GetLogPath(bool bootstrapperLog);
  [[nodiscard]] static std::wstring GetLogFolder();

 private:
  std::wstring productId_;
  std::mutex mutex_;
};

}  // namespace kelvra::frontend
