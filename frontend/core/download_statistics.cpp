#include "core/download_statistics.h"

#include <algorithm>
#include <cmath>

namespace kelvra::frontend::core {

void DownloadStatistics::record(std::uint64_t received, std::uint64_t total, double secondsSinceStart) {
  const double newBytes = received >= received_ ? static_cast<double>(received - received_) : 0.0;
  const double interval = secondsSinceStart - lastSeconds_;
  const double instant = interval > 0 ? newBytes / interval : 0.0;
  const double average = secondsSinceStart > 0 ? static_cast<double>(received) / secondsSinceStart : 0.0;
  std::rotate(snapshots_.rbegin(), snapshots_.rbegin() + 1, snapshots_.rend());
  snapshots_.front() = static_cast<std::int64_t>(std::nearbyint(0.1 * instant + 0.9 * average));
  received_ = received;
  total_ = total;
  lastSeconds_ = secondsSinceStart;
}

std::int64_t DownloadStatistics::megabytes(std::uint64_t bytes) {
  return static_cast<std::int64_t>(std::nearbyint(static_cast<double>(bytes) / 1048576.0));
}

}  // namespace kelvra::frontend::core
