#include "support/temp_folder.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace {

std::wstring uniqueName() {
  static std::atomic<unsigned> counter{0};
  return L"kelvra-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
}

}  // namespace

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no temporary path");
  path_ = std::wstring(temp, length) + uniqueName();
  if (!CreateDirectoryW(path_.c_str(), nullptr)) throw std::runtime_error("cannot create temp folder");
}

TempFolder::~TempFolder() { removeTree(path_); }

void removeTree(const std::wstring& path) {
  // \\?\ lifts MAX_PATH, so that tests may build paths longer than the product allows.
  const std::wstring longPath = path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(longPath.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((longPath + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") removeTree(longPath + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(longPath.c_str());
}
