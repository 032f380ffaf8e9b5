// The icon file is assembled from the icon group and its image resources: header,
// the whole directory, then the images, each in group order.
#include "staging/icon_file.h"

#include <new>
#include <span>
#include <string>
#include <vector>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "staging/icon_layout.h"
#include "staging/resource_extractor.h"
#include "staging/staged_files.h"

namespace kelvra::staging {

namespace {

[[nodiscard]] bool writeWord(HANDLE file, std::uint16_t value) {
  const auto bytes = littleEndianWord(value);
  DWORD written = 0;
  return !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size();
}

// Logs why a group can't be used, if it can't.
[[nodiscard]] bool reportIconGroupProblem(const base::LoggerHandle& logger, const IconGroup& group,
                                          std::size_t groupSize) {
  switch (group.problem) {
    case IconGroupProblem::none: return false;
    case IconGroupProblem::tooShort:
      base::logError(logger, "Icon group of [{}] bytes is too short for its [{}] images. Resource id: {}.", groupSize,
                     group.count, kIconGroupResourceId);
      return true;
    case IconGroupProblem::tooLarge:
      base::logError(logger, "Icon images of the group do not fit in one icon file. Resource id: {}.",
                     kIconGroupResourceId);
      return true;
  }
  return true;
}

[[nodiscard]] bool writeIconDirectory(const base::LoggerHandle& logger, HANDLE file, const std::wstring& path,
                                      const std::vector<IconGroupEntry>& entries) {
  std::uint32_t imageOffset = firstIconImageOffset(static_cast<std::uint16_t>(entries.size()));
  for (const IconGroupEntry& entry : entries) {
    const auto directoryEntry = makeIconDirectoryEntry(entry, imageOffset);
    DWORD written = 0;
    if (!WriteFile(file, directoryEntry.data(), static_cast<DWORD>(directoryEntry.size()), &written, nullptr)) {
      const DWORD error = GetLastError();
      base::logError(logger, L"Couldn't write to file [{}]. Error code {}.", path, error);
      return true;
    }
    if (written != directoryEntry.size()) {
      base::logError(logger, L"Bytes written to file [{}] does not match expected size.", path);
      return true;
    }
    // Cannot wrap: readIconGroup refused groups whose images pass 32 bits.
    imageOffset += entry.bytesInResource;
  }
  return false;
}

// The images are looked up only now, after the whole directory is on disk.
[[nodiscard]] bool writeIconImages(const ResourceExtractor& extractor, const base::LoggerHandle& logger, HANDLE file,
                                   const std::wstring& path, const std::vector<IconGroupEntry>& entries) {
  for (const IconGroupEntry& entry : entries) {
    LoadedResource image;
    if (extractor.loadResource(image, entry.iconId, kIconResourceType)) return true;
    // The directory promised this many bytes; anything else would misplace every
    // image after this one.
    if (image.size != entry.bytesInResource) {
      base::logError(logger, "Icon image has [{}] bytes, its group entry says [{}]. Resource id: {}.", image.size,
                     entry.bytesInResource, entry.iconId);
      return true;
    }
    DWORD written = 0;
    if (!WriteFile(file, image.data, image.size, &written, nullptr)) {
      base::logError(logger, L"Could not write icon data to file [{}]", path);
      return true;
    }
    if (written != image.size) {
      base::logError(logger, L"Icon data written to file [{}] does not match expected size.", path);
      return true;
    }
  }
  return false;
}

}  // namespace

bool writeIconHeader(HANDLE file, std::uint16_t count) {
  return writeWord(file, 0) || writeWord(file, 1) || writeWord(file, count);
}

bool ResourceExtractor::writeIconFile(std::wstring path) const {
  base::logInfo(logger_, "Extracting icon resources.");
  LoadedResource groupResource;
  if (loadResource(groupResource, kIconGroupResourceId, kIconGroupResourceType)) return true;

  std::vector<std::uint8_t> groupCopy;
  try {
    groupCopy.assign(groupResource.data, groupResource.data + groupResource.size);
  } catch (const std::bad_alloc&) {
    base::logError(logger_, "Failed to copy the icon group. Resource id: {}.", kIconGroupResourceId);
    return true;
  }
  const IconGroup group = readIconGroup(groupCopy);
  if (reportIconGroupProblem(logger_, group, groupCopy.size())) return true;

  const base::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    base::logError(logger_, L"Failed to create icon file in path [{}].", path);
    return true;
  }
  if (writeIconHeader(file.get(), group.count)) {
    base::logError(logger_, "Failed to write ICO header.");
    return true;
  }
  if (writeIconDirectory(logger_, file.get(), path, group.entries)) return true;
  return writeIconImages(*this, logger_, file.get(), path, group.entries);
}

}  // namespace kelvra::staging
