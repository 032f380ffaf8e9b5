// Problem reports and events to the maker's services. Each is built and logged on
// the calling thread and sent there too, except from the window's thread, which
// hands it to the report worker so that it never waits on a server. Failures are
// only logged: a report never becomes a failure of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "net/http_abort_group.h"
#include "platform/logger.h"
#include "run/run_state.h"
#include "run/serial_worker.h"

namespace kelvra::frontend {

class Reports {
 public:
  // The exchanges of the calling thread that another thread may abort, or null.
  using AbortGroupOfThisThread = std::function<HttpAbortGroup*()>;

  // settings, state and logger must outlive this object; windowThread is the
  // thread whose reports go to the report worker.
  Reports(const FrontEndSettings& settings, const RunState& state, Logger& logger, DWORD windowThread,
          AbortGroupOfThisThread abortGroup);
  Reports(const Reports&) = delete;
  Reports& operator=(const Reports&) = delete;

  // The problem report with message, or the event named eventName; from any thread.
  void sendProblemReport(const std::wstring& message);
  void sendEvent(const std::wstring& eventName);

  // True when the report worker has nothing queued or running.
  [[nodiscard]] bool idle() const { return worker_.idle(); }
  // Runs task on the report worker once what is queued there has been sent.
  void afterPending(std::function<void()> task) { worker_.post(std::move(task)); }

 private:
  void sendOffWindowThread(std::function<void()> exchange);
  void postProblemReport(const std::string& body);
  void postEvent(const std::string& body);

  const FrontEndSettings& settings_;
  const RunState& state_;
  Logger& logger_;
  DWORD windowThread_;
  AbortGroupOfThisThread abortGroup_;
  // Last: destroyed first, it sends what is still queued before the members it uses go.
  SerialWorker worker_;
};

}  // namespace kelvra::frontend
