// Writing a payload file for the front end: exactly the text's bytes, nothing added.
#include <windows.h>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "token/token.h"

namespace kelvra::token {

bool writeTokenFile(const std::string& text, const std::wstring& path) {
  const base::LoggerHandle logger = base::findFileLogger();
  base::logInfo(logger, L"Trying to dump personalized token to [{}]", path);
  const base::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) {
    base::logError(logger, "CreateFile failed with error {}", GetLastError());
    return true;
  }
  const auto length = static_cast<DWORD>(text.size());
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), length, &written, nullptr)) {
    base::logError(logger, L"Couldn't write to file [{}]. Error code {}.", path, GetLastError());
    return true;
  }
  if (written != length) {
    base::logError(logger, L"Bytes written to file [{}] does not match expected size. Written [{}], expected [{}]",
                   path, written, text.size());
    return true;
  }
  return false;
}

}  // namespace kelvra::token
