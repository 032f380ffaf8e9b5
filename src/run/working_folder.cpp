#include "run/working_folder.h"

#include <windows.h>

#include <ntsecapi.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <strsafe.h>

#include "base/logging.h"
#include "run/private_folder.h"
#include "run/working_folder_internal.h"

namespace kelvra::run {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr unsigned kLetterCount = 52;
constexpr int kSuffixLength = 5;
// A working generator gives a usable byte 13 times in 16: running out of draws
// means it is broken, not unlucky.
constexpr int kMaxRandomDraws = 8;
constexpr wchar_t kFolderPrefix[] = L"KelvraInstaller_";
// MAX_PATH for the path and its terminator, two more zeros for the double
// terminator that SHFileOperationW needs.
constexpr std::size_t kRemovalBufferLength = MAX_PATH + 2;

}  // namespace

bool makeWorkingFolderPath(std::wstring& path) { return internal::makeWorkingFolderPath(path, internal::systemRandom); }

bool createWorkingFolder(std::wstring& path) { return internal::createWorkingFolder(path, internal::systemRandom); }

bool internal::makeWorkingFolderPath(std::wstring& path, RandomSource source) {
  wchar_t tempPath[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempPath);
  if (length == 0) {
    // Read before any other call: the logger's lookup may change it.
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), "Getting temporary path failed. Error code {}.", error);
    return true;
  }
  if (length >= MAX_PATH) {
    // The buffer was left unfilled; the value is the size the path needs.
    base::logError(base::findFileLogger(), "Getting temporary path failed. The path needs [{}] characters.", length);
    return true;
  }
  char letters[kSuffixLength + 1];
  if (makeRandomLetters(letters, kSuffixLength, source)) return true;
  std::wstring candidate = std::wstring(tempPath, length) + kFolderPrefix + base::fromUtf8(letters);
  if (candidate.size() > kMaxWorkingFolderPathLength) {
    base::logError(base::findFileLogger(), L"Working folder path [{}] is too long: [{}] characters, at most [{}].",
                   candidate, candidate.size(), kMaxWorkingFolderPathLength);
    return true;
  }
  path = std::move(candidate);
  return false;
}

bool internal::systemRandom(unsigned char* buffer, unsigned long size) { return RtlGenRandom(buffer, size) == FALSE; }

bool internal::makeRandomLetters(char* buffer, int count, RandomSource source) {
  // 208 = 4 * 52: a byte below it gives each letter four times; the rest would
  // favour the first 48 letters, so they are drawn again.
  constexpr unsigned kUsableBytes = 4 * kLetterCount;
  int filled = 0;
  for (int draw = 0; draw < kMaxRandomDraws && filled < count; ++draw) {
    unsigned char bytes[16];
    if (source(bytes, sizeof bytes)) {
      base::logError(base::findFileLogger(), "Getting random letters for the working folder failed.");
      return true;
    }
    for (unsigned char byte : bytes) {
      if (byte < kUsableBytes && filled < count) buffer[filled++] = kLetters[byte % kLetterCount];
    }
  }
  if (filled < count) {
    base::logError(base::findFileLogger(),
                   "Getting random letters for the working folder failed: [{}] draws gave "
                   "[{}] of [{}] letters.",
                   kMaxRandomDraws, filled, count);
    return true;
  }
  buffer[count] = '\0';
  return false;
}

bool internal::createWorkingFolder(std::wstring& path, RandomSource source) {
  PrivateFolderSecurity security;
  if (security.build()) return true;
  for (int attempt = 1; attempt <= kMaxWorkingFolderNameTries; ++attempt) {
    std::wstring candidate;
    if (makeWorkingFolderPath(candidate, source)) return true;
    if (CreateDirectoryW(candidate.c_str(), security.attributes())) {
      base::logInfo(base::findFileLogger(), L"Created working folder [{}].", candidate);
      path = std::move(candidate);
      return false;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
      base::logError(base::findFileLogger(), L"Creating directory [{}] failed. Error code {}.", candidate, error);
      return true;
    }
    // Never staged into, never removed: whoever made it may be waiting to swap
    // what we stage, or it is theirs.
    base::logWarning(base::findFileLogger(), L"Working folder [{}] exists already: choosing another name.", candidate);
  }
  base::logError(base::findFileLogger(), "Found no free working folder name in [{}] tries.",
                 kMaxWorkingFolderNameTries);
  return true;
}

bool removeWorkingFolder(const std::wstring& path) {
  const base::LoggerHandle logger = base::findFileLogger();
  base::logInfo(logger, L"Cleaning temporary folder at [{}].", path);
  if (!PathFileExistsW(path.c_str())) return false;

  if (path.empty() || path.size() > kMaxRemovablePathLength || path.find(L'\0') != std::wstring::npos) {
    base::logError(logger, L"Refusing to remove temporary folder [{}]: the path does not fit [{}] characters.", path,
                   kMaxRemovablePathLength);
    return true;
  }
  // The shell's removal follows a link and would empty the folder it points to,
  // which is someone else's. Windows can remove just the link, Wine can't; so a
  // link is never touched, and the run ends as for any folder it can't remove.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    base::logError(logger, L"Refusing to remove temporary folder [{}]: it is a link to another place.", path);
    return true;
  }
  wchar_t removalBuffer[kRemovalBufferLength] = {};
  if (FAILED(StringCbPrintfW(removalBuffer, MAX_PATH * sizeof(wchar_t), L"%ls", path.c_str()))) {
    base::logError(logger, L"Refusing to remove temporary folder [{}]: the path could not be copied whole.", path);
    return true;
  }

  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = removalBuffer;
  operation.pTo = nullptr;
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  const int result = SHFileOperationW(&operation);
  if (result != 0) {
    base::logError(logger, L"Failed to remove temporary folder [{}]. Error code: {}", path, result);
    return true;
  }
  return false;
}

}  // namespace kelvra::run
