#include "core/proxy_route.h"

#include <cwctype>
#include <vector>

namespace kelvra::frontend::core {

namespace {

bool isSeparator(wchar_t c) { return c == L';' || c == L',' || std::iswspace(static_cast<wint_t>(c)); }

std::vector<std::wstring_view> splitEntries(std::wstring_view list) {
  std::vector<std::wstring_view> entries;
  std::size_t start = 0;
  while (start < list.size()) {
    while (start < list.size() && isSeparator(list[start])) ++start;
    std::size_t end = start;
    while (end < list.size() && !isSeparator(list[end])) ++end;
    if (end > start) entries.push_back(list.substr(start, end - start));
    start = end;
  }
  return entries;
}

wchar_t lower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// "*" stands for any run of characters, the rest compares case-insensitively.
bool globMatches(std::wstring_view pattern, std::wstring_view text) {
  std::size_t p = 0, t = 0, star = std::wstring_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
      ++p;
      ++t;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

// Where "host:port" has its port's colon, or npos; an IPv6 literal keeps its own.
std::size_t portColon(std::wstring_view hostAndPort) {
  const std::size_t colon = hostAndPort.rfind(L':');
  if (colon == std::wstring_view::npos) return colon;
  if (hostAndPort.front() == L'[') {
    return colon > 0 && hostAndPort[colon - 1] == L']' ? colon : std::wstring_view::npos;
  }
  return hostAndPort.find(L':') == colon ? colon : std::wstring_view::npos;
}

std::wstring_view withoutUrlScheme(std::wstring_view entry) {
  for (std::wstring_view scheme : {L"http://", L"https://"}) {
    if (startsWithIgnoringCase(entry, scheme)) return entry.substr(scheme.size());
  }
  return entry;
}

// "host:port" with the port WinHTTP takes when none is given; a trailing "/" dropped.
std::wstring normalizedProxy(std::wstring_view entry) {
  entry = withoutUrlScheme(entry);
  while (!entry.empty() && entry.back() == L'/') entry.remove_suffix(1);
  if (entry.empty()) return {};
  std::wstring proxy(entry);
  if (portColon(entry) == std::wstring_view::npos) proxy += L":80";
  return proxy;
}

bool patternMatches(std::wstring_view pattern, const RequestTarget& target) {
  if (equalsIgnoringCase(pattern, L"<local>")) {
    return target.host.find(L'.') == std::wstring::npos && target.host.find(L':') == std::wstring::npos;
  }
  if (startsWithIgnoringCase(pattern, L"https://")) {
    if (!target.secure) return false;
    pattern.remove_prefix(8);
  } else if (startsWithIgnoringCase(pattern, L"http://")) {
    if (target.secure) return false;
    pattern.remove_prefix(7);
  }
  if (pattern.empty()) return false;
  const std::size_t colon = portColon(pattern);
  if (colon != std::wstring_view::npos) {
    const std::wstring_view port = pattern.substr(colon + 1);
    if (port != L"*" && port != std::to_wstring(target.port)) return false;
    pattern = pattern.substr(0, colon);
  }
  return globMatches(pattern, target.host);
}

}  // namespace

bool usesScript(const ProxySettings& settings) { return settings.autoDetect || !settings.autoConfigUrl.empty(); }

std::wstring proxyForScheme(std::wstring_view proxyList, bool secure) {
  const std::wstring_view wanted = secure ? L"https=" : L"http=";
  std::wstring_view forEveryScheme;
  for (std::wstring_view entry : splitEntries(proxyList)) {
    if (startsWithIgnoringCase(entry, wanted)) return normalizedProxy(entry.substr(wanted.size()));
    // Another scheme's entry ("ftp=", "socks=") is not for us.
    if (entry.find(L'=') == std::wstring_view::npos && forEveryScheme.empty()) forEveryScheme = entry;
  }
  return normalizedProxy(forEveryScheme);
}

bool bypassesProxy(std::wstring_view bypassList, const RequestTarget& target) {
  for (std::wstring_view pattern : splitEntries(bypassList)) {
    if (patternMatches(pattern, target)) return true;
  }
  return false;
}

ProxyRoute chooseProxyRoute(const ProxySettings& settings, const RequestTarget& target, const ScriptAnswer* script) {
  if (usesScript(settings) && script != nullptr && !script->failed) {
    const auto proxies = splitEntries(script->proxies);
    return {proxies.empty() ? std::wstring() : normalizedProxy(proxies.front()), RouteSource::script};
  }
  std::wstring fixed = proxyForScheme(settings.proxy, target.secure);
  if (fixed.empty()) return {};
  if (bypassesProxy(settings.bypass, target)) return {{}, RouteSource::bypassList};
  return {std::move(fixed), RouteSource::fixedProxy};
}

std::wstring describeRoute(const ProxyRoute& route) {
  std::wstring text = route.direct() ? L"direct" : L"through proxy " + route.proxy;
  if (route.source == RouteSource::script) text += L" (automatic configuration script)";
  if (route.source == RouteSource::bypassList) text += L" (bypass list)";
  return text;
}

}  // namespace kelvra::frontend::core
