#include "core/http_limits.h"

#include <gtest/gtest.h>

#include "core/download_resume.h"

using namespace kelvra::frontend::core;

// The scenario tests drive silent, trickling, endless and dropping servers against
// the test build's shortened waits, lower cap and shorter pauses; the shipped values
// are held here.
TEST(HttpLimits, TheProductWaitsAMinuteTakesAtMostOneGibibyteAndPausesOneTwoAndFourSeconds) {
  const HttpLimits product;
  EXPECT_EQ(product.receiveTimeoutMs, 60000);
  EXPECT_EQ(product.stallWindowMs, 60000u);
  EXPECT_EQ(product.stallMinimumBytes, 65536u);
  EXPECT_EQ(product.maxDownloadBytes, 1073741824u);
  EXPECT_EQ(pauseBeforeTryMs(2, product.firstRetryPauseMs), 1000u);
  EXPECT_EQ(pauseBeforeTryMs(3, product.firstRetryPauseMs), 2000u);
  EXPECT_EQ(pauseBeforeTryMs(4, product.firstRetryPauseMs), 4000u);
}
