// The one way back to the window's thread: a worker queues a task here, and one
// private message wakes the window's thread to run the queue. The message carries
// nothing, so another program that posts it only makes the window look at an
// empty queue.
#pragma once

#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace kelvra::frontend {

class HandBack {
 public:
  static constexpr UINT kMessage = WM_APP + 1;

  // Window thread, before any worker starts: the window that kMessage wakes.
  void attach(HWND window);
  // Window thread, once the window is gone: later tasks are dropped.
  void detach();

  // Any thread; never throws (a task that can't be queued is dropped). The window
  // is woken only when the queue was empty, so that each kMessage finds a task.
  void post(std::function<void()> task) noexcept;

  // Window thread, on kMessage: runs the queued tasks in order, handing what one
  // throws to failed. False when the queue was empty: a message nobody here posted.
  [[nodiscard]] bool runPending(const std::function<void(const std::exception&)>& failed);

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  HWND window_ = nullptr;
};

}  // namespace kelvra::frontend
