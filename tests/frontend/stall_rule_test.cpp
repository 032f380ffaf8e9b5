#include "core/stall_rule.h"

#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

namespace {

// The rule fed (time, bytes in all) pairs; the index of the first one judged
// stalled, or -1.
int firstStall(StallRule rule, std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> arrivals) {
  rule.start(1000);
  int index = 0;
  for (const auto& [nowMs, received] : arrivals) {
    if (rule.stalled(nowMs, received)) return index;
    ++index;
  }
  return -1;
}

}  // namespace

TEST(StallRule, TricklesAndSilencesStallWhileSlowButRealTransfersGoOn) {
  const StallRule rule(60000, 65536);
  // A byte every five seconds: the first window's end finds 12 bytes.
  EXPECT_EQ(firstStall(rule, {{6000, 1}, {31000, 6}, {60999, 12}, {61000, 12}, {66000, 13}}), 3);
  // Nothing within the window, then one late piece: too little, however it ends.
  EXPECT_EQ(firstStall(rule, {{90000, 65535}}), 0);
  // Exactly the minimum in each window keeps it going, window after window.
  EXPECT_EQ(firstStall(rule, {{61000, 65536}, {121000, 131072}, {181000, 196608}}), -1);
  // Enough early on does not carry a later window that brings too little.
  EXPECT_EQ(firstStall(rule, {{2000, 10000000}, {61000, 10000000}, {100000, 10000001}, {121000, 10000002}}), 3);
  // Before a window has passed nothing is judged, even with nothing received.
  EXPECT_EQ(firstStall(rule, {{1000, 0}, {60999, 0}}), -1);
  // A clock that went back judges nothing.
  EXPECT_EQ(firstStall(rule, {{500, 0}}), -1);
  // A window of 0 turns the rule off.
  EXPECT_EQ(firstStall(StallRule(0, 65536), {{1000000, 0}}), -1);
}
