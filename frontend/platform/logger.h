// The front end's own log, beside the bootstrapper's in the shared log folder,
// or in the user's own log folder when the shared one can't be used. Logging
// never fails the installer: its own errors are swallowed.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/logging.h"
#include "base/scoped_handle.h"

namespace kelvra::frontend {

class Logger {
 public:
  // A log this run wrote, and its size before the run's first line in it.
  struct RunLog {
    std::wstring path;
    std::uint64_t start = 0;
  };

  // productId is empty when the front end was started without one.
  explicit Logger(std::wstring productId);

  // Appends "[date time] [level] message", the level written as "information",
  // "warning" or "error". Safe from any thread. The first call chooses the
  // folder for the whole run; when that is the user's own, its first line says
  // why.
  void log(const std::wstring& message, base::LogLevel level);

  // The front end's log of this run; an empty path when there is none.
  [[nodiscard]] RunLog ownLog();
  // The bootstrapper's log of this run, as the bootstrapper that started us
  // named it in the environment when that is one of the two places a log may
  // be; without it, the bootstrapper's log beside our own.
  [[nodiscard]] RunLog bootstrapperLog();

  // The shared log folder's bootstrapper log when bootstrapperLog is true,
  // otherwise the front end's.
  [[nodiscard]] static std::wstring logPath(bool bootstrapperLog);
  [[nodiscard]] static std::wstring logFolder();

 private:
  // Called with mutex_ held.
  void chooseFolder();
  void append(const std::wstring& line);

  std::wstring productId_;
  std::mutex mutex_;
  bool chosen_ = false;
  // The shared folders, held for the run when our log is there.
  std::vector<base::ScopedFileHandle> heldFolders_;
  std::wstring folder_;
  std::uint64_t start_ = 0;
};

}  // namespace kelvra::frontend
