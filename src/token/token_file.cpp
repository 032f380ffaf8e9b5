// Writing a payload file for the front end: exactly the text's bytes, nothing added.
#include <windows.h>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "token/token.h"

bool writeTokenFile(const std::string& text, const std::wstring& path) {
  const LoggerHandle logger = findFileLogger();
  logInfo(logger, L"Trying to dump personalized token to [{}]", path);
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) {
    logError(logger, "CreateFile failed with error {}", GetLastError());
    return true;
  }
  const auto length = static_cast<DWORD>(text.size());
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), length, &written, nullptr)) {
    logError(logger, L"Couldn't write to file [{}]. Error code {}.", path, GetLastError());
    return true;
  }
  if (written != length) {
    logError(logger, L"Bytes written to file [{}] does not match expected size. Written [{}], expected [{}]", path,
             written, text.size());
    return true;
  }
  return false;
}
