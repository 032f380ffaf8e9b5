#include "core/stall_rule.h"

namespace kelvra::frontend::core {

StallRule::StallRule(std::uint64_t windowMs, std::uint64_t minimumBytes)
    : windowMs_(windowMs), minimumBytes_(minimumBytes) {}

void StallRule::start(std::uint64_t nowMs) {
  windowStartMs_ = nowMs;
  windowStartBytes_ = 0;
}

bool StallRule::stalled(std::uint64_t nowMs, std::uint64_t received) {
  if (windowMs_ == 0 || nowMs < windowStartMs_ || nowMs - windowStartMs_ < windowMs_) return false;
  // A count that went backwards is no progress.
  const std::uint64_t brought = received > windowStartBytes_ ? received - windowStartBytes_ : 0;
  if (brought < minimumBytes_) return true;
  windowStartMs_ = nowMs;
  windowStartBytes_ = received;
  return false;
}

}  // namespace kelvra::frontend::core
