// Copying the authentication file from the current directory into the working
// folder, where the front end finds it.
#include <windows.h>

#include <shlwapi.h>

#include <optional>
#include <vector>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "contract/handoff_files.h"
#include "token/authentication_file_internal.h"
#include "token/token.h"
#include "token/zone_identifier.h"

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

// True when the file must not be passed on: a browser or mail program saved it (a
// web page can make a browser save a file into Downloads without asking), or its
// mark can't be read. Logs why.
bool isMarkedAsDownloaded(const base::LoggerHandle& logger, const std::wstring& sourcePath,
                          internal::ZoneStreamReader readStream) {
  const internal::ZoneStream stream = readStream(sourcePath);
  if (stream.missing) return false;
  if (stream.readFailed) {
    base::logWarning(logger, L"Token: the download mark of [{}] could not be read. Error code {}. Not copied.",
                     sourcePath, stream.error);
    return true;
  }
  const std::optional<unsigned> zone = zoneIdOf(stream.text);
  if (!zone) {
    base::logWarning(logger, L"Token: the download mark of [{}] names no zone. Not copied.", sourcePath);
    return true;
  }
  if (!isDownloadZone(*zone)) return false;
  base::logWarning(logger, L"Token: [{}] was downloaded from the internet (zone {}). Not copied.", sourcePath, *zone);
  return true;
}

}  // namespace

internal::ZoneStream internal::readZoneStream(const std::wstring& filePath) {
  ZoneStream stream;
  const base::ScopedFileHandle file(CreateFileW((filePath + L":Zone.Identifier").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    // No stream, or a volume that has none (FAT refuses the colon in the name).
    stream.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
    stream.readFailed = !stream.missing;
    stream.error = error;
    return stream;
  }
  char buffer[kMaxZoneStreamBytes];
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
    stream.readFailed = true;
    stream.error = GetLastError();
    return stream;
  }
  stream.text.assign(buffer, read);
  return stream;
}

void copyAuthenticationFile(const std::wstring& workingFolderPath) {
  internal::copyAuthenticationFile(workingFolderPath, internal::readZoneStream);
}

void internal::copyAuthenticationFile(const std::wstring& workingFolderPath, ZoneStreamReader readStream) {
  const base::LoggerHandle logger = base::findFileLogger();
  const std::wstring targetPath = workingFolderPath + contract::kAuthenticationFileName;
  const std::optional<std::wstring> directory = currentDirectory();
  // Without a current directory, "\zavKelvra.auth" alone would name the root of
  // the current drive: never copy that.
  const std::wstring sourcePath = directory.value_or(L"") + contract::kAuthenticationFileName;
  if (!directory || sourcePath.size() > kMaxSourcePathLength || !PathFileExistsW(sourcePath.c_str())) {
    base::logInfo(logger, L"Token: token doesn't exist at path: [{}]", sourcePath);
    return;
  }
  if (isMarkedAsDownloaded(logger, sourcePath, readStream)) return;
  const BOOL copied = CopyFileW(sourcePath.c_str(), targetPath.c_str(), FALSE);
  base::logInfo(logger, L"Token: copy result: [{}], source path: [{}], target path: [{}]", copied, sourcePath,
                targetPath);
}

}  // namespace kelvra::token
