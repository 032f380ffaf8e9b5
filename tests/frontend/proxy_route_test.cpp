// Which proxy a request takes from the user's settings: the fallback order, the
// fixed proxy's per-scheme entries and the bypass list.
#include "core/proxy_route.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

namespace {

const RequestTarget kSecureHost{true, L"remoteconfig.zavsoft.com", 443};
const RequestTarget kPlainHost{false, L"reports.zavsoft.com", 80};

ProxySettings fixedProxy(std::wstring proxy, std::wstring bypass = {}) {
  ProxySettings settings;
  settings.proxy = std::move(proxy);
  settings.bypass = std::move(bypass);
  return settings;
}

}  // namespace

TEST(ProxyRoute, ScriptFirstThenFixedProxyThenDirect) {
  ProxySettings withScript = fixedProxy(L"fixed.corp:3128");
  withScript.autoConfigUrl = L"http://wpad.corp/proxy.pac";
  ProxySettings detecting = fixedProxy(L"fixed.corp:3128");
  detecting.autoDetect = true;
  ProxySettings scriptOnly;
  scriptOnly.autoConfigUrl = L"http://wpad.corp/proxy.pac";
  const ScriptAnswer viaScript{false, L"pac.corp:8080; backup.corp:8080"};
  const ScriptAnswer scriptSaysDirect{false, L""};
  const ScriptAnswer scriptFailed{true, L""};
  const struct {
    const char* name;
    ProxySettings settings;
    const ScriptAnswer* script;
    std::wstring proxy;
    RouteSource source;
  } rows[] = {
      {"nothing set", ProxySettings{}, nullptr, L"", RouteSource::none},
      {"fixed proxy", fixedProxy(L"fixed.corp:3128"), nullptr, L"fixed.corp:3128", RouteSource::fixedProxy},
      {"script's first proxy", withScript, &viaScript, L"pac.corp:8080", RouteSource::script},
      {"detected script's proxy", detecting, &viaScript, L"pac.corp:8080", RouteSource::script},
      {"script says direct, fixed proxy unused", withScript, &scriptSaysDirect, L"", RouteSource::script},
      {"failed script falls back to the fixed proxy", withScript, &scriptFailed, L"fixed.corp:3128",
       RouteSource::fixedProxy},
      {"failed detection falls back to the fixed proxy", detecting, &scriptFailed, L"fixed.corp:3128",
       RouteSource::fixedProxy},
      {"failed script without a fixed proxy goes direct", scriptOnly, &scriptFailed, L"", RouteSource::none},
      {"script not asked counts as failed", withScript, nullptr, L"fixed.corp:3128", RouteSource::fixedProxy},
      {"an answer without settings for it is ignored", fixedProxy(L"fixed.corp:3128"), &viaScript, L"fixed.corp:3128",
       RouteSource::fixedProxy},
  };
  for (const auto& row : rows) {
    const ProxyRoute route = chooseProxyRoute(row.settings, kSecureHost, row.script);
    EXPECT_EQ(route.proxy, row.proxy) << row.name;
    EXPECT_EQ(route.source, row.source) << row.name;
  }
  EXPECT_TRUE(usesScript(withScript));
  EXPECT_TRUE(usesScript(detecting));
  EXPECT_FALSE(usesScript(fixedProxy(L"fixed.corp:3128")));
}

