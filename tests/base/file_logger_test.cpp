// The file logger: its line pattern, wide messages as UTF-8, appending and rotation.
#include "base/file_logger.h"

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_logger_internal.h"
#include "base/logging.h"
#include "base/utf8.h"
#include "support/test_log.h"

using namespace kelvra::base;

using FileLoggerTest = FolderTest;

TEST_F(FileLoggerTest, LinesUseTheDefaultPatternWithCrLf) {
  {
    TestLog log(folder);
    logInfo(log.logger(), "Initializing installer bootstrapper.");
    logWarning(log.logger(), "Token size: [{}]", 92);
    logError(log.logger(), L"Creating directory [{}] failed. Error code {}.", std::wstring(L"C:\\x"), 183u);
  }
  const std::string text = readFileBytes(folder / L"test.log");
  const std::regex expected(
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[info\] Initializing installer bootstrapper\.\r\n)"
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[warning\] Token size: \[92\]\r\n)"
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[fileLogger\] \[error\] Creating directory \[C:\\x\] failed\. Error code 183\.\r\n)");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(FileLoggerTest, WideMessagesReachTheFileAsUtf8) {
  TestLog log(folder);
  logInfo(log.logger(), L"Cleaning temporary folder at [{}].", std::wstring(L"C:\\Users\\Björn\\Фёдор\\Temp"));
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_EQ(
      log.messages()[0],
      "[info] Cleaning temporary folder at [C:\\Users\\Bj\xc3\xb6rn\\\xd0\xa4\xd1\x91\xd0\xb4\xd0\xbe\xd1\x80\\Temp].");
}

// A wide message is formatted from UTF-8 pieces: each line must be what formatting
// the wide text whole and converting it gives, for every kind of argument we pass.
TEST_F(FileLoggerTest, WideMessagesMatchTheWholeWideTextConverted) {
  TestLog log(folder);
  std::vector<std::string> expected;
#define LOG_AND_EXPECT(...)           \
  logInfo(log.logger(), __VA_ARGS__); \
  expected.push_back("[info] " + toUtf8(fmt::format(__VA_ARGS__)))

  const std::wstring path = L"C:\\Users\\J\u00fcrgen\\\u65e5\u672c\\Temp";
  const std::wstring empty;
  const wchar_t array[] = L"remoteconfig.json";
  const wchar_t* pointer = L"\u00c4rger \U0001F600";
  const wchar_t loneSurrogate[] = {0xD800, L'x', 0};
  LOG_AND_EXPECT(L"Executing installer. Path [{}], params [{}].", path, empty);
  LOG_AND_EXPECT(L"From {} to {}. Error code {}.", array, pointer, 5ul);
  LOG_AND_EXPECT(L"Failed [{}]. Error code 1) {} 2) {}.", loneSurrogate, static_cast<INT_PTR>(-2), 0x80070005u);
  LOG_AND_EXPECT(L"Culture [{}], letter [{}], {{braces}} \u2603 {:x}", std::wstring(L"zh-Hant"), L'\u00e9', 255);
#undef LOG_AND_EXPECT
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(FileLoggerTest, LaterRunsAppendToTheSameFile) {
  {
    TestLog first(folder);
    logInfo(first.logger(), "first run");
  }
  TestLog second(folder);
  logInfo(second.logger(), "second run");
  EXPECT_EQ(second.messages(), (std::vector<std::string>{"[info] first run", "[info] second run"}));
}

TEST_F(FileLoggerTest, FullFileRotatesToNumberedOlderFiles) {
  const std::wstring path = folder / L"InstallerBootstrapper.log";
  {
    const LoggerHandle logger = createFileLogger(kFileLoggerName, path, 300, 3);
    for (int line = 0; line < 30; ++line) logInfo(logger, "line number {:02}", line);
    kelvra::base::internal::dropLogger(kFileLoggerName);
  }
  EXPECT_TRUE(fileExists(folder / L"InstallerBootstrapper.1.log"));
  EXPECT_TRUE(fileExists(folder / L"InstallerBootstrapper.3.log"));
  EXPECT_FALSE(fileExists(folder / L"InstallerBootstrapper.4.log"));
  const std::string current = readFileBytes(path);
  EXPECT_LE(current.size(), 300u);
  EXPECT_NE(current.find("line number 29"), std::string::npos);
  const std::string newestOlder = readFileBytes(folder / L"InstallerBootstrapper.1.log");
  // The current file begins with the line that no longer fit into the older one.
  const auto firstLine = splitLines(current).front();
  const auto lastOlder = splitLines(newestOlder).back();
  const int firstNumber = std::stoi(firstLine.substr(firstLine.find("number ") + 7));
  const int lastOlderNumber = std::stoi(lastOlder.substr(lastOlder.find("number ") + 7));
  EXPECT_EQ(firstNumber, lastOlderNumber + 1);
}

TEST_F(FileLoggerTest, UnopenableFileStillGivesARegisteredLogger) {
  // A file where the log folder should be: the log file can't be opened.
  writeFileBytes(folder / L"logs", "not a folder");
  const LoggerHandle logger = createFileLogger(kFileLoggerName, folder / L"logs\\x.log", 5242880, 3);
  ASSERT_NE(logger, nullptr);
  EXPECT_EQ(findFileLogger(), logger);
  logError(logger, "goes nowhere");
  EXPECT_EQ(readFileBytes(folder / L"logs"), "not a folder");
  kelvra::base::internal::dropLogger(kFileLoggerName);
}
