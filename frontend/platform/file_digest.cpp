#include "platform/file_digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <optional>
#include <vector>

#include "base/dll_search.h"
#include "base/scoped_handle.h"

namespace kelvra::frontend {

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

using HashHandle = base::ScopedHandle<HashHandleTraits>;

// One running digest: its provider, its hash object and the digest's length.
struct RunningDigest {
  base::ScopedHandle<AlgorithmHandleTraits> provider;
  HashHandle hash;
  DWORD length = 0;
};

std::optional<RunningDigest> startDigest(DigestAlgorithm algorithm) {
  RunningDigest digest;
  BCRYPT_ALG_HANDLE rawProvider = nullptr;
  const wchar_t* algorithmId = algorithm == DigestAlgorithm::md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&rawProvider, algorithmId, nullptr, 0))) return std::nullopt;
  digest.provider.reset(rawProvider);
  DWORD resultSize = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(digest.provider.get(), BCRYPT_HASH_LENGTH,
                                        reinterpret_cast<PUCHAR>(&digest.length), sizeof digest.length, &resultSize,
                                        0))) {
    return std::nullopt;
  }
  BCRYPT_HASH_HANDLE rawHash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(digest.provider.get(), &rawHash, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  digest.hash.reset(rawHash);
  return digest;
}

std::optional<std::string> finishDigest(RunningDigest& running) {
  std::vector<unsigned char> digest(running.length);
  if (!BCRYPT_SUCCESS(BCryptFinishHash(running.hash.get(), digest.data(), running.length, 0))) return std::nullopt;
  return toHex(digest);
}

}  // namespace

FileDigests fileDigests(HANDLE file, std::initializer_list<DigestAlgorithm> algorithms) {
  const FileDigests hashingFailed{true, false, 0, {}};
  // BCrypt is delay-loaded: without the DLL, its first call would raise an exception.
  if (!base::tryLoadSystemLibrary(L"bcrypt.dll")) return hashingFailed;
  std::vector<RunningDigest> running;
  for (const DigestAlgorithm algorithm : algorithms) {
    std::optional<RunningDigest> started = startDigest(algorithm);
    if (!started) return hashingFailed;
    running.push_back(std::move(*started));
  }

  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return {true, true, GetLastError(), {}};
  std::vector<unsigned char> chunk(kChunkSize);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, chunk.data(), kChunkSize, &read, nullptr)) return {true, true, GetLastError(), {}};
    if (read == 0) break;
    for (RunningDigest& digest : running) {
      if (!BCRYPT_SUCCESS(BCryptHashData(digest.hash.get(), chunk.data(), read, 0))) return hashingFailed;
    }
  }
  FileDigests result;
  for (RunningDigest& digest : running) {
    std::optional<std::string> hex = finishDigest(digest);
    if (!hex) return hashingFailed;
    result.digests.push_back(std::move(*hex));
  }
  return result;
}

}  // namespace kelvra::frontend
