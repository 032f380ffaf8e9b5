// A fileLogger that writes into a test's own folder, so tests can read what the
// code under test logged. Dropped from the registry when the test ends.
#pragma once

#include <string>
#include <vector>

#include "base/file_logger.h"
#include "base/file_logger_internal.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

class TestLog {
 public:
  explicit TestLog(const TempFolder& folder, std::size_t maxSize = 5242880)
      : path_(folder / L"test.log"),
        logger_(kelvra::base::createFileLogger(kelvra::base::kFileLoggerName, path_, maxSize, 3)) {}
  ~TestLog() { kelvra::base::internal::dropLogger(kelvra::base::kFileLoggerName); }
  TestLog(const TestLog&) = delete;
  TestLog& operator=(const TestLog&) = delete;

  [[nodiscard]] const kelvra::base::LoggerHandle& logger() const { return logger_; }
  [[nodiscard]] const std::wstring& path() const { return path_; }
  // The messages logged so far, without the time stamp, name and CR LF: "[level] message".
  [[nodiscard]] std::vector<std::string> messages() const {
    std::vector<std::string> result;
    for (std::string line : splitLines(readFileBytes(path_))) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t levelStart = line.find("] [", line.find("] [") + 1);
      result.push_back(levelStart == std::string::npos ? line : line.substr(levelStart + 2));
    }
    return result;
  }

 private:
  std::wstring path_;
  kelvra::base::LoggerHandle logger_;
};
