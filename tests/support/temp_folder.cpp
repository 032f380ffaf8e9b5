#include "support/temp_folder.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "base/scoped_handle.h"

namespace {

std::wstring uniqueName() {
  static std::atomic<unsigned> counter{0};
  return L"kelvra-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) + L"-" +
         std::to_wstring(counter++);
}

// The search is closed on return, before the caller removes the folder itself.
void removeChildren(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const kelvra::base::ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") removeTree(folder + L"\\" + name);
  } while (FindNextFileW(search.get(), &found));
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
  removeChildren(longPath);
  RemoveDirectoryW(longPath.c_str());
}
