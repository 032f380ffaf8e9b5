// The client setup: its command line, the digest and signer checks, the launch
// through the shell and the wait, on a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "base/scoped_handle.h"
#include "platform/logger.h"
#include "run/reports.h"
#include "run/run_state.h"
#include "run/setup_file.h"

namespace kelvra::frontend {

class SetupWorker {
 public:
  // Each is called on the worker as its last act and must only hand over.
  struct Calls {
    std::function<void(int exitCode)> finished;         // the setup ran and ended with exitCode
    std::function<void(const std::exception&)> failed;  // it could not be checked or started
  };

  // state, logger and reports must outlive the worker.
  SetupWorker(const std::wstring& folder, const RunState& state, Logger& logger, Reports& reports, Calls calls);
  ~SetupWorker();
  SetupWorker(const SetupWorker&) = delete;
  SetupWorker& operator=(const SetupWorker&) = delete;

  // Checks and runs the setup file, which must outlive the worker; owner is the
  // consent prompt's window. Once per worker.
  void start(const SetupFile& file, HWND owner);
  // Until its last act.
  [[nodiscard]] bool running() const { return running_; }

 private:
  void run(const SetupFile& file, HWND owner);
  [[nodiscard]] std::wstring commandLine() const;
  // Throws the digest-mismatch failure (after logging which digest) or an I/O one.
  void checkSetupDigests(HANDLE setup, const SetupFile& file);
  // Throws the signer failure unless the maker signed the setup; logs the signer.
  void checkSetupSigner(HANDLE setup, const std::wstring& path);

  const std::wstring& folder_;
  const RunState& state_;
  Logger& logger_;
  Reports& reports_;
  Calls calls_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace kelvra::frontend
