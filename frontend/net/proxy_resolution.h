// The proxy of each request from the user's own Internet settings, the same way on
// every supported Windows: the automatic script (detected or configured), then the
// fixed proxy with its bypass list, then a direct connection. The settings are read
// once per process and each address's route is found once and reused.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <cstdint>
#include <string>

#include "core/proxy_route.h"

namespace kelvra::frontend {

// The route for url (whose parts are target). session is a WinHTTP session, needed
// to run the script. Never fails: what can't be found falls back as above, with a
// log line. Safe from any thread; a caller may wait while another one resolves.
[[nodiscard]] core::ProxyRoute resolveProxyRoute(HINTERNET session, const std::wstring& url,
                                                 const core::RequestTarget& target);

// How long the script of the lookup under way has been running, in milliseconds;
// 0 when none runs. WinHTTP offers no way to abort a script, and every other
// lookup waits for it: a caller that must not wait gives it up.
[[nodiscard]] std::uint64_t proxyScriptRunningMs();

}  // namespace kelvra::frontend
