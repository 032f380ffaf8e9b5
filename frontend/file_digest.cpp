#include "file_digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "driver/scoped_handle.h"

namespace {

struct AlgorithmHandleTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct HashHandleTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { BCryptDestroyHash(handle); }
};

constexpr DWORD kChunkSize = 1024 * 1024;

std::string toHex(const std::vector<unsigned char>& bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::optional<std::string> fileDigest(const std::wstring& path, DigestAlgorithm algorithm) {
  ScopedHandle<AlgorithmHandleTraits> provider;
  BCRYPT_ALG_HANDLE rawProvider = nullptr;
  const wchar_t* algorithmId = algorithm == DigestAlgorithm::md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&rawProvider, algorithmId, nullptr, 0))) return std::nullopt;
  provider.reset(rawProvider);

  DWORD digestLength = 0;
  DWORD resultSize = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(provider.get(), BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&digestLength),
                                        sizeof digestLength, &resultSize, 0))) {
    return std::nullopt;
  }
  BCRYPT_HASH_HANDLE rawHash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(provider.get(), &rawHash, nullptr, 0, nullptr, 0, 0))) return std::nullopt;
  ScopedHandle<HashHandleTraits> hash(rawHash);

  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return std::nullopt;
  std::vector<unsigned char> chunk(kChunkSize);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), kChunkSize, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), chunk.data(), read, 0))) return std::nullopt;
  }
  std::vector<unsigned char> digest(digestLength);
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), digestLength, 0))) return std::nullopt;
  return toHex(digest);
}

bool digestsMatch(const std::string& expected, const std::string& actual) {
  if (expected.size() != actual.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (lower(expected[i]) != lower(actual[i])) return false;
  }
  return true;
}