TEST(ProxyRoute, FixedProxyTakesTheEntryOfTheScheme) {
  const struct {
    const wchar_t* list;
    const wchar_t* forHttp;
    const wchar_t* forHttps;
  } rows[] = {
      {L"fixed.corp:3128", L"fixed.corp:3128", L"fixed.corp:3128"},
      {L"fixed.corp", L"fixed.corp:80", L"fixed.corp:80"},
      {L"http://fixed.corp:3128/", L"fixed.corp:3128", L"fixed.corp:3128"},
      {L"http=web.corp:80;https=tls.corp:8443", L"web.corp:80", L"tls.corp:8443"},
      {L"HTTPS=tls.corp:8443", L"", L"tls.corp:8443"},
      // Another scheme's proxy (WinHTTP speaks no SOCKS) is never taken.
      {L"socks=socks.corp:1080", L"", L""},
      {L"ftp=ftp.corp:21; all.corp:8080", L"all.corp:8080", L"all.corp:8080"},
      {L"[fd00::1]:3128", L"[fd00::1]:3128", L"[fd00::1]:3128"},
      {L"[fd00::1]", L"[fd00::1]:80", L"[fd00::1]:80"},
      {L"", L"", L""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(proxyForScheme(row.list, false), row.forHttp) << row.list;
    EXPECT_EQ(proxyForScheme(row.list, true), row.forHttps) << row.list;
  }
}

TEST(ProxyRoute, BypassListPatterns) {
  const struct {
    const wchar_t* bypass;
    RequestTarget target;
    bool bypassed;
  } rows[] = {
      {L"<local>", {true, L"localhost", 8443}, true},
      {L"<LOCAL>", {false, L"intranet", 80}, true},
      {L"<local>", kSecureHost, false},
      {L"*.zavsoft.com", kSecureHost, true},
      {L"*.ZAVSOFT.com", kPlainHost, true},
      {L"*.zavsoft.com", {true, L"zavsoft.com", 443}, false},
      {L"zavsoft.com", kSecureHost, false},
      {L"remoteconfig.zavsoft.com", kSecureHost, true},
      {L"10.*", {true, L"10.1.2.3", 443}, true},
      {L"10.*", {true, L"110.1.2.3", 443}, false},
      {L"*config*", kSecureHost, true},
      {L"intranet; *.zavsoft.com ;other", kPlainHost, true},
      {L"intranet,reports.zavsoft.com", kPlainHost, true},
      {L"remoteconfig.zavsoft.com:443", kSecureHost, true},
      {L"remoteconfig.zavsoft.com:8443", kSecureHost, false},
      {L"https://*.zavsoft.com", kSecureHost, true},
      {L"https://*.zavsoft.com", kPlainHost, false},
      {L"http://*.zavsoft.com", kPlainHost, true},
      {L"", kSecureHost, false},
      {L";;", kSecureHost, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(bypassesProxy(row.bypass, row.target), row.bypassed) << row.bypass << L" " << row.target.host;
  }
}

TEST(ProxyRoute, BypassListAppliesToTheFixedProxyOnly) {
  ProxySettings settings = fixedProxy(L"fixed.corp:3128", L"*.zavsoft.com");
  const ProxyRoute bypassed = chooseProxyRoute(settings, kSecureHost, nullptr);
  EXPECT_TRUE(bypassed.direct());
  EXPECT_EQ(bypassed.source, RouteSource::bypassList);
  EXPECT_EQ(chooseProxyRoute(settings, {true, L"cdn.example.net", 443}, nullptr).proxy, L"fixed.corp:3128");
  // The script decides for itself; the bypass list is the fixed proxy's.
  settings.autoConfigUrl = L"http://wpad.corp/proxy.pac";
  const ScriptAnswer viaScript{false, L"pac.corp:8080"};
  EXPECT_EQ(chooseProxyRoute(settings, kSecureHost, &viaScript).proxy, L"pac.corp:8080");
}

TEST(ProxyRoute, LogTextNamesTheRoute) {
  EXPECT_EQ(describeRoute({}), L"direct");
  EXPECT_EQ(describeRoute({L"", RouteSource::bypassList}), L"direct (bypass list)");
  EXPECT_EQ(describeRoute({L"fixed.corp:3128", RouteSource::fixedProxy}), L"through proxy fixed.corp:3128");
  EXPECT_EQ(describeRoute({L"pac.corp:8080", RouteSource::script}),
            L"through proxy pac.corp:8080 (automatic configuration script)");
  EXPECT_EQ(describeRoute({L"", RouteSource::script}), L"direct (automatic configuration script)");
}
