// When a response body arrives too slowly to ever finish: fewer than a minimum of
// bytes in a window of time. A server that trickles a byte every few seconds keeps
// every read within the receive time-out, so only this rule ends such a transfer.
// Platform-free: the caller supplies the clock, in milliseconds.
#pragma once

#include <cstdint>

namespace kelvra::frontend::core {

class StallRule {
 public:
  // A window of windowMs that brings fewer than minimumBytes is a stall; a window
  // of 0 turns the rule off.
  StallRule(std::uint64_t windowMs, std::uint64_t minimumBytes);

  // Begins the first window at nowMs with nothing received yet.
  void start(std::uint64_t nowMs);

  // received is the count of bytes in all by nowMs. True once a window has ended
  // with fewer than the minimum in it; a window that brought enough makes way for
  // the next, which begins now.
  [[nodiscard]] bool stalled(std::uint64_t nowMs, std::uint64_t received);

 private:
  std::uint64_t windowMs_;
  std::uint64_t minimumBytes_;
  std::uint64_t windowStartMs_ = 0;
  std::uint64_t windowStartBytes_ = 0;
};

}  // namespace kelvra::frontend::core
