// The hand-off with a real child process: the stand-in front end of the tests,
// started through the shell the way the bootstrapper starts the real one.
#include "handoff/front_end_launch.h"

#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "handoff/front_end_launch_internal.h"
#include "support/child_process.h"
#include "support/scoped_environment.h"
#include "support/test_log.h"
#include "tools/standin_frontend.h"

using namespace kelvra::base;
using namespace kelvra::handoff;

namespace {

// The stand-in's report: every value of each key, in order.
std::map<std::string, std::vector<std::string>> readReport(const std::wstring& path) {
  std::map<std::string, std::vector<std::string>> report;
  for (const std::string& line : splitLines(readFileBytes(path))) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)].push_back(line.substr(equals + 1));
  }
  return report;
}

// A process object outlives its exit for as long as anyone holds a handle to it;
// Wine takes a moment to tear an exited process down even when nobody does.
bool processObjectGone(DWORD processId) {
  for (int waited = 0; waited < 5000; waited += 50) {
    if (!ScopedKernelHandle(OpenProcess(SYNCHRONIZE, FALSE, processId))) return true;
    Sleep(50);
  }
  return false;
}

// Answers the first message box that shows up, as a user would.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(const std::wstring& record)
      : process_(startProcess(L"\"" + programFolder() + L"\\notice_watcher.exe\" \"" + record + L"\" 60000").handle) {}
  ~BoxAnswerer() {
    if (process_ && WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
  }
  [[nodiscard]] bool started() const { return process_.valid(); }

 private:
  ScopedKernelHandle process_;
};

class FrontEndLaunchTest : public LoggedTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((programFolder() + L"\\standin_frontend.exe").c_str(), frontEnd.c_str(), FALSE));
  }
  [[nodiscard]] std::string launchLine(const std::string& parameters) const {
    return "[info] Executing installer. Path [" + toUtf8(frontEnd) + "], params [" + parameters + "].";
  }
  [[nodiscard]] std::map<std::string, std::vector<std::string>> report() const { return readReport(reportPath); }
  [[nodiscard]] DWORD reportedProcessId() const {
    const auto ids = report()["processId"];
    return ids.empty() ? 0 : static_cast<DWORD>(std::stoul(ids[0]));
  }

  const std::wstring frontEnd = folder / L"KelvraInstaller.exe";
  const std::wstring reportPath = folder / L"report.txt";
  ScopedEnvironmentVariable reportVariable{kStandinReportVariable, reportPath};
};

}  // namespace

TEST_F(FrontEndLaunchTest, OnlyExitCodeZeroCountsAsSuccess) {
  const struct {
    const wchar_t* exitCode;
    bool failed;
  } cases[] = {{L"0", false}, {L"1", true}, {L"256", true}, {L"0x80000000", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.exitCode));
    DeleteFileW(reportPath.c_str());
    const ScopedEnvironmentVariable exitCode(kStandinExitCodeVariable, c.exitCode);
    EXPECT_EQ(launchFrontEnd(frontEnd, L"", L""), c.failed);
    // A nonzero exit is the caller's to report.
    EXPECT_EQ(log.messages().back(), launchLine(""));
    const DWORD processId = reportedProcessId();
    ASSERT_NE(processId, 0u);
    EXPECT_TRUE(processObjectGone(processId)) << "the process handle was left open";
  }
  EXPECT_EQ(log.messages().size(), std::size(cases));
}

TEST_F(FrontEndLaunchTest, FrontEndStartsWithoutArgumentsInOurCurrentFolder) {
  ASSERT_FALSE(launchFrontEnd(frontEnd, L"", L""));
  wchar_t current[MAX_PATH] = {};
  const std::wstring ourFolder(current, GetCurrentDirectoryW(MAX_PATH, current));
  const auto seen = report();
  EXPECT_EQ(seen.count("argument"), 0u);
  ASSERT_EQ(seen.at("currentDirectory").size(), 1u);
  EXPECT_EQ(seen.at("currentDirectory")[0], toUtf8(ourFolder));
  EXPECT_EQ(seen.at("executable")[0], toUtf8(frontEnd));
}

TEST_F(FrontEndLaunchTest, ExtraArgumentArrivesAsOneArgument) {
  ASSERT_FALSE(launchFrontEnd(frontEnd, L"", L"two words"));
  EXPECT_EQ(report()["argument"], std::vector<std::string>{"two words"});
  EXPECT_EQ(log.messages(), std::vector<std::string>{launchLine(" \"two words\"")});
}

