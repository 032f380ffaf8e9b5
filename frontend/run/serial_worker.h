// One background thread that runs the tasks handed to it one after another, in the
// order they came: the window's thread gives it what it must not wait for itself.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kelvra::frontend {

class SerialWorker {
 public:
  SerialWorker() = default;
  // Runs what is still queued, then ends the thread.
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Queues task; the thread starts with the first one. A task must not throw.
  void post(std::function<void()> task);

  // True when no task is queued or running.
  [[nodiscard]] bool idle() const;

 private:
  void run();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace kelvra::frontend
