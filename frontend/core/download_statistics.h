// Progress figures of the setup download. Platform-free: the caller supplies the
// clock, in seconds since the download started.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvra::frontend::core {

class DownloadStatistics {
 public:
  // Records a progress report: bytes so far and in all (total may be 0 when the
  // server did not say).
  void record(std::uint64_t received, std::uint64_t total, double secondsSinceStart);

  [[nodiscard]] std::uint64_t received() const { return received_; }
  [[nodiscard]] std::uint64_t total() const { return total_; }
  // Recorded speeds in bytes per second, newest first; 0 where none yet.
  [[nodiscard]] const std::array<std::int64_t, 10>& speedSnapshots() const { return snapshots_; }

  // Megabytes (bytes / 1048576) rounded half to even, as the size label shows them.
  [[nodiscard]] static std::int64_t megabytes(std::uint64_t bytes);

 private:
  std::uint64_t received_ = 0;
  std::uint64_t total_ = 0;
  double lastSeconds_ = 0;
  std::array<std::int64_t, 10> snapshots_{};
};

}  // namespace kelvra::frontend::core
