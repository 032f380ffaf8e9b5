#include "core/download_statistics.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(DownloadStatistics, RecordsSpeedsAndRoundsMegabytesHalfToEven) {
  DownloadStatistics statistics;
  statistics.record(1000, 4000, 1.0);
  statistics.record(3000, 4000, 2.0);
  // instant 2000 B/s, average 1500 B/s: 0.1 * 2000 + 0.9 * 1500
  EXPECT_EQ(statistics.speedSnapshots()[0], 1550);
  EXPECT_EQ(statistics.speedSnapshots()[1], 1000);
  EXPECT_EQ(statistics.received(), 3000u);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 / 2), 0);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 + 1048576 / 2), 2);
  EXPECT_EQ(DownloadStatistics::megabytes(1048576 * 3 - 1), 3);
}
