// Adds test CA certificates (PEM) to the local-machine Root store of the Wine
// prefix it runs in, or removes them again: trust_test_root.exe add|remove CERT.pem...
// (one program for several, since each Wine program takes a while to start).
// Only the test bench's private prefix is ever touched.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> derFromPemFile(const wchar_t* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  DWORD size = 0;
  if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                           nullptr, &size, nullptr, nullptr)) {
    return {};
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                            nullptr, nullptr)) {
    return {};
  }
  der.resize(size);
  return der;
}

// The local-machine Root store keeps each certificate under a registry key named
// by its SHA-1 thumbprint. Wine's store hands out a copy on open, so deleting
// through it does not last: the key itself is removed. One that is gone is fine.
bool forgetCertificate(const std::vector<BYTE>& der) {
  BYTE hash[20];
  DWORD hashSize = sizeof hash;
  if (!CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()), hash, &hashSize)) return false;
  std::wstring key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
  for (DWORD i = 0; i < hashSize; ++i) {
    wchar_t hex[3];
    swprintf(hex, 3, L"%02X", hash[i]);
    key += hex;
  }
  const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

int fail(const char* what) {
  std::fprintf(stderr, "trust_test_root: %s failed, error %lu\n", what, GetLastError());
  return 1;
}

int trust(const std::wstring& action, const wchar_t* path) {
  const std::vector<BYTE> der = derFromPemFile(path);
  if (der.empty()) return fail("reading the certificate");
  if (action != L"add") return forgetCertificate(der) ? 0 : fail("removing the certificate");

  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) return fail("opening the Root store");
  const BOOL added = CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const int result = added ? 0 : fail("adding the certificate");
  CertCloseStore(store, 0);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: trust_test_root.exe add|remove CERT.pem...\n", stderr);
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    if (const int result = trust(argv[1], argv[i]); result != 0) return result;
  }
  return 0;
}
