#include "run/log_setup.h"

#include <windows.h>

#include "base/log_folder.h"
#include "notices/notices.h"

namespace kelvra::run {

namespace {

// The name rotation gives the index-th older file: "name.<index>.log".
std::wstring rotatedName(const std::wstring& path, std::size_t index) {
  if (index == 0) return path;
  const std::size_t dot = path.find_last_of(L'.');
  const std::size_t separator = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator)) {
    return path + L"." + base::decimalText(index);
  }
  return path.substr(0, dot) + L"." + base::decimalText(index) + path.substr(dot);
}

}  // namespace

bool ensureLogFolder(const std::wstring& logFolderPath) {
  const DWORD attributes = GetFileAttributesW(logFolderPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      notices::showStartFailureNotice(error);
      return true;
    }
  }
  return false;
}

std::wstring rotationRefusal(const std::wstring& path, std::size_t maxSize, std::size_t maxFiles, std::size_t reserve) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
  const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size + reserve < maxSize) return {};
  // Rotation renames every older file one up and deletes the oldest; where it
  // can't, it empties the current file and loses our lines.
  for (std::size_t index = 0; index <= maxFiles; ++index) {
    const std::wstring name = rotatedName(path, index);
    const base::ScopedFileHandle file(CreateFileW(name.c_str(), DELETE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) continue;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) continue;
    return L"it is due to rotate and [" + name + L"] can't be renamed. Error code " + base::decimalText(error) + L".";
  }
  return {};
}

LogPlace chooseLogPlace(const std::wstring& root, const std::wstring& relativePath, std::wstring (*userFolder)()) {
  LogPlace place;
  base::LogFolderOpening shared = base::openLogFolder(root, relativePath);
  place.sharedPath = root + L"\\" + relativePath + L"\\" + contract::kLogFileName;
  const std::wstring& sharedFile = place.sharedPath;
  place.refusal = shared.refusal;
  if (place.refusal.empty()) place.refusal = base::logFileRefusal(sharedFile);
  if (place.refusal.empty()) {
    place.refusal = rotationRefusal(sharedFile, kLogMaxFileSize, kLogRotatedFiles, kLogRunReserve);
  }
  if (place.refusal.empty()) {
    place.heldFolders = std::move(shared.heldFolders);
    place.filePath = sharedFile;
    return place;
  }
  if (const std::wstring folder = userFolder(); !folder.empty()) place.filePath = folder + contract::kLogFileName;
  return place;
}

void publishRunLog(const std::wstring& filePath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  unsigned long long size = 0;
  if (GetFileAttributesExW(filePath.c_str(), GetFileExInfoStandard, &data)) {
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  SetEnvironmentVariableW(contract::kRunLogPathVariable, filePath.c_str());
  SetEnvironmentVariableW(contract::kRunLogStartVariable, base::decimalText(size).c_str());
}

}  // namespace kelvra::run
