// The front end's failures. Unlike the bootstrapper's steps, the front end ends
// every failure in one place, Window::OnError, which picks the error page by kind.
#pragma once

#include <stdexcept>
#include <string>

#include "core/failure_page.h"
#include "driver/utf8.h"

class FrontEndError : public std::runtime_error {
 public:
  FrontEndError(FailureKind kind, std::wstring message)
      : std::runtime_error(toUtf8(message)), kind_(kind), message_(std::move(message)) {}

  [[nodiscard]] FailureKind kind() const { return kind_; }
  [[nodiscard]] const std::wstring& message() const { return message_; }

 private:
  FailureKind kind_;
  std::wstring message_;
};