TEST_F(FrontEndLaunchTest, MissingFrontEndFailsWithTheShellError) {
  const std::wstring missing = folder / L"missing\\KelvraInstaller.exe";
  // The shell shows its own error box first; someone has to answer it.
  const BoxAnswerer answerer(folder / L"box.json");
  ASSERT_TRUE(answerer.started());
  EXPECT_TRUE(launchFrontEnd(missing, L"", L""));
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "[info] Executing installer. Path [" + toUtf8(missing) + "], params [].");
  EXPECT_TRUE(std::regex_match(messages[1], std::regex(R"(\[error\] ShellExecuteEx failed\. Error code \d+\.)")))
      << messages[1];
  EXPECT_TRUE(fileExists(folder / L"box.json")) << "the shell's error box was answered";
}

// The checks below start the stand-in themselves and hand its handle over.
TEST_F(FrontEndLaunchTest, StartJudgedByHInstAppAsASignedNumber) {
  const struct {
    INT_PTR instApp;
    bool failed;
    const char* shownAs;
  } cases[] = {{33, false, nullptr}, {32, true, "32"}, {0, true, "0"}, {-5, true, "-5"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.instApp);
    const std::wstring parameters;
    SHELLEXECUTEINFOW record = kelvra::handoff::internal::makeLaunchRecord(frontEnd, parameters);
    ASSERT_TRUE(ShellExecuteExW(&record));
    const ScopedKernelHandle process(record.hProcess);
    const std::size_t before = log.messages().size();
    EXPECT_EQ(kelvra::handoff::internal::awaitFrontEnd(frontEnd, reinterpret_cast<HINSTANCE>(c.instApp), process.get()),
              c.failed);
    // Judged only after the front end has gone.
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
    const auto messages = log.messages();
    if (c.shownAs == nullptr) {
      EXPECT_EQ(messages.size(), before);
      continue;
    }
    ASSERT_EQ(messages.size(), before + 1);
    const std::string prefix =
        "[error] Executing installer at path [" + toUtf8(frontEnd) + "] failed. Error code 1) " + c.shownAs + " 2) ";
    EXPECT_EQ(messages.back().rfind(prefix, 0), 0u) << messages.back();
    EXPECT_TRUE(std::regex_match(messages.back().substr(prefix.size()), std::regex(R"(\d+\.)"))) << messages.back();
  }
}

TEST_F(FrontEndLaunchTest, UnreadableExitCodeCountsAsFailure) {
  const std::wstring parameters;
  SHELLEXECUTEINFOW record = kelvra::handoff::internal::makeLaunchRecord(frontEnd, parameters);
  ASSERT_TRUE(ShellExecuteExW(&record));
  const ScopedKernelHandle process(record.hProcess);
  HANDLE waitOnly = nullptr;
  ASSERT_TRUE(
      DuplicateHandle(GetCurrentProcess(), process.get(), GetCurrentProcess(), &waitOnly, SYNCHRONIZE, FALSE, 0));
  const ScopedKernelHandle limited(waitOnly);
  EXPECT_TRUE(kelvra::handoff::internal::awaitFrontEnd(frontEnd, record.hInstApp, limited.get()));
  EXPECT_EQ(log.messages(),
            std::vector<std::string>{"[error] Failed to read the installer's exit code. Error code 5."});
  DWORD exitCode = 1;
  ASSERT_TRUE(GetExitCodeProcess(process.get(), &exitCode));
  EXPECT_EQ(exitCode, 0u) << "the front end itself succeeded";
}

TEST_F(FrontEndLaunchTest, OpenHandleKeepsTheProcessObject) {
  // Shows that the handle check above can see a leak.
  const std::wstring parameters;
  SHELLEXECUTEINFOW record = kelvra::handoff::internal::makeLaunchRecord(frontEnd, parameters);
  ASSERT_TRUE(ShellExecuteExW(&record));
  ScopedKernelHandle process(record.hProcess);
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  const DWORD processId = reportedProcessId();
  EXPECT_FALSE(processObjectGone(processId));
  process.reset();
  EXPECT_TRUE(processObjectGone(processId));
}
