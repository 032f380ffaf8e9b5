// Scope exit for what is not a handle: calls its callable exactly once when it is
// destroyed. Never copied or moved, so the call can't happen twice or too early.
#pragma once

#include <functional>
#include <utility>

namespace kelvra::base {

class ExitGuard {
 public:
  explicit ExitGuard(std::function<void()> onExit) : onExit_(std::move(onExit)) {}
  ~ExitGuard() {
    // The guard runs on every way out of a run; nothing may escape from it.
    try {
      if (onExit_) onExit_();
    } catch (...) {
    }
  }
  ExitGuard(const ExitGuard&) = delete;
  ExitGuard& operator=(const ExitGuard&) = delete;
  ExitGuard(ExitGuard&&) = delete;
  ExitGuard& operator=(ExitGuard&&) = delete;

 private:
  std::function<void()> onExit_;
};

}  // namespace kelvra::base
