// Stopping one thread's exchanges from another thread: the user cancels the
// start-up while it waits on a server.
#pragma once

#include <mutex>
#include <vector>

namespace kelvra::frontend {

class HttpClient;

// The exchanges of one thread that another thread may have to stop. While a Watch
// lives, abortAll aborts its client; a client watched after abortAll is aborted at
// once, so none slips through between the two threads.
class HttpAbortGroup {
 public:
  class Watch {
   public:
    // A null group watches nothing.
    Watch(HttpAbortGroup* group, HttpClient& client);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    HttpAbortGroup* group_;
    HttpClient& client_;
  };

  void abortAll();
  [[nodiscard]] bool aborted() const;

 private:
  mutable std::mutex mutex_;
  std::vector<HttpClient*> clients_;
  bool aborted_ = false;
};

}  // namespace kelvra::frontend
