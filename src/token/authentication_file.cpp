// Copying the authentication file from the current directory into the working
// folder, where the front end finds it.
#include <windows.h>

#include <shlwapi.h>

#include <optional>
#include <vector>

#include "base/logging.h"
#include "token/token.h"

namespace kelvra::token {

namespace {

// The source path is held to what a MAX_PATH buffer takes: longer paths are
// treated as no file at all rather than cut short.
constexpr std::size_t kMaxSourcePathLength = MAX_PATH - 1;

std::optional<std::wstring> currentDirectory() {
  for (DWORD size = MAX_PATH;;) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetCurrentDirectoryW(size, buffer.data());
    if (length == 0) return std::nullopt;
    if (length < size) return std::wstring(buffer.data(), length);
    size = length;  // Too small: length is the size needed, terminator included.
  }
}

}  // namespace

void copyAuthenticationFile(const std::wstring& workingFolderPath) {
  const base::LoggerHandle logger = base::findFileLogger();
  const std::wstring targetPath = workingFolderPath + kAuthenticationFileName;
  const std::optional<std::wstring> directory = currentDirectory();
  // Without a current directory, "\zavKelvra.auth" alone would name the root of
  // the current drive: never copy that.
  const std::wstring sourcePath = directory.value_or(L"") + kAuthenticationFileName;
  if (!directory || sourcePath.size() > kMaxSourcePathLength || !PathFileExistsW(sourcePath.c_str())) {
    base::logInfo(logger, L"Token: token doesn't exist at path: [{}]", sourcePath);
    return;
  }
  const BOOL copied = CopyFileW(sourcePath.c_str(), targetPath.c_str(), FALSE);
  base::logInfo(logger, L"Token: copy result: [{}], source path: [{}], target path: [{}]", copied, sourcePath,
                targetPath);
}

}  // namespace kelvra::token
