#include "run/hand_back.h"

namespace kelvra::frontend {

void HandBack::attach(HWND window) {
  std::lock_guard lock(mutex_);
  window_ = window;
}

void HandBack::detach() {
  std::lock_guard lock(mutex_);
  window_ = nullptr;
  tasks_.clear();
}

void HandBack::post(std::function<void()> task) noexcept {
  try {
    std::lock_guard lock(mutex_);
    if (window_ == nullptr) return;
    tasks_.push_back(std::move(task));
    if (tasks_.size() == 1) PostMessageW(window_, kMessage, 0, 0);
  } catch (const std::exception&) {
    // Out of memory: the task is lost, the worker goes on to its end.
  }
}

bool HandBack::runPending(const std::function<void(const std::exception&)>& failed) {
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(mutex_);
    tasks.swap(tasks_);
  }
  for (auto& task : tasks) {
    {
      std::lock_guard lock(mutex_);
      if (window_ == nullptr) break;  // a task closed the window: the rest has nothing to show
    }
    try {
      task();
    } catch (const std::exception& error) {
      failed(error);
    }
  }
  return !tasks.empty();
}

}  // namespace kelvra::frontend
