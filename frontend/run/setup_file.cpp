#include "run/setup_file.h"

#include <windows.h>

#include "platform/frontend_error.h"

namespace kelvra::frontend {

SetupFile::SetupFile(const std::wstring& folder) : path_(folder + L"\\KelvraSetup.exe") {}

base::ScopedFileHandle SetupFile::hold() const {
  base::ScopedFileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) throwUnreadable(GetLastError());
  return file;
}

void SetupFile::remove() const {
  if (DeleteFileW(path_.c_str())) return;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  throw FrontEndError(
      core::FailureKind::setupFileDelete,
      L"Could not delete the client setup file '" + path_ + L"'. Error code " + std::to_wstring(error) + L".", error);
}

void SetupFile::throwUnreadable(unsigned long error) const {
  throw FrontEndError(
      core::FailureKind::setupFileRead,
      L"Could not read the client setup file '" + path_ + L"'. Error code " + std::to_wstring(error) + L".", error);
}

}  // namespace kelvra::frontend
