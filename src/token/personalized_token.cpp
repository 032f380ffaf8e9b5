// Reading the token trailer from the executable file; the layout and its checks
// are in token_trailer.cpp.
#include <windows.h>

#include <vector>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "contract/token_trailer.h"
#include "token/token.h"

namespace kelvra::token {

bool readPersonalizedToken(std::string& token) {
  const base::LoggerHandle logger = base::findFileLogger();
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  // A cut-off path could name some other file: open nothing rather than that.
  if (length == 0 || length >= MAX_PATH) {
    base::logError(logger, "CreateFile failed with error {}",
                   length == 0 ? GetLastError() : DWORD{ERROR_INSUFFICIENT_BUFFER});
    return true;
  }
  return readPersonalizedTokenFrom(std::wstring(path, length), token);
}

bool readPersonalizedTokenFrom(const std::wstring& executablePath, std::string& token) {
  const base::LoggerHandle logger = base::findFileLogger();
  const base::ScopedFileHandle file(
      CreateFileW(executablePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    base::logError(logger, "CreateFile failed with error {}", GetLastError());
    return true;
  }
  // Fails for a file shorter than the trailer: the position would be negative.
  if (SetFilePointer(file.get(), -static_cast<LONG>(contract::kTrailerSize), nullptr, FILE_END) ==
      INVALID_SET_FILE_POINTER) {
    base::logError(logger, "Failed to set file pointer, error {}", GetLastError());
    return true;
  }
  std::vector<char> region(contract::kTrailerSize, '\0');
  DWORD bytesRead = 0;
  if (!ReadFile(file.get(), region.data(), static_cast<DWORD>(region.size()), &bytesRead, nullptr)) {
    base::logError(logger, "Read file failed with error {}", GetLastError());
    return true;
  }
  contract::TrailerReading reading = contract::parseTokenTrailer(std::string_view(region.data(), bytesRead));
  for (const contract::LogEntry& line : reading.lines) base::writeLogLine(logger, line.level, line.text);
  if (!reading.failed) token = std::move(reading.token);
  return reading.failed;
}

}  // namespace kelvra::token
