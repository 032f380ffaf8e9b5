#include "net/proxy_logon.h"

#include "net/network_log.h"

namespace kelvra::frontend {

namespace {

const wchar_t* schemeName(DWORD scheme) {
  switch (scheme) {
    case WINHTTP_AUTH_SCHEME_BASIC: return L"Basic";
    case WINHTTP_AUTH_SCHEME_DIGEST: return L"Digest";
    case WINHTTP_AUTH_SCHEME_NTLM: return L"NTLM";
    case WINHTTP_AUTH_SCHEME_NEGOTIATE: return L"Negotiate";
    case WINHTTP_AUTH_SCHEME_PASSPORT: return L"Passport";
    default: return L"unknown";
  }
}

}  // namespace

// Negotiate and NTLM carry the logged-on user's credentials without asking anyone;
// Basic and Digest need a typed password, and the installer asks the user for nothing.
bool offerLogonToProxy(const internal::GuardedRequest& request, const std::wstring& proxy) {
  DWORD supported = 0, first = 0, target = 0;
  if (!request.call([&](HINTERNET handle) { return WinHttpQueryAuthSchemes(handle, &supported, &first, &target); })) {
    const DWORD error = GetLastError();
    logNetwork(L"The proxy " + proxy + L" asks for authentication; its schemes could not be read. Error code " +
                   std::to_wstring(error) + L".",
               base::LogLevel::error);
    return false;
  }
  DWORD scheme = 0;
  if (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) {
    scheme = WINHTTP_AUTH_SCHEME_NEGOTIATE;
  } else if (supported & WINHTTP_AUTH_SCHEME_NTLM) {
    scheme = WINHTTP_AUTH_SCHEME_NTLM;
  } else {
    logNetwork(L"The proxy " + proxy + L" asks for " + schemeName(first) +
                   L" authentication, which needs a typed user name and password; the installer asks for none.",
               base::LogLevel::error);
    return false;
  }
  // Low: the user's logon may go to any proxy that asks, the intranet's or not.
  DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
  const bool offered = request.call([&](HINTERNET handle) {
    return WinHttpSetOption(handle, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy);
  }) && request.call([&](HINTERNET handle) {
    return WinHttpSetCredentials(handle, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr);
  });
  if (!offered) {
    const DWORD error = GetLastError();
    logNetwork(L"The proxy " + proxy + L" asks for " + schemeName(scheme) +
                   L" authentication; the user's logon could not be offered. Error code " + std::to_wstring(error) +
                   L".",
               base::LogLevel::error);
    return false;
  }
  logNetwork(
      L"The proxy " + proxy + L" asks for " + schemeName(scheme) + L" authentication; answering with the user's logon.",
      base::LogLevel::info);
  return true;
}

}  // namespace kelvra::frontend
