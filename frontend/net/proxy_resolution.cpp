#include "net/proxy_resolution.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "net/network_log.h"

namespace kelvra::frontend {

namespace {

// When the running script started (GetTickCount64); 0 while none runs.
std::atomic<std::uint64_t> scriptStartedAt{0};

// Takes over a string that WinHTTP allocated for us with GlobalAlloc.
std::wstring takeGlobalString(LPWSTR text) {
  if (text == nullptr) return {};
  std::wstring copy(text);
  GlobalFree(text);
  return copy;
}

core::ProxySettings readUserProxySettings() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
    const DWORD error = GetLastError();
    // ERROR_FILE_NOT_FOUND: the user has no settings, which means a direct connection.
    if (error != ERROR_FILE_NOT_FOUND) {
      logNetwork(L"The user's proxy settings could not be read. Error code " + std::to_wstring(error) +
                     L". Connecting directly.",
                 base::LogLevel::warning);
    }
    return {};
  }
  core::ProxySettings settings;
  settings.autoDetect = config.fAutoDetect != FALSE;
  settings.autoConfigUrl = takeGlobalString(config.lpszAutoConfigUrl);
  settings.proxy = takeGlobalString(config.lpszProxy);
  settings.bypass = takeGlobalString(config.lpszProxyBypass);
  return settings;
}

// Runs the detected or configured script for url. A script that asks for the
// user's logon is run again with it, as WinHTTP recommends.
core::ScriptAnswer askScript(HINTERNET session, const std::wstring& url, const core::ProxySettings& settings) {
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  if (settings.autoDetect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (!settings.autoConfigUrl.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = settings.autoConfigUrl.c_str();
  }
  WINHTTP_PROXY_INFO info = {};
  BOOL found = WinHttpGetProxyForUrl(session, url.c_str(), &options, &info);
  DWORD error = found ? 0 : GetLastError();
  if (!found && error == ERROR_WINHTTP_LOGIN_FAILURE) {
    options.fAutoLogonIfChallenged = TRUE;
    found = WinHttpGetProxyForUrl(session, url.c_str(), &options, &info);
    error = found ? 0 : GetLastError();
  }
  core::ScriptAnswer answer;
  if (!found) {
    answer.failed = true;
    const std::wstring address = url.substr(0, url.find(L'?'));
    // Detection that finds no script is the usual case at home: Windows has it on by default.
    if (error == ERROR_WINHTTP_AUTODETECTION_FAILED && settings.autoConfigUrl.empty()) {
      logNetwork(L"Automatic proxy detection found no configuration script for " + address + L".",
                 base::LogLevel::info);
    } else {
      logNetwork(L"The automatic proxy configuration gave no answer for " + address + L". Error code " +
                     std::to_wstring(error) + L". Falling back to the fixed proxy or a direct connection.",
                 base::LogLevel::warning);
    }
    return answer;
  }
  std::wstring proxies = takeGlobalString(info.lpszProxy);
  (void)takeGlobalString(info.lpszProxyBypass);
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) answer.proxies = std::move(proxies);
  return answer;
}

class ProxyRoutes {
 public:
  core::ProxyRoute routeFor(HINTERNET session, const std::wstring& url, const core::RequestTarget& target) {
    const std::wstring key =
        (target.secure ? L"https://" : L"http://") + target.host + L":" + std::to_wstring(target.port);
    std::lock_guard lock(mutex_);
    if (const auto known = routes_.find(key); known != routes_.end()) return known->second;
    if (!settings_) settings_ = readUserProxySettings();
    std::optional<core::ScriptAnswer> script;
    if (core::usesScript(*settings_)) {
      scriptStartedAt = GetTickCount64();
      script = askScript(session, url, *settings_);
      scriptStartedAt = 0;
    }
    core::ProxyRoute route = core::chooseProxyRoute(*settings_, target, script ? &*script : nullptr);
    routes_.emplace(key, route);
    return route;
  }

 private:
  std::mutex mutex_;
  std::optional<core::ProxySettings> settings_;
  std::map<std::wstring, core::ProxyRoute> routes_;
};

}  // namespace

core::ProxyRoute resolveProxyRoute(HINTERNET session, const std::wstring& url, const core::RequestTarget& target) {
  static ProxyRoutes routes;
  return routes.routeFor(session, url, target);
}

std::uint64_t proxyScriptRunningMs() {
  const std::uint64_t started = scriptStartedAt;
  return started == 0 ? 0 : GetTickCount64() - started;
}

}  // namespace kelvra::frontend
