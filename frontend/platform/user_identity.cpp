#include "platform/user_identity.h"

#include <windows.h>

#include <vector>

#include "base/scoped_handle.h"

namespace kelvra::frontend {

namespace {

// The token's user SID, copied out of the token's information.
std::vector<BYTE> tokenUser(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  return buffer;
}

std::wstring accountName(PSID sid) {
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return {};
  return domainLength > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

bool isMember(WELL_KNOWN_SID_TYPE group, PSID domain) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!CreateWellKnownSid(group, domain, sid, &size)) return false;
  BOOL member = FALSE;
  return CheckTokenMembership(nullptr, sid, &member) && member;
}

bool isDomainAdmin(PSID user) {
  BYTE domain[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof domain;
  // A local account has no account domain: the call fails and there is nothing to test.
  if (!GetWindowsAccountDomainSid(user, domain, &size)) return false;
  return isMember(WinAccountDomainAdminsSid, domain);
}

}  // namespace

UserIdentity currentUserIdentity() {
  UserIdentity identity;
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return identity;
  base::ScopedKernelHandle token(rawToken);
  std::vector<BYTE> user = tokenUser(token.get());
  PSID sid = user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  if (sid != nullptr) identity.name = accountName(sid);
  identity.administrator = isMember(WinBuiltinAdministratorsSid, nullptr) || (sid != nullptr && isDomainAdmin(sid));
  return identity;
}

}  // namespace kelvra::frontend
