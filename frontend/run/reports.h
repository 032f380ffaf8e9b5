// Problem reports and events to the maker's services. Each is built and logged on
// the calling thread, then handed to the report worker (so that the window's
// thread never waits on a server) or, from a worker, sent in place. Failures are
// only logged: a report never becomes a failure of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "net/http_abort_group.h"
#include "platform/logger.h"
#include "run/run_state.h"
#include "run/serial_worker.h"

namespace kelvra::frontend {

class Reports {
 public:
  // Sent on the calling worker, which waits; exchanges, when given, may abort it.
  struct InPlace {
    HttpAbortGroup* exchanges = nullptr;
  };

  // settings, state and logger must outlive this object.
  Reports(const FrontEndSettings& settings, const RunState& state, Logger& logger);
  Reports(const Reports&) = delete;
  Reports& operator=(const Reports&) = delete;

  // The problem report with message, or the event named eventName, handed to the
  // report worker; from any thread.
  void sendProblemReport(const std::wstring& message) { deliverProblemReport(message, std::nullopt); }
  void sendEvent(const std::wstring& eventName) { deliverEvent(eventName, std::nullopt); }
  // The same, sent in place.
  void sendProblemReport(const std::wstring& message, InPlace inPlace) { deliverProblemReport(message, inPlace); }
  void sendEvent(const std::wstring& eventName, InPlace inPlace) { deliverEvent(eventName, inPlace); }

  // True when the report worker has nothing queued or running.
  [[nodiscard]] bool idle() const { return worker_.idle(); }
  // Runs task on the report worker once what is queued there has been sent.
  void afterPending(std::function<void()> task) { worker_.post(std::move(task)); }

 private:
  using Exchange = std::function<void(HttpAbortGroup* exchanges)>;

  void deliverProblemReport(const std::wstring& message, const std::optional<InPlace>& inPlace);
  void deliverEvent(const std::wstring& eventName, const std::optional<InPlace>& inPlace);
  void deliver(Exchange exchange, const std::optional<InPlace>& inPlace);
  void postProblemReport(const std::string& body, HttpAbortGroup* exchanges);
  void postEvent(const std::string& body, HttpAbortGroup* exchanges);

  const FrontEndSettings& settings_;
  const RunState& state_;
  Logger& logger_;
  // Last: destroyed first, it sends what is still queued before the members it uses go.
  SerialWorker worker_;
};

}  // namespace kelvra::frontend
