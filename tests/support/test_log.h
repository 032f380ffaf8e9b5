// What the code under test logged: the fileLogger in a test's own folder (dropped
// when the test ends), and the lines any log file gains while a test runs.
#pragma once

#include <string>
#include <vector>

#include "base/file_logger.h"
#include "base/file_logger_internal.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

// A log's messages, as logMessages gives them.
using Lines = std::vector<std::string>;

// "[level] message" for each line of a log's text: without the time stamp, the
// file logger's name and the CR LF.
inline std::vector<std::string> logMessages(const std::string& text) {
  const std::string loggerName = std::string("[") + kelvra::base::kFileLoggerName + "] ";
  std::vector<std::string> messages;
  for (std::string line : splitLines(text)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const std::size_t timeEnd = line.find("] "); line.starts_with('[') && timeEnd != std::string::npos) {
      line.erase(0, timeEnd + 2);
    }
    if (line.starts_with(loggerName)) line.erase(0, loggerName.size());
    if (!line.empty()) messages.push_back(line);
  }
  return messages;
}

// What a log file gains from now on (the file need not exist yet); messages() then
// gives what came after the last call.
class LogTail {
 public:
  explicit LogTail(std::wstring path) : path_(std::move(path)), start_(readFileBytes(path_).size()) {}
  [[nodiscard]] std::string text() const { return readFileBytes(path_).substr(start_); }
  std::vector<std::string> messages() {
    const std::string added = text();
    start_ += added.size();
    return logMessages(added);
  }

 private:
  std::wstring path_;
  std::size_t start_;
};

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
  [[nodiscard]] std::vector<std::string> messages() const { return logMessages(readFileBytes(path_)); }

 private:
  std::wstring path_;
  kelvra::base::LoggerHandle logger_;
};

// A test with a folder of its own and the file logger writing into it.
class LoggedTest : public FolderTest {
 protected:
  TestLog log{folder};
};
