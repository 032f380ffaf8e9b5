#include "platform/setup_signature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string_view>
#include <vector>

#include "base/dll_search.h"

namespace kelvra::frontend {

namespace {

// wincrypt.h declares crypt32's functions dllimport, which a delay-import library
// can't serve (cmake/DelayImports.cmake): they are taken from the System32 copy
// by name. wintrust's are delay-imported.
template <typename Function>
Function crypt32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"crypt32.dll"), name)));
}

// HRESULT_FROM_WIN32 of the last error, so that it reads as WinVerifyTrust's answers do.
std::uint32_t lastErrorStatus() { return 0x80070000u | (GetLastError() & 0xFFFF); }

// The verification's state, released on every way out.
class TrustState {
 public:
  explicit TrustState(WINTRUST_DATA& data) : data_(data) {}
  ~TrustState() {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    (void)WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

 private:
  WINTRUST_DATA& data_;
};

std::wstring subjectOf(PCCERT_CONTEXT certificate) {
  using NameToString = DWORD(WINAPI*)(DWORD, PCERT_NAME_BLOB, DWORD, LPWSTR, DWORD);
  const auto nameToString = crypt32Function<NameToString>("CertNameToStrW");
  if (nameToString == nullptr) return {};
  CERT_NAME_BLOB* name = &certificate->pCertInfo->Subject;
  const DWORD length = nameToString(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, nullptr, 0);
  if (length <= 1) return {};
  std::wstring text(length, L'\0');
  nameToString(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, text.data(), length);
  text.resize(length - 1);
  return text;
}

// Windows' Authenticode policy requires a code-signing certificate; Wine's does not
// look at the usages (frontend/README.md), so the front end does.
bool isForCode(PCCERT_CONTEXT certificate) {
  using GetUsage = BOOL(WINAPI*)(PCCERT_CONTEXT, DWORD, PCERT_ENHKEY_USAGE, DWORD*);
  const auto getUsage = crypt32Function<GetUsage>("CertGetEnhancedKeyUsage");
  if (getUsage == nullptr) return false;
  DWORD size = 0;
  if (!getUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size)) {
    return GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND);  // no usages named: any use
  }
  std::vector<unsigned char> buffer(size);
  auto* usage = reinterpret_cast<PCERT_ENHKEY_USAGE>(buffer.data());
  if (!getUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) return false;
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
    if (std::string_view(usage->rgpszUsageIdentifier[i]) == szOID_PKIX_KP_CODE_SIGNING) return true;
  }
  return false;
}

// The signing certificate of a verified file: the first signer's leaf.
PCCERT_CONTEXT signingCertificate(HANDLE state) {
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
  CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  CRYPT_PROVIDER_CERT* leaf = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
  return leaf ? leaf->pCert : nullptr;
}

}  // namespace

core::SignatureCheck checkFileSignature(HANDLE file, const std::wstring& path) {
  core::SignatureCheck check;
  // Both are delay-loaded or looked up by name: only the System32 copies may answer.
  if (!base::tryLoadSystemLibrary(L"crypt32.dll") || !base::tryLoadSystemLibrary(L"wintrust.dll")) {
    check.status = lastErrorStatus();
    return check;
  }
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  // No revocation lookup, and no network at all: an offline or firewalled machine
  // installs without waiting on certificate servers. The Disallowed store (where
  // Windows Update puts certificates of stolen keys) is still checked, and a
  // timestamped signature is checked at its time (frontend/README.md).
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  check.status = static_cast<std::uint32_t>(WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
  const TrustState state(data);
  if (check.status != 0) return check;
  const PCCERT_CONTEXT certificate = signingCertificate(data.hWVTStateData);
  if (certificate != nullptr) check.subject = subjectOf(certificate);
  // A signer Windows accepted but whose name can't be read is no one's.
  if (check.subject.empty()) check.status = static_cast<std::uint32_t>(TRUST_E_NO_SIGNER_CERT);
  check.forCode = certificate != nullptr && isForCode(certificate);
  return check;
}

core::SignatureCheck checkOwnSignature() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {lastErrorStatus(), {}, false};
  // WinVerifyTrust opens the file itself.
  return checkFileSignature(nullptr, path);
}

}  // namespace kelvra::frontend
