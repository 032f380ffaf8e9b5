// Opens the shared log folder link by link, with the rights we chose for what
// we create and the owner checked when elevated.
#include "base/log_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace kelvra::base {

namespace {

constexpr wchar_t kSystemSid[] = L"S-1-5-18";
constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
constexpr wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

std::wstring errorText(const wchar_t* what, const std::wstring& path, DWORD error) {
  return std::wstring(what) + L" [" + path + L"]. Error code " + decimalText(error) + L".";
}

std::wstring sidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  const ScopedLocalMemory owned(text);
  return text;
}

// Elevated by UAC, or a member of the Administrators where there is no UAC.
bool isElevated() {
  ScopedKernelHandle token;
  {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;
    token.reset(raw);
  }
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated != 0) {
    return true;
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators)) {
    return true;
  }
  BOOL member = FALSE;
  const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  // Unknown counts as elevated: the stricter rule then applies.
  return !checked || member != FALSE;
}

std::wstring currentUserSid() {
  ScopedKernelHandle token;
  {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    token.reset(raw);
  }
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size == 0 ? 1 : size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  return sidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// Opens the folder itself, never what a link in its place points to. Without
// delete sharing, nobody can rename or delete it (or a folder above it) while
// held.
ScopedFileHandle openFolderItself(const std::wstring& path) {
  return ScopedFileHandle(CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Why the opened folder at path can't be written below; empty when it can.
std::wstring folderRefusal(HANDLE folder, const std::wstring& path, bool elevated, const std::wstring& userSid) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(folder, &information)) {
    return errorText(L"cannot query", path, GetLastError());
  }
  // The name's own attributes too: a system that opened what a link points to
  // still reports the link there.
  const DWORD named = GetFileAttributesW(path.c_str());
  if (named == INVALID_FILE_ATTRIBUTES) return errorText(L"cannot query", path, GetLastError());
  if (((information.dwFileAttributes | named) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return L"[" + path + L"] is a link to another place.";
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return L"[" + path + L"] is not a folder.";
  if (!elevated) return {};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                       nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return errorText(L"cannot read the owner of", path, status);
  const ScopedLocalMemory ownedDescriptor(descriptor);
  const std::wstring ownerSid = sidText(owner);
  if (!mayWriteBelow(elevated, ownerSid, userSid)) {
    return L"[" + path + L"] is owned by another user (" + ownerSid + L").";
  }
  return {};
}

}  // namespace

bool mayWriteBelow(bool elevated, std::wstring_view ownerSid, std::wstring_view userSid) {
  if (!elevated) return true;
  if (ownerSid.empty()) return false;
  return ownerSid == kSystemSid || ownerSid == kAdministratorsSid || ownerSid == kTrustedInstallerSid ||
         ownerSid == userSid;
}

LogFolderOpening openLogFolder(const std::wstring& root, const std::wstring& relativePath) {
  LogFolderOpening opening;
  PSECURITY_DESCRIPTOR rights = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogFolderSddl, SDDL_REVISION_1, &rights, nullptr)) {
    opening.refusal = errorText(L"cannot build the rights of", root, GetLastError());
    return opening;
  }
  const ScopedLocalMemory ownedRights(rights);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, rights, FALSE};
  const bool elevated = isElevated();
  const std::wstring userSid = currentUserSid();

  std::wstring path = root;
  std::size_t start = 0;
  while (start <= relativePath.size()) {
    const std::size_t end = relativePath.find(L'\\', start);
    path += L'\\' + relativePath.substr(start, end - start);
    // A link in the folder's place makes this fail as an existing folder would:
    // nothing is created where it points.
    if (!CreateDirectoryW(path.c_str(), &attributes)) {
      const DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) {
        opening.refusal = errorText(L"cannot create", path, error);
        return opening;
      }
    }
    ScopedFileHandle folder = openFolderItself(path);
    if (!folder) {
      opening.refusal = errorText(L"cannot open", path, GetLastError());
      return opening;
    }
    opening.refusal = folderRefusal(folder.get(), path, elevated, userSid);
    if (!opening.refusal.empty()) return opening;
    opening.heldFolders.push_back(std::move(folder));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return opening;
}

std::wstring logFileRefusal(const std::wstring& path) {
  // The C runtime's append mode asks for write access, not only for appending.
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return errorText(L"cannot open", path, GetLastError());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information)) return errorText(L"cannot query", path, GetLastError());
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return L"[" + path + L"] is a link to another place.";
  }
  // A second name may be a file someone else chose for us to write into.
  if (information.nNumberOfLinks > 1) return L"[" + path + L"] has more than one name.";
  return {};
}

std::wstring userLogFolder() {
  wchar_t localData[MAX_PATH] = {};
  if (FAILED(
          SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, localData))) {
    return {};
  }
  const std::wstring folder = std::wstring(localData) + L"\\ZAVsoft\\Kelvra\\logs\\";
  createDirectoryChain(folder);
  return folder;
}

std::wstring decimalText(unsigned long long value) {
  std::wstring text;
  do {
    text.insert(text.begin(), static_cast<wchar_t>(L'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return text;
}

void createDirectoryChain(const std::wstring& path) {
  std::size_t searchPosition = 0;
  for (;;) {
    const std::size_t separator = path.find_first_of(L"\\/", searchPosition + 1);
    const std::wstring prefix = path.substr(0, separator);
    // Existing folders and a bare drive fail harmlessly; the outcome isn't
    // needed.
    CreateDirectoryW(prefix.c_str(), nullptr);
    if (separator == std::wstring::npos) return;
    searchPosition = separator;
  }
}

}  // namespace kelvra::base
