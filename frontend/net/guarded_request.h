// The calls of one exchange on its request handle, which abort() may close from
// another thread at any moment: WinHTTP hands a closed handle's value to the next
// handle opened in the process (Wine at once: it gives out the lowest free number),
// so a call made with it afterwards could act on another exchange's request.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <mutex>

#include "base/scoped_internet_handle.h"

namespace kelvra::frontend::internal {

class GuardedRequest {
 public:
  // handle is borrowed from owner, which abort() resets under mutex.
  GuardedRequest(std::mutex& mutex, const base::ScopedInternetHandle& owner, HINTERNET handle)
      : mutex_(mutex), owner_(owner), handle_(handle) {}

  // Makes call(handle) while the handle is open. Once it is closed, fails without
  // touching the value, as a call that the close woke does: FALSE with
  // ERROR_WINHTTP_OPERATION_CANCELLED.
  // One race is left: abort() may close the handle after the check and before
  // WinHTTP has looked the value up, and a handle opened by another thread in those
  // moments would get the call. abort() can't wait for the call to begin: closing is
  // the only way to wake a blocked call, and it can't tell whether the call has begun.
  template <typename Call>
  [[nodiscard]] BOOL call(Call&& winHttpCall) const {
    if (!open()) {
      SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
      return FALSE;
    }
    return winHttpCall(handle_);
  }

 private:
  [[nodiscard]] bool open() const {
    std::lock_guard lock(mutex_);
    return handle_ != nullptr && owner_.get() == handle_;
  }

  std::mutex& mutex_;
  const base::ScopedInternetHandle& owner_;
  const HINTERNET handle_;
};

}  // namespace kelvra::frontend::internal
