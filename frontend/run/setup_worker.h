// The client setup: its command line, the digest and signer checks, the launch
// through the shell and the wait, on a thread of its own.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "base/scoped_handle.h"
#include "platform/logger.h"
#include "run/reports.h"
#include "run/run_state.h"

namespace kelvra::frontend {

class SetupWorker {
 public:
  // Each is called on the worker, which then ends.
  struct Calls {
    std::function<void(int exitCode)> finished;         // the setup ran and ended with exitCode
    std::function<void(const std::exception&)> failed;  // it could not be checked or started
  };

  // state, logger and reports must outlive the worker.
  SetupWorker(const std::wstring& folder, const RunState& state, Logger& logger, Reports& reports, Calls calls);
  ~SetupWorker();
  SetupWorker(const SetupWorker&) = delete;
  SetupWorker& operator=(const SetupWorker&) = delete;

  // Window thread: checks and runs the setup file at path; owner is the consent
  // prompt's window.
  void start(const std::wstring& path, HWND owner);
  // Window thread: waits for the worker, which has finished.
  void join();

 private:
  void run(const std::wstring& path, HWND owner);
  // The setup file opened for the checks and held until the setup runs; throws the
  // read failure.
  static base::ScopedFileHandle openSetup(const std::wstring& path);
  // Throws the digest-mismatch failure (after logging which digest) or an I/O one.
  void checkSetupDigests(HANDLE setup, const std::wstring& path);
  // Throws the signer failure unless the maker signed the setup; logs the signer.
  void checkSetupSigner(HANDLE setup, const std::wstring& path);

  const std::wstring& folder_;
  const RunState& state_;
  Logger& logger_;
  Reports& reports_;
  Calls calls_;
  std::thread thread_;
};

}  // namespace kelvra::frontend
