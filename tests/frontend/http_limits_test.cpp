#include "core/http_limits.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

// The scenario tests drive silent, trickling and endless servers against the test
// build's shortened waits and lower cap; the shipped values are held here.
TEST(HttpLimits, TheProductWaitsAMinuteAndTakesAtMostOneGibibyte) {
  const HttpLimits product;
  EXPECT_EQ(product.receiveTimeoutMs, 60000);
  EXPECT_EQ(product.stallWindowMs, 60000u);
  EXPECT_EQ(product.stallMinimumBytes, 65536u);
  EXPECT_EQ(product.maxDownloadBytes, 1073741824u);
}
