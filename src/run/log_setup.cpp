#include "run/log_setup.h"

#include <windows.h>

#include "notices/notices.h"

namespace kelvra::run {

bool ensureLogFolder(std::wstring logFolderPath) {
  const DWORD attributes = GetFileAttributesW(logFolderPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      notices::showStartFailureNotice(error);
      return true;
    }
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  createDirectoryChain(std::move(logFolderPath));
  return false;
}

void createDirectoryChain(std::wstring path) {
  std::size_t searchPosition = 0;
  for (;;) {
    const std::size_t separator = path.find_first_of(L"\\/", searchPosition + 1);
    const std::wstring prefix = path.substr(0, separator);
    // Existing folders and a bare drive fail harmlessly; the outcome isn't needed.
    CreateDirectoryW(prefix.c_str(), nullptr);
    if (separator == std::wstring::npos) return;
    searchPosition = separator;
  }
}

}  // namespace kelvra::run
