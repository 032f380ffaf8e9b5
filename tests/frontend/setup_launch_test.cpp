// The client setup started through the shell: the real ShellExecuteExW with the
// setup stand-in, and the answers that only Windows gives (a declined consent
// prompt, error 740 for a setup that needs elevation) played by a substitute.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "core/failure_page.h"
#include "platform/frontend_error.h"
#include "run/setup_launch_internal.h"
#include "support/child_process.h"
#include "support/file_contents.h"
#include "support/scoped_environment.h"
#include "support/temp_folder.h"

using namespace kelvra::base;
using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

namespace {

using internal::runSetupProgram;
using internal::SetupLaunchRequest;
using internal::SetupRun;

// CreateProcess's answer for a program that needs elevation (MinGW's headers lack the name).
constexpr DWORD kErrorElevationRequired = 740;
constexpr wchar_t kArguments[] = L"/lang=en_US /campaign=\"eyJpZCI6IDd9\"";

// What the shell was asked, copied while the request's strings still live.
struct ShellRequest {
  ULONG mask = 0;
  HWND owner = nullptr;
  std::wstring verb, file, parameters, directory;
};

ShellRequest copyOf(const SHELLEXECUTEINFOW& record) {
  auto text = [](const wchar_t* value) { return value ? std::wstring(value) : std::wstring(L"(null)"); };
  return {record.fMask,
          record.hwnd,
          text(record.lpVerb),
          text(record.lpFile),
          text(record.lpParameters),
          text(record.lpDirectory)};
}

// The setup stand-in as KelvraSetup.exe in a folder whose name has a blank, so that
// a wrong split of program and arguments shows.
class SetupLaunchTest : public FolderTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((programFolder() + L"\\client_setup_standin.exe").c_str(), program.c_str(), TRUE));
  }

  [[nodiscard]] SetupRun run(const internal::ShellExecuteFunction& shell) {
    return runSetupProgram(SetupLaunchRequest{program, kArguments, directory, nullptr}, shell,
                           [this] { ++startedReports; });
  }

  std::wstring directory = folder / L"working folder";
  std::wstring program = directory + L"\\KelvraSetup.exe";
  std::wstring record = folder / L"setup.jsonl";
  ScopedEnvironmentVariable recordTo{L"KELVRA_SETUP_RECORD", record};
  int startedReports = 0;
};

// The real shell under Wine, which grants what the manifest asks without a prompt:
// the exact arguments and folder reach the setup, its exit code comes back, and the
// process handle is closed.
TEST_F(SetupLaunchTest, TheShellStartsTheSetupAndItsExitCodePassesThrough) {
  for (const int exitCode : {0, 2, 7}) {
    SCOPED_TRACE(exitCode);
    DeleteFileW(record.c_str());
    const ScopedEnvironmentVariable exitWith(L"KELVRA_SETUP_EXIT", std::to_wstring(exitCode));
    ShellRequest asked;
    HANDLE process = nullptr;
    const SetupRun result = run([&](SHELLEXECUTEINFOW* info) {
      asked = copyOf(*info);
      const BOOL started = ShellExecuteExW(info);
      process = info->hProcess;
      return started;
    });
    EXPECT_EQ(result.exitCode, exitCode);
    EXPECT_FALSE(result.promptDeclined);
    EXPECT_EQ(startedReports, 1);
    startedReports = 0;
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(process, &flags)) << "the process handle is left open";

    EXPECT_EQ(asked.mask & (SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC), SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC);
    EXPECT_EQ(asked.verb, L"(null)") << "the default verb, which elevates as the program's manifest asks";
    const nlohmann::json started = nlohmann::json::parse(readFileBytes(record));
    EXPECT_EQ(
        started,
        nlohmann::json({{"commandLine", toUtf8(kArguments)}, {"exe", toUtf8(program)}, {"cwd", toUtf8(directory)}}));
  }
}

// The front end holds the setup open, sharing reading only, from its checks until it
// runs: meanwhile nobody can write, rename or delete it, and the shell still starts it.
TEST_F(SetupLaunchTest, ASetupHeldOpenForItsChecksCantBeSwappedAndStillStarts) {
  ScopedFileHandle held(
      CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const DWORD anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const ScopedFileHandle writer(
      CreateFileW(program.c_str(), GENERIC_WRITE, anySharing, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(MoveFileW(program.c_str(), (program + L".old").c_str())) << "renamed while held";
  EXPECT_FALSE(DeleteFileW(program.c_str())) << "deleted while held";

  const SetupRun result = run([](SHELLEXECUTEINFOW* info) { return ShellExecuteExW(info); });
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(startedReports, 1);
  EXPECT_TRUE(fileExists(record)) << "the setup did not run";
}

struct ShellAnswer {
  const char* name;
  DWORD error;  // what GetLastError says after the shell's FALSE
  bool declined;
  std::wstring messageEnd;  // of the unexpected failure; empty when there is none
};

// What the front end makes of each refusal. A declined prompt is the setup's own
// elevation refusal (exit code 2: the elevation report, the setup deleted, the
// front end ends with 2); every other error, error 2 (file not found) included,
// is an unexpected failure with its code: the unexpected-error page and report.
TEST_F(SetupLaunchTest, TheShellsRefusalsEndAsTheFrontEndPromises) {
  const std::vector<ShellAnswer> answers = {
      {"declined consent prompt", ERROR_CANCELLED, true, L""},
      {"elevation needed (CreateProcess's answer)", kErrorElevationRequired, false, L"Error code 740."},
      {"setup missing", ERROR_FILE_NOT_FOUND, false, L"Error code 2."},
      {"not a program", ERROR_BAD_EXE_FORMAT, false, L"Error code 193."},
  };
  for (const ShellAnswer& answer : answers) {
    SCOPED_TRACE(answer.name);
    startedReports = 0;
    ShellRequest asked;
    const auto refuse = [&](SHELLEXECUTEINFOW* info) {
      asked = copyOf(*info);
      SetLastError(answer.error);
      return FALSE;
    };
    if (answer.declined) {
      const SetupRun result = run(refuse);
      EXPECT_EQ(result.exitCode, internal::kSetupElevationDenied);
      EXPECT_TRUE(result.promptDeclined);
      EXPECT_EQ(startedReports, 1) << "the download's completion is reported as when the setup refuses itself";
    } else {
      try {
        (void)run(refuse);
        ADD_FAILURE() << "no failure";
      } catch (const FrontEndError& error) {
        EXPECT_EQ(error.kind(), FailureKind::unexpected);
        EXPECT_EQ(error.message(), L"Could not start the client setup '" + program + L"'. " + answer.messageEnd);
        const FailureOutcome outcome = describeFailure(error.kind(), error.windowsError(), L"", L"");
        EXPECT_EQ(outcome.page.textKey, L"errorUnexpected");
        EXPECT_EQ(outcome.reportMessage, L"Unexpected Error");
      }
      EXPECT_EQ(startedReports, 0);
    }
    EXPECT_EQ(asked.file, program);
    EXPECT_EQ(asked.parameters, kArguments);
    EXPECT_EQ(asked.directory, directory);
    EXPECT_FALSE(fileExists(record)) << "nothing ran";
  }
}

// A shell that says yes but hands back no process leaves nothing to wait for.
TEST_F(SetupLaunchTest, SuccessWithoutAProcessIsAnUnexpectedFailure) {
  EXPECT_THROW((void)run([](SHELLEXECUTEINFOW* info) {
                 info->hProcess = nullptr;
                 return TRUE;
               }),
               FrontEndError);
  EXPECT_EQ(startedReports, 0);
}

}  // namespace
