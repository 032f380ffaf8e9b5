#include "run/working_folder.h"
#include "run/working_folder_internal.h"

#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>
#include <strsafe.h>

#include <cstdlib>
#include <ctime>

#include "base/logging.h"

namespace kelvra::run {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterCount = 52;
constexpr int kSuffixLength = 5;
constexpr wchar_t kFolderPrefix[] = L"KelvraInstaller_";
// MAX_PATH for the path and its terminator, two more zeros for the double
// terminator that SHFileOperationW needs.
constexpr std::size_t kRemovalBufferLength = MAX_PATH + 2;

}  // namespace

bool makeWorkingFolderPath(std::wstring& path) {
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
    base::logError(base::findFileLogger(), "Getting temporary path failed. The path needs [{}] characters.",
             length);
    return true;
  }
  char letters[kSuffixLength + 1];
  internal::makeRandomLetters(letters, kSuffixLength);
  std::wstring candidate = std::wstring(tempPath, length) + kFolderPrefix + base::fromUtf8(letters);
  if (candidate.size() > kMaxWorkingFolderPathLength) {
    base::logError(base::findFileLogger(), L"Working folder path [{}] is too long: [{}] characters, at most [{}].",
             candidate, candidate.size(), kMaxWorkingFolderPathLength);
    return true;
  }
  path = std::move(candidate);
  return false;
}

void internal::makeRandomLetters(char* buffer, int count) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  for (int i = 0; i < count; ++i) buffer[i] = kLetters[std::rand() % kLetterCount];
  buffer[count] = '\0';
}

bool createWorkingFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Creating directory [{}] failed. Error code {}.", path, error);
    return true;
  }
  return false;
}

bool removeWorkingFolder(const std::wstring& path) {
  const base::LoggerHandle logger = base::findFileLogger();
  base::logInfo(logger, L"Cleaning temporary folder at [{}].", path);
  if (!PathFileExistsW(path.c_str())) return false;

  if (path.empty() || path.size() > kMaxRemovablePathLength ||
      path.find(L'\0') != std::wstring::npos) {
    base::logError(logger, L"Refusing to remove temporary folder [{}]: the path does not fit [{}] characters.",
             path, kMaxRemovablePathLength);
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
