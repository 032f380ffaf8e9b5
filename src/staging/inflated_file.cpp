#include "staging/inflated_file.h"

#include <windows.h>

#include <span>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "staging/packed_resource.h"

namespace kelvra::staging {

namespace {

enum class InflateOutcome { written, failed, damaged };

// The mapped write of base::writeMappedFile, with its log lines, but the bytes
// come from inflating. Every handle is closed on return, so a damaged file can be
// deleted afterwards.
InflateOutcome inflateIntoNewFile(const std::wstring& path, const PackedResource& packed) {
  // Share mode 0: while we write, nobody else may open the file, and a file that
  // someone else holds open (with any sharing) is refused instead of overwritten.
  const base::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Failed to create file [{}]. Error code {}.", path, error);
    return InflateOutcome::failed;
  }
  // The file is empty: a mapping of the recorded size grows it to exactly that.
  const base::ScopedKernelHandle mapping(
      CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, packed.inflatedSize, nullptr));
  if (!mapping) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Failed to create file mapping for file [{}]. Error code {}.", path, error);
    return InflateOutcome::failed;
  }
  base::ScopedMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
  if (!view) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Failed to map view of file for file [{}]. Error code {}.", path, error);
    return InflateOutcome::failed;
  }
  const bool damaged =
      inflatePackedResource(packed, std::span(static_cast<std::uint8_t*>(view.get()), packed.inflatedSize));
  // The pages reach the disk through the system's write-back after the unmap.
  if (!UnmapViewOfFile(view.release())) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Failed to unmap view of file [{}]. Error code {}.", path, error);
    return InflateOutcome::failed;
  }
  return damaged ? InflateOutcome::damaged : InflateOutcome::written;
}

void logDamagedResource(std::uint16_t id) {
  base::logError(base::findFileLogger(),
                 "Resource does not inflate to its recorded size; the download is damaged. Resource id: {}.", id);
}

}  // namespace

bool writeInflatedFile(const std::wstring& path, const LoadedResource& resource) {
  const PackedResource packed = readPackedResource(std::span(resource.data, resource.size));
  // Refused before any file is made: a damaged header could ask for gigabytes.
  if (packed.damaged) {
    logDamagedResource(resource.id);
    return true;
  }
  switch (inflateIntoNewFile(path, packed)) {
    case InflateOutcome::written: return false;
    case InflateOutcome::failed: return true;
    case InflateOutcome::damaged:
      // A file of the right length but wrong bytes would look staged: it goes.
      DeleteFileW(path.c_str());
      logDamagedResource(resource.id);
      return true;
  }
  return true;
}

}  // namespace kelvra::staging
