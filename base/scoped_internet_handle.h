// The handle guard for WinHTTP's sessions, connections and requests; apart from
// scoped_handle.h so that only users of WinHTTP include its header.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include "base/scoped_handle.h"

namespace kelvra::base {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { WinHttpCloseHandle(handle); }
};

using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;

}  // namespace kelvra::base
