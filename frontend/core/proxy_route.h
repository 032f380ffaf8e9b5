// Which proxy, if any, a request takes, from the user's Internet settings: the
// automatic script first, then the fixed proxy with its bypass list, then none.
// Platform-free, so that the order and the list matching are tested natively; the
// front end reads the settings and runs the script.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

// The user's settings as Windows hands them over (empty texts when not set).
struct ProxySettings {
  bool autoDetect = false;     // "Automatically detect settings" (WPAD)
  std::wstring autoConfigUrl;  // "Use automatic configuration script" (PAC)
  std::wstring proxy;          // "host:port", or "http=host:port;https=host:port;..."
  std::wstring bypass;         // ";"-separated host patterns, "*" wildcards, "<local>"
};

// The address a request is for.
struct RequestTarget {
  bool secure = false;  // https
  std::wstring host;
  std::uint16_t port = 0;
};

// What the script said for one address; asked only when usesScript().
struct ScriptAnswer {
  bool failed = false;   // no script found, not downloaded, or it did not run
  std::wstring proxies;  // the script's proxies, "host:port" separated by ";" or spaces; empty: direct
};

enum class RouteSource { none, script, fixedProxy, bypassList };

struct ProxyRoute {
  std::wstring proxy;  // "host:port"; empty: direct
  RouteSource source = RouteSource::none;
  [[nodiscard]] bool direct() const { return proxy.empty(); }
};

// True when the settings ask for detection or a script.
[[nodiscard]] bool usesScript(const ProxySettings& settings);

// The route for target. script is the script's answer when usesScript(settings),
// otherwise ignored (may be null). A script that failed falls back to the fixed
// proxy, and that to a direct connection.
[[nodiscard]] ProxyRoute chooseProxyRoute(const ProxySettings& settings, const RequestTarget& target,
                                          const ScriptAnswer* script);

// The fixed proxy's entry for the scheme ("http=" or "https=" entry, else one for
// every scheme), as "host:port" (port 80 when none is given); empty when there is none.
[[nodiscard]] std::wstring proxyForScheme(std::wstring_view proxyList, bool secure);

// True when one of the bypass list's patterns matches target: "<local>" any host
// name without a dot, "*" any run of characters; a pattern may carry a scheme
// ("https://") and a port (":8443"), which must then match too. Case-insensitive.
[[nodiscard]] bool bypassesProxy(std::wstring_view bypassList, const RequestTarget& target);

// "direct" or "proxy host:port", for the request's log line.
[[nodiscard]] std::wstring describeRoute(const ProxyRoute& route);

}  // namespace kelvra::frontend::core
