#include "base/mapped_file.h"

#include <windows.h>

#include <cstring>

#include "base/logging.h"
#include "base/scoped_handle.h"

namespace kelvra::base {

bool writeMappedFile(const std::wstring& path, const void* data, std::uint32_t size) {
  // Share mode 0: while we write, nobody else may open the file, and a file that
  // someone else holds open (with any sharing) is refused instead of overwritten.
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    logError(findFileLogger(), L"Failed to create file [{}]. Error code {}.", path, error);
    return true;
  }
  // The file is empty: a mapping of size bytes grows it to exactly that length.
  const ScopedKernelHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, size, nullptr));
  if (!mapping) {
    const DWORD error = GetLastError();
    logError(findFileLogger(), L"Failed to create file mapping for file [{}]. Error code {}.", path, error);
    return true;
  }
  ScopedMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
  if (!view) {
    const DWORD error = GetLastError();
    logError(findFileLogger(), L"Failed to map view of file for file [{}]. Error code {}.", path, error);
    return true;
  }
  std::memcpy(view.get(), data, size);
  // The pages reach the disk through the system's write-back after the unmap.
  if (!UnmapViewOfFile(view.release())) {
    const DWORD error = GetLastError();
    logError(findFileLogger(), L"Failed to unmap view of file [{}]. Error code {}.", path, error);
    return true;
  }
  return false;
}

}  // namespace kelvra::base
