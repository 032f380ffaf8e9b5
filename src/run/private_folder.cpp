#include "run/private_folder.h"

#include "base/logging.h"
#include "base/scoped_handle.h"

namespace kelvra::run {

namespace {

// Full control, given to the folder and, inherited, to everything in it.
constexpr DWORD kInheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

[[nodiscard]] bool makeWellKnownSid(WELL_KNOWN_SID_TYPE type, std::vector<BYTE>& sid) {
  DWORD size = SECURITY_MAX_SID_SIZE;
  sid.assign(size, 0);
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), "Building the well-known SID [{}] failed. Error code {}.",
                   static_cast<int>(type), error);
    return true;
  }
  sid.resize(size);
  return false;
}

}  // namespace

bool readCurrentUserSid(std::vector<BYTE>& sid) {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), "Opening the process token failed. Error code {}.", error);
    return true;
  }
  const base::ScopedKernelHandle token(rawToken);
  DWORD size = 0;
  (void)GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), "Reading the token's user failed. Error code {}.", error);
    return true;
  }
  const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const auto* first = static_cast<const BYTE*>(user);
  sid.assign(first, first + GetLengthSid(user));
  return false;
}

bool PrivateFolderSecurity::build() {
  if (readCurrentUserSid(user_) || makeWellKnownSid(WinLocalSystemSid, system_) ||
      makeWellKnownSid(WinBuiltinAdministratorsSid, administrators_)) {
    return true;
  }
  DWORD aclSize = sizeof(ACL);
  for (const std::vector<BYTE>* sid : {&user_, &system_, &administrators_}) {
    aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid->size());
  }
  acl_.assign(aclSize, 0);
  const auto acl = reinterpret_cast<ACL*>(acl_.data());
  bool failed = !InitializeAcl(acl, aclSize, ACL_REVISION);
  for (std::vector<BYTE>* sid : {&user_, &system_, &administrators_}) {
    failed = failed || !AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByAll, FILE_ALL_ACCESS, sid->data());
  }
  // Protected: none of the temporary folder's rights (others' "create folders"
  // in C:\Windows\Temp among them) reach what we stage.
  failed = failed || !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
           !SetSecurityDescriptorOwner(&descriptor_, user_.data(), FALSE) ||
           !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
           !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  if (failed) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), "Building the working folder's rights failed. Error code {}.", error);
    return true;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  return false;
}

}  // namespace kelvra::run
