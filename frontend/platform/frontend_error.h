// The front end's failures. Unlike the bootstrapper's steps, the front end ends
// every failure in one place, FrontEndRun::fail, which picks the error page by kind.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "base/utf8.h"
#include "core/failure_page.h"

namespace kelvra::frontend {

class FrontEndError : public std::runtime_error {
 public:
  // windowsError: the code of the call that failed, 0 when there was none.
  // downloadTries: how often the setup download was tried, when it failed.
  FrontEndError(core::FailureKind kind, std::wstring message, std::uint32_t windowsError = 0, int downloadTries = 1)
      : std::runtime_error(base::toUtf8(message)),
        kind_(kind),
        message_(std::move(message)),
        windowsError_(windowsError),
        downloadTries_(downloadTries) {}

  [[nodiscard]] core::FailureKind kind() const { return kind_; }
  [[nodiscard]] const std::wstring& message() const { return message_; }
  [[nodiscard]] std::uint32_t windowsError() const { return windowsError_; }
  [[nodiscard]] int downloadTries() const { return downloadTries_; }

 private:
  core::FailureKind kind_;
  std::wstring message_;
  std::uint32_t windowsError_;
  int downloadTries_;
};

}  // namespace kelvra::frontend
